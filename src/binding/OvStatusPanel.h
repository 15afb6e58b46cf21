#pragma once

#include <QLabel>

// One panel of a status bar, showing one text.
class OvStatusPanel : public QLabel {
    Q_OBJECT

public:
    explicit OvStatusPanel(QWidget* parent = nullptr);

    [[nodiscard]] QString Text() const { return text(); }
    void SetText(const QString& text) { setText(text); }
};
