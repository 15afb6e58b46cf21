#include "binding/OvStaticText.h"

OvStaticText::OvStaticText(QWidget* parent) : QLabel(parent) {}

OvStaticText::OvStaticText(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void OvStaticText::SetBorder(bool sunken) {
    setFrameStyle(sunken ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
}
