#include "binding/OvPanel.h"

#include <QPainter>

OvPanel::OvPanel(QWidget* parent) : QFrame(parent) { ApplyBevels(); }

void OvPanel::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void OvPanel::SetBevelInner(Bevel bevel) {
    inner_ = bevel;
    ApplyBevels();
}

void OvPanel::SetBevelOuter(Bevel bevel) {
    outer_ = bevel;
    ApplyBevels();
}

void OvPanel::ApplyBevels() {
    // The outer bevel decides the shadow; an inner bevel as well doubles the line.
    const Bevel shown = outer_ != Bevel::None ? outer_ : inner_;
    if (shown == Bevel::None) {
        setFrameStyle(QFrame::NoFrame);
        return;
    }
    setFrameStyle(QFrame::Panel | (shown == Bevel::Raised ? QFrame::Raised : QFrame::Sunken));
    setLineWidth(outer_ != Bevel::None && inner_ != Bevel::None ? 2 : 1);
}

void OvPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (caption_.isEmpty()) return;
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}
