#pragma once

#include <QCheckBox>

// A check box with a caption and a checked state.
class OvCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit OvCheckBox(QWidget* parent = nullptr);
    explicit OvCheckBox(const QString& caption, QWidget* parent = nullptr);

    [[nodiscard]] bool Checked() const { return isChecked(); }
    void SetChecked(bool checked) { setChecked(checked); }
};
