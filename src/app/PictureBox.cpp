#include "app/PictureBox.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// What assistive technology sees of a picture control: a push button that presses like a click, or
// a graphic without a name that readers pass over.
class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(PictureBox* box) : QAccessibleWidget(box) {}

    // Asked each time: the interface is cached, and the control may become a button after it was made.
    [[nodiscard]] QAccessible::Role role() const override {
        return IsButton() ? QAccessible::Button : QAccessible::Graphic;
    }

    [[nodiscard]] QString text(QAccessible::Text t) const override {
        if (!IsButton() && t == QAccessible::Name) return {};
        return QAccessibleWidget::text(t);
    }
    [[nodiscard]] QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (IsButton()) names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& actionName) override {
        if (IsButton() && actionName == pressAction()) {
            emit Box().Clicked();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    [[nodiscard]] PictureBox& Box() const { return *static_cast<PictureBox*>(widget()); }
    [[nodiscard]] bool IsButton() const { return Box().GetKind() == PictureBox::Kind::Button; }
};

QAccessibleInterface* PictureBoxAccessibleFactory(const QString& /*key*/, QObject* object) {
    auto* const box = qobject_cast<PictureBox*>(object);
    return box ? new PictureBoxAccessible(box) : nullptr;  // owned by the accessibility cache
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    // Installed once for the process, before the first control is asked for its interface.
    static const bool factoryInstalled = (QAccessible::installFactory(PictureBoxAccessibleFactory), true);
    Q_UNUSED(factoryInstalled);
    setMouseTracking(true);
}

void PictureBox::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void PictureBox::SetFocusPicture(const QImage& picture) {
    focusPicture_ = picture;
    update();
}

void PictureBox::SetPlacement(Placement placement) {
    placement_ = placement;
    update();
}

QPoint PictureBox::PictureOrigin() const {
    if (placement_ == Placement::TopLeft) return {0, 0};
    // Integer halves of the difference, as the desktop's picture control rounds them.
    const QSize size = picture_.deviceIndependentSize().toSize();
    return {(width() - size.width()) / 2, (height() - size.height()) / 2};
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
    const bool focused = hasFocus();
    const QImage& shown = focused && !focusPicture_.isNull() ? focusPicture_ : picture_;
    QPainter painter(this);
    painter.setClipRect(rect());
    if (!shown.isNull()) {
        // A picture drawn for twice the layout size is scaled smoothly to screens between.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(PictureOrigin(), shown);
    }
    if (!focused) return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(event->position().toPoint());
    event->accept();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    event->accept();
    if (click) emit Clicked();
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            if (!event->isAutoRepeat()) emit Clicked();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void PictureBox::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void PictureBox::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}
