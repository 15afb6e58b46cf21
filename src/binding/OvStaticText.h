#pragma once

#include <QLabel>

// A static text: a fixed-size caption with an optional sunken border.
class OvStaticText : public QLabel {
    Q_OBJECT

public:
    explicit OvStaticText(QWidget* parent = nullptr);
    explicit OvStaticText(const QString& caption, QWidget* parent = nullptr);

    [[nodiscard]] QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    void SetBorder(bool sunken);
};
