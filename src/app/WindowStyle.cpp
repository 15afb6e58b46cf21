#include "app/WindowStyle.h"

#include "app/JpegImage.h"
#include "binding/OvLabel.h"

#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QProxyStyle>
#include <QWidget>

QFont WindowFont() {
    QFont font;
    // Where the face is missing, faces of about its width come next (the windows are laid out in
    // pixels for it), and the desktop's sans-serif face last.
    font.setFamilies({QString::fromLatin1(kWindowFontFamily), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWindowFontPixelHeight);
    return font;
}

void MakeFixedFrame(QWidget& window, QSize clientSize, Qt::WindowType type) {
    window.setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(clientSize);
}

void FillBackground(QWidget& widget, QColor colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

QIcon ApplicationIcon() {
    // Loading a picture first registers the embedded resources, which the PNG file is one of.
    QIcon icon(QPixmap::fromImage(JpegImage::Load(QStringLiteral(":/images/icon.jpg"))));
    icon.addFile(QStringLiteral(":/images/icon.png"));
    return icon;
}

void AutoSizeLabels(QWidget& window) {
    for (OvLabel* const label : window.findChildren<OvLabel*>()) label->SetAutoSize(true);
}

namespace {

// The desktop's style with "*" as the character of password edits.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void ShowPasswordAsStars(QLineEdit& edit) {
    auto* style = new StarPasswordStyle;
    style->setParent(&edit);  // the edit owns its style
    edit.setStyle(style);
}
