#pragma once

#include <QLabel>

// A label: a caption that, with automatic size on (the default), resizes the label to fit it.
class OvLabel : public QLabel {
    Q_OBJECT

public:
    explicit OvLabel(QWidget* parent = nullptr);
    explicit OvLabel(const QString& caption, QWidget* parent = nullptr);

    [[nodiscard]] QString Caption() const { return text(); }
    void SetCaption(const QString& caption);

    [[nodiscard]] bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool autoSize);

private:
    bool autoSize_ = true;
};
