#pragma once

#include <QFrame>

// A panel: a container with a centred caption and an inner and an outer bevel.
class OvPanel : public QFrame {
    Q_OBJECT

public:
    enum class Bevel { None, Lowered, Raised };

    explicit OvPanel(QWidget* parent = nullptr);

    [[nodiscard]] QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    [[nodiscard]] Bevel BevelInner() const noexcept { return inner_; }
    [[nodiscard]] Bevel BevelOuter() const noexcept { return outer_; }
    void SetBevelInner(Bevel bevel);
    void SetBevelOuter(Bevel bevel);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyBevels();

    QString caption_;
    Bevel inner_ = Bevel::None;
    Bevel outer_ = Bevel::Raised;
};
