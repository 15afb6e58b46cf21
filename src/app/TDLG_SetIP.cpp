#include "app/TDLG_SetIP.h"

#include "app/DottedText.h"
#include "app/SecretText.h"
#include "app/SystemLocale.h"
#include "app/WindowStyle.h"
#include "binding/UiHooks.h"
#include "device/AddressRules.h"
#include "device/Reachability.h"
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
    connect(ui_->BT_OK, &QPushButton::clicked, this, &TDLG_SetIP::accept);
    connect(ui_->BT_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter presses OK from every field (Esc cancels, as in every dialog).
    ui_->BT_OK->setDefault(true);
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
    TakePastedAddresses();
}

void TDLG_SetIP::TakePastedAddresses() {
    for (const std::vector<OvEdit*>* row : {&IPEdits_, &NetmaskEdits_}) {
        for (OvEdit* const edit : *row) {
            edit->SetOnPaste([this, row](OvEdit&, const QString& text) { return PasteAddress(*row, text); });
        }
    }
}

bool TDLG_SetIP::PasteAddress(const std::vector<OvEdit*>& row, const QString& text) {
    const std::optional<QStringList> pieces = PastedAddressPieces(text);
    if (!pieces || row.size() != static_cast<std::size_t>(pieces->size())) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        EditConstraint_->SetTextInPlace(*row[i], pieces->at(static_cast<qsizetype>(i)));
    }
    // At the row's end, Tab goes on to the next row as after typing the address.
    OvEdit& last = *row.back();
    last.setFocus(Qt::OtherFocusReason);
    last.end(false);
    return true;
}

void TDLG_SetIP::Prefill(const QString& address, const QString& netmask) {
    SetEditsFromDottedText(address, IPEdits_);
    SetEditsFromDottedText(netmask, NetmaskEdits_);
    for (const std::vector<OvEdit*>* row : {&IPEdits_, &NetmaskEdits_}) {
        for (const OvEdit* const edit : *row) EditConstraint_->Remember(*edit);
    }
    if (!IPEdits_.empty()) IPEdits_.front()->selectAll();
}

void TDLG_SetIP::accept() {
    if (MaySend()) QDialog::accept();
}

bool TDLG_SetIP::MaySend() {
    const QString address = DottedTextFromEdits(IPEdits_);
    if (const auto refusal =
            SetIPRefusal(address.toStdString(), DottedTextFromEdits(NetmaskEdits_).toStdString())) {
        Refuse(QString::fromStdString(refusal->message), AddressField(refusal->field));
        return false;
    }
    if (const auto refusal = PasswordCharacterRefusal(PasswordEdit().text())) {
        Refuse(*refusal, PasswordEdit());
        return false;
    }
    const auto question = CrossNetworkQuestion(address.toStdString(), heardOn_);
    if (question && !AskYesNo(this, QString::fromStdString(*question))) {
        IPEdits_.front()->setFocus(Qt::OtherFocusReason);
        IPEdits_.front()->selectAll();
        return false;
    }
    return true;
}

void TDLG_SetIP::Refuse(const QString& message, OvEdit& field) {
    ShowMessageBox(this, message);
    field.setFocus(Qt::OtherFocusReason);
    field.selectAll();
}

OvEdit& TDLG_SetIP::AddressField(int field) const {
    const std::vector<OvEdit*>& row = field < kNetmaskFirstField ? IPEdits_ : NetmaskEdits_;
    return *row.at(static_cast<std::size_t>(field % kNetmaskFirstField));
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
