#include "app/TDLG_SetIP.h"

#include "app/SecretText.h"
#include "app/SystemLocale.h"
#include "app/WindowStyle.h"
#include "ui_TDLG_SetIP.h"

TDLG_SetIP::TDLG_SetIP(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TDLG_SetIP>()) {
    ui_->setupUi(this);
    setFont(WindowFont());
    AutoSizeLabels(*this);
    MakeFixedFrame(*this, {kClientWidth, kClientHeight}, Qt::Dialog);
    move(kScreenLeft, kScreenTop);
    ui_->PL_IPAddress->SetBevelOuter(OvPanel::Bevel::None);
    ui_->PL_Netmask->SetBevelOuter(OvPanel::Bevel::None);
    ShowPasswordAsStars(*ui_->ED_Password);
    connect(ui_->BT_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->BT_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TDLG_SetIP::~TDLG_SetIP() { FormDestroy(); }

void TDLG_SetIP::FormCreate() {
    EditConstraint_ = std::make_unique<OvEditConstraint>(this, true);
    EditConstraint_->SetLocale(LocaleSettingsFrom(QLocale::system()));
    IPEdits_.clear();
    NetmaskEdits_.clear();
    EditConstraint_->BuildPanelEdits(*ui_->PL_IPAddress, kAddressFormat, &IPEdits_);
    EditConstraint_->BuildPanelEdits(*ui_->PL_Netmask, kAddressFormat, &NetmaskEdits_);
    EditConstraint_->ConstrainEdits(kPasswordFormat, {ui_->ED_Password});
    ArrangeTabOrder();
}

void TDLG_SetIP::FormDestroy() noexcept {
    QString left = TakePassword();
    WipeString(left);
    IPEdits_.clear();
    NetmaskEdits_.clear();
    EditConstraint_.reset();
}

void TDLG_SetIP::ArrangeTabOrder() {
    // The fields are created after the designed controls. The focus chain is a circle, so it is
    // enough to link everything in order and to start the user on the first IP address field.
    std::vector<QWidget*> order(IPEdits_.begin(), IPEdits_.end());
    order.insert(order.end(), NetmaskEdits_.begin(), NetmaskEdits_.end());
    order.insert(order.end(), {ui_->ED_Password, ui_->BT_OK, ui_->BT_Cancel});
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    if (!order.empty()) order.front()->setFocus();
}

OvEdit& TDLG_SetIP::PasswordEdit() const { return *ui_->ED_Password; }

QString TDLG_SetIP::TakePassword() {
    OvEdit& edit = *ui_->ED_Password;
    QString password = edit.text();
    if (EditConstraint_) {
        if (detail::EditConstraint_s* entry = EditConstraint_->FindEntry(&edit)) WipeString(entry->LastText);
    }
    // Setting a text also drops the field's undo history; afterwards no one else holds the buffer.
    edit.setText(QString());
    return password;
}
