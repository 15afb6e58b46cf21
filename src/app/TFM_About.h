#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFM_About;
}

// The About box: the program's name, version and copyright; created hidden once and shown
// modally on demand. It keeps no state between showings.
class TFM_About : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 328;
    static constexpr int kClientHeight = 132;

    // Centred on the owner window when shown.
    explicit TFM_About(QWidget* owner);
    ~TFM_About() override;

    // Closes the box.
    void BT_OkClick();

private:
    std::unique_ptr<Ui::TFM_About> ui_;
};
