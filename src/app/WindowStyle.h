#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QSize>

class QLineEdit;
class QWidget;

// The look shared by the three windows: their font, the menu colour and the fixed frame.

// "MS Sans Serif" 8 points, 11 pixels high; a sans-serif face of the desktop where that one is absent.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";
inline constexpr int kWindowFontPixelHeight = 11;

// The background of the menu panel and the status bar, RGB(197, 203, 205).
inline constexpr QRgb kMenuColour = 0xC5CBCD;

[[nodiscard]] QFont WindowFont();

// Fixes the window's client area at the size and gives it a frame with a caption and a close box
// but neither a minimise nor a maximise box; type is Qt::Window or Qt::Dialog.
void MakeFixedFrame(QWidget& window, QSize clientSize, Qt::WindowType type);

// Sizes every label of the window to its caption in the window's font, as labels do by default;
// the designed sizes are those of the designed font.
void AutoSizeLabels(QWidget& window);

// Shows every character of a password edit as "*", whatever the desktop style would draw.
void ShowPasswordAsStars(QLineEdit& edit);

// Paints the widget's background in the colour.
void FillBackground(QWidget& widget, QColor colour);

// The application icon, from the embedded pictures.
[[nodiscard]] QIcon ApplicationIcon();
