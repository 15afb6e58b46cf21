#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

#include "binding/OvEdit.h"
#include "binding/OvEditConstraint.h"
#include "ndcp/wire/NetworkAdapter.h"

namespace Ui {
class TDLG_SetIP;
}

// The Set IP dialog: four fields for the new IP address, four for the netmask and the device's
// access password. Created for one Set IP command and deleted at its end.
//
// Enter presses OK and Esc cancels from any field. OK closes the dialog only for what may be sent:
// a refused address, netmask or password is reported in a message box and the dialog stays open
// with every field as typed and the focus on the first field to correct; an address outside the
// network of the adapter that heard the device is sent only when the user says Yes to it. A dotted
// address pasted into any field of a row fills the four fields of that row.
class TDLG_SetIP : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 273;
    static constexpr int kClientHeight = 152;
    static constexpr int kScreenLeft = 224;
    static constexpr int kScreenTop = 150;

    // Four numeric fields from 0 to 255, "." between them, advancing when full or at ".".
    static constexpr const char* kAddressFormat =
        "%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}";
    // At most 12 characters, advancing when full.
    static constexpr const char* kPasswordFormat = "%s{l12a}";

    // Builds the fields (FormCreate).
    explicit TDLG_SetIP(QWidget* owner);
    // Wipes a password still in the field (FormDestroy).
    ~TDLG_SetIP() override;

    // The fields of PL_IPAddress and PL_Netmask, left to right.
    [[nodiscard]] const std::vector<OvEdit*>& IPEdits() const noexcept { return IPEdits_; }
    [[nodiscard]] const std::vector<OvEdit*>& NetmaskEdits() const noexcept { return NetmaskEdits_; }
    [[nodiscard]] OvEdit& PasswordEdit() const;
    [[nodiscard]] OvEditConstraint* EditConstraint() const noexcept { return EditConstraint_.get(); }

    // Fills the rows with the device's current address and netmask, which become each field's last
    // accepted text: a rejected entry brings the device's number back. The first field is selected,
    // so that typing replaces it.
    void Prefill(const QString& address, const QString& netmask);
    // The adapter that heard the device, against whose network the new address is checked.
    void SetHeardOn(const NetworkAdapter& adapter) { heardOn_ = adapter; }

    // OK: closes the dialog with the result OK only when what was entered may be sent.
    void accept() override;

    // The password typed, which leaves the dialog with it: the field is emptied and the text the
    // field's constraint remembered is wiped, so that the caller's copy is the only one left.
    [[nodiscard]] QString TakePassword();

private:
    void FormCreate();
    void FormDestroy() noexcept;
    void ArrangeTabOrder();
    void TakePastedAddresses();
    // Fills the row with a pasted dotted address and leaves the focus at its end; false for a text
    // that is not one.
    bool PasteAddress(const std::vector<OvEdit*>& row, const QString& text);
    [[nodiscard]] bool MaySend();
    void Refuse(const QString& message, OvEdit& field);
    [[nodiscard]] OvEdit& AddressField(int field) const;

    std::unique_ptr<Ui::TDLG_SetIP> ui_;
    std::unique_ptr<OvEditConstraint> EditConstraint_;
    std::vector<OvEdit*> IPEdits_;
    std::vector<OvEdit*> NetmaskEdits_;
    NetworkAdapter heardOn_;
};
