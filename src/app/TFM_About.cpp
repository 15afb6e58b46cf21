#include "app/TFM_About.h"

#include "app/JpegImage.h"
#include "app/WindowStyle.h"
#include "ui_TFM_About.h"

TFM_About::TFM_About(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TFM_About>()) {
    ui_->setupUi(this);
    setFont(WindowFont());
    AutoSizeLabels(*this);
    MakeFixedFrame(*this, {kClientWidth, kClientHeight}, Qt::Dialog);
    ui_->Image1->SetPicture(JpegImage::Load(QStringLiteral(":/images/icon.jpg")));
    ui_->Image1->SetPlacement(PictureBox::Placement::TopLeft);
    connect(ui_->BT_Ok, &QPushButton::clicked, this, &TFM_About::BT_OkClick);
}

TFM_About::~TFM_About() = default;

void TFM_About::BT_OkClick() { accept(); }
