#include "binding/OvLabel.h"

OvLabel::OvLabel(QWidget* parent) : QLabel(parent) {}

OvLabel::OvLabel(const QString& caption, QWidget* parent) : QLabel(parent) { SetCaption(caption); }

void OvLabel::SetCaption(const QString& caption) {
    setText(caption);
    if (autoSize_) adjustSize();
}

void OvLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_) adjustSize();
}
