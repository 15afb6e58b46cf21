#pragma once

#include <QStatusBar>

class OvStatusPanel;

// A status bar with one simple text across its width, and optional panels of their own texts.
// While a simple text is shown the panels are hidden.
class OvStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit OvStatusBar(QWidget* parent = nullptr);

    [[nodiscard]] QString SimpleText() const { return currentMessage(); }
    // Shows the text until the next one; the empty text shows the panels again.
    void SetSimpleText(const QString& text);

    // Appends a panel of the given width; the status bar owns it.
    OvStatusPanel* AddPanel(int width);
};
