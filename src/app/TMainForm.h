#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/ListExport.h"
#include "app/ShellOpener.h"
#include "binding/OvNDCPRequest2Edits.h"
#include "ndcp/OvNDCPClient.h"

class OvException;
class OvListView;
class OvStatusBar;
class PictureBox;
class TDLG_SetIP;
class TFM_About;

namespace Ui {
class TMainForm;
}

// The main window: the banner, the menu of picture buttons, the device list and the status bar.
// Every command starts here. A command that waits for the network keeps the window's events
// running; commands started meanwhile are ignored, while Exit and the close box hide the window at
// once and end the program as soon as the waiting command has returned.
class TMainForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 757;
    static constexpr int kClientHeight = 498;
    static constexpr int kInitialTimerIntervalMs = 100;

    // Shows a dialog modally and returns its result; tests replace it to drive the dialogs.
    using ModalRunner = std::function<int(QDialog& dialog)>;
    // Asks where to export the list; tests replace it so that no dialog opens.
    using SaveFileAsker = std::function<ExportChoice(QWidget& parent)>;

    // Builds the window from its layout and runs FormCreate; the client it starts reaches the
    // network through the environment.
    explicit TMainForm(QWidget* parent = nullptr, ClientEnvironment environment = RealEnvironment());
    // Runs FormDestroy.
    ~TMainForm() override;

    void SetShellOpener(ShellOpener opener);
    void SetModalRunner(ModalRunner runner);
    void SetSaveFileAsker(SaveFileAsker asker);

    // Event handlers, as the window's controls call them.
    void InitialTimerTimer();
    void IMG_Exit1Click();
    void IMG_Refresh1Click();
    void IMG_SetIP1Click();
    void IMG_Manage1Click();
    void IMG_About1Click();
    void LV_DeviceListDblClick();
    void IMG_SetIP1MouseMove();
    void IMG_Manage1MouseMove();
    void IMG_Refresh1MouseMove();
    void IMG_Exit1MouseMove();
    void IMG_About1MouseMove();
    void Panel2MouseMove();

    // The discovery binding; none when the discovery set-up failed.
    [[nodiscard]] OvNDCPRequest2Edits* DeviceListBinding() const noexcept { return DeviceListBinding_.get(); }
    // The message of the failed discovery set-up, or the empty text.
    [[nodiscard]] const QString& SetupError() const noexcept { return setupError_; }
    // The Set IP dialog while a Set IP command runs, else none.
    [[nodiscard]] TDLG_SetIP* DLG_SetIP() const noexcept { return DLG_SetIP_; }
    [[nodiscard]] QTimer& InitialTimer() const noexcept { return *InitialTimer_; }
    [[nodiscard]] bool CommandRunning() const noexcept { return commandRunning_; }

    // Writes a status text through the binding, or straight to the status bar without one.
    void ShowStatus(const QString& text);

signals:
    // The window has closed for good: the program should end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The About box, made when About is first chosen: the main window does not wait for it at start.
    TFM_About& AboutBox();
    class CommandScope;

    // One menu button: the plain picture and its highlighted twin.
    struct MenuButton {
        PictureBox* plain;
        PictureBox* highlighted;
    };

    void FormCreate();
    void FormDestroy() noexcept;
    void DiscoverySetup();
    void LoadPictures();
    void BuildDeviceListColumns();
    void WireEvents();
    void WirePointerMoves();
    // The menu buttons in the tab order before the list, their shortcuts and tooltips, Enter on a row.
    void WireKeyboard();
    // The list's context menu: copying the selected rows, also with Ctrl+C, and exporting every row.
    void WireListCommands();
    void CopySelectedRows();
    // Writes every row, in the order shown, to a CSV or JSON file the user picks.
    void ExportList();
    // The rows in the order shown, as the list writers take them.
    [[nodiscard]] std::vector<ListedDevice> ListedRows() const;
    void Highlight(MenuButton& button);
    void RunSetIP(int row);
    void SendSetIP(int row, TDLG_SetIP& dialog);
    // After the device accepted the new address: finds it again and says where it answers.
    void ConfirmSetIP(int row, const QString& address, const QString& netmask);
    // After the device did not answer the Set in time: whether it took the new address all the same.
    // Raises the time-out, with the reason, when the search itself fails.
    [[nodiscard]] bool TookEffectAfterTimeout(int row, const QString& address, const OvException& timeout);
    // Shows the addresses in the row and marks it when its device is out of reach.
    void ShowRowAddresses(int row, const QString& address, const QString& netmask);
    void ReportSetIPError(const QString& message);
    void OpenSelectedAddress(const QString& prefix, const QString& suffix);
    // "N devices found.", and for an empty list why it is empty.
    [[nodiscard]] QString DiscoveryOutcomeText() const;
    // Why the row's device cannot be reached at its address from here, if so.
    [[nodiscard]] std::optional<QString> UnreachableText(int row) const;
    // Marks the row (icon, tooltip, accessible description) when its device is out of reach.
    void MarkReachability(int row);
    void FinishPendingClose();

    [[nodiscard]] OvListView& DeviceList() const;
    [[nodiscard]] OvStatusBar& StatusBar() const;

    std::unique_ptr<Ui::TMainForm> ui_;
    std::unique_ptr<OvNDCPRequest2Edits> DeviceListBinding_;
    QTimer* InitialTimer_ = nullptr;  // child of the window
    QPointer<TFM_About> aboutBox_;
    TDLG_SetIP* DLG_SetIP_ = nullptr;
    std::array<MenuButton, 5> menuButtons_{};
    ShellOpener opener_;
    ModalRunner modalRunner_;
    SaveFileAsker saveFileAsker_;
    ClientEnvironment environment_;  // for the client that FormCreate starts
    QString setupError_;
    bool commandRunning_ = false;
    bool closePending_ = false;
    bool closed_ = false;
};

// The status text of a finished discovery: the count, then " device found." for 0 or 1 and
// " devices found." for more.
[[nodiscard]] QString DeviceCountText(int count);
