#pragma once

#include <QImage>
#include <QWidget>

// A picture control: shows an image at its layout size (its size over its device pixel ratio),
// either from the top-left corner (clipped by the control) or centred in it, and reports pointer moves and
// clicks. Mouse tracking is on, so moves are reported without a button held; every pointer event over the
// control stays with it and does not reach the control below. A control that takes the focus shows its
// focus picture (when set) with a focus frame, and Space or Enter clicks it. To assistive technology a
// picture is a decoration, a graphic without a name, until it is made a button: then it is a push button
// with its accessible name and a press action that clicks it.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    enum class Placement { TopLeft, Centre };
    enum class Kind { Decoration, Button };

    explicit PictureBox(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    [[nodiscard]] const QImage& Picture() const noexcept { return picture_; }
    // The picture drawn instead while the control has the focus.
    void SetFocusPicture(const QImage& picture);

    void SetPlacement(Placement placement);
    [[nodiscard]] Placement GetPlacement() const noexcept { return placement_; }

    void SetKind(Kind kind) { kind_ = kind; }
    [[nodiscard]] Kind GetKind() const noexcept { return kind_; }

    // Where the picture's top-left corner lies in the control.
    [[nodiscard]] QPoint PictureOrigin() const;

signals:
    // A left-button press and release, both inside the control.
    void Clicked();
    void MouseMoved(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QImage picture_;
    QImage focusPicture_;
    Placement placement_ = Placement::TopLeft;
    Kind kind_ = Kind::Decoration;
    bool pressed_ = false;
};
