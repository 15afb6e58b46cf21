#include "app/TMainForm.h"

#include <set>
#include <string>

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

#include "app/DeviceSearch.h"
#include "app/DottedText.h"
#include "app/JpegImage.h"
#include "app/PictureBox.h"
#include "app/SecretText.h"
#include "app/SystemLocale.h"
#include "app/TDLG_SetIP.h"
#include "app/TFM_About.h"
#include "app/WindowStyle.h"
#include "binding/OvNDCPRequest2Edits.h"
#include "binding/OvStatusBar.h"
#include "binding/UiHooks.h"
#include "device/DeviceProfile.h"
#include "device/ListedDevice.h"
#include "device/Reachability.h"
#include "device/SetIPRequest.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPDevice.h"
#include "ndcp/wire/NDCPPacket.h"
#include "ui_TMainForm.h"

namespace {

// Positions of the device list's columns: the module name is the row's caption, the other texts
// are its sub-items 0 to 3.
constexpr int kModuleColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kMacColumn = 2;
constexpr int kIpColumn = 3;
constexpr int kNetmaskColumn = 4;

struct ColumnSpec {
    const char* caption;
    int width;  // the last column fills what the others leave
};

constexpr ColumnSpec kDeviceListColumns[] = {
    {"Module Name", 0}, {"Device Name", 120}, {"MAC Address", 120}, {"IP Address", 120}, {"Netmask", 0},
};

constexpr const char* kHiddenColumns = "0.0";

// The menu's commands, in the order of the menu buttons and of the tab order: the name a screen
// reader says and the keys that run each.
struct MenuCommandSpec {
    const char* name;
    void (TMainForm::*command)();
    const char* keys;  // portable key sequences, separated by "; "
};

const MenuCommandSpec kMenuCommands[] = {
    {"Set IP", &TMainForm::IMG_SetIP1Click, "Alt+S"},
    {"Manage", &TMainForm::IMG_Manage1Click, "Alt+M"},
    {"Refresh", &TMainForm::IMG_Refresh1Click, "F5; Alt+R"},
    {"Exit", &TMainForm::IMG_Exit1Click, "Alt+X"},
    {"About", &TMainForm::IMG_About1Click, "Alt+A"},
};

// "Refresh (F5, Alt+R)": the name and the keys as the desktop writes them.
QString ToolTipOf(const MenuCommandSpec& menu) {
    const QList<QKeySequence> keys = QKeySequence::listFromString(QString::fromLatin1(menu.keys));
    QStringList texts;
    for (const QKeySequence& key : keys) texts << key.toString(QKeySequence::NativeText);
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(menu.name), texts.join(QStringLiteral(", ")));
}

QString MessageOf(const std::exception& error) { return QString::fromUtf8(error.what()); }

// The error's text, followed for a failed send by which adapters it failed on and why.
QString MessageWithSendReason(const std::exception& error) {
    const auto* const raised = dynamic_cast<const OvException*>(&error);
    const OvNDCPClient* const client = ClientInstance();
    if (!raised || raised->Code() != kSocketReadWriteError || !client) return MessageOf(error);
    return MessageOf(error) + QLatin1Char(' ') +
           QString::fromStdString(SendFailureReason(client->LastSends()));
}

int ShowModally(QDialog& dialog) { return dialog.exec(); }

// The outcomes of the search for a device after a Set IP, as the status bar says them.
QString CheckingText(const QString& address) {
    return QStringLiteral("Checking that the device answers at %1...").arg(address);
}
QString AnswersAtText(const FoundDevice& found) {
    return QStringLiteral("The device now answers at %1 (netmask %2).").arg(found.address, found.netmask);
}
QString AnswersElsewhereText(const QString& address, const FoundDevice& found) {
    return QStringLiteral("The device accepted %1 but answers at %2 (netmask %3).")
        .arg(address, found.address, found.netmask);
}
QString SilentText(const QString& address) {
    return QStringLiteral(
               "The device accepted %1 but did not answer there within a second; Refresh shows where "
               "it is.")
        .arg(address);
}
QString SearchFailedText(const QString& address, const std::exception& error) {
    return QStringLiteral("The device accepted %1; looking for it there failed: %2")
        .arg(address, MessageOf(error));
}
QString TookEffectText(const FoundDevice& found) {
    return QStringLiteral(
               "The change took effect although the device did not confirm it: it now answers at %1 "
               "(netmask %2).")
        .arg(found.address, found.netmask);
}

QString ExportedText(std::size_t count, const QString& path) {
    return QStringLiteral("%1 %2 exported to %3.")
        .arg(QString::number(count), count == 1 ? QStringLiteral("device") : QStringLiteral("devices"),
             QDir::toNativeSeparators(path));
}

// What the status bar says when the desktop cannot open the text: the address it was given.
QString NotOpenedText(const QString& text) {
    return QStringLiteral("The desktop could not open %1.")
        .arg(DesktopUrlFor(text).toDisplayString(QUrl::PreferLocalFile));
}

}  // namespace

// Marks a command as running for its lifetime; a second command finds it running and is ignored.
class TMainForm::CommandScope {
public:
    explicit CommandScope(TMainForm& form) : form_(form), entered_(!form.commandRunning_) {
        if (!entered_) return;
        form_.commandRunning_ = true;
        // Commands address rows by position: the rows keep their places until it returns.
        form_.DeviceList().SetSortable(false);
    }
    ~CommandScope() {
        if (!entered_) return;
        form_.commandRunning_ = false;
        form_.DeviceList().SetSortable(true);
        form_.FinishPendingClose();
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

    explicit operator bool() const noexcept { return entered_; }

private:
    TMainForm& form_;
    const bool entered_;
};

TMainForm::TMainForm(QWidget* parent, ClientEnvironment environment)
    : QWidget(parent),
      ui_(std::make_unique<Ui::TMainForm>()),
      opener_(OpenWithDesktop),
      modalRunner_(ShowModally),
      saveFileAsker_(AskExportFile),
      environment_(std::move(environment)) {
    ui_->setupUi(this);
    setFont(WindowFont());
    setWindowIcon(ApplicationIcon());
    MakeFixedFrame(*this, {kClientWidth, kClientHeight}, Qt::Window);
    if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());

    ui_->Panel1->SetBevelOuter(OvPanel::Bevel::None);
    ui_->Panel2->SetBevelOuter(OvPanel::Bevel::None);
    FillBackground(*ui_->Panel2, QColor(kMenuColour));
    FillBackground(*ui_->StatusBar, QColor(kMenuColour));
    menuButtons_ = {{{ui_->IMG_SetIP1, ui_->IMG_SetIP2},
                     {ui_->IMG_Manage1, ui_->IMG_Manage2},
                     {ui_->IMG_Refresh1, ui_->IMG_Refresh2},
                     {ui_->IMG_Exit1, ui_->IMG_Exit2},
                     {ui_->IMG_About1, ui_->IMG_About2}}};
    LoadPictures();
    BuildDeviceListColumns();

    InitialTimer_ = new QTimer(this);
    InitialTimer_->setObjectName(QStringLiteral("InitialTimer"));
    InitialTimer_->setInterval(kInitialTimerIntervalMs);
    WireEvents();
    FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::LoadPictures() {
    struct PictureSpec {
        PictureBox* box;
        const char* path;
        PictureBox::Placement placement;
    };
    const PictureSpec pictures[] = {
        {ui_->Image1, ":/images/banner.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_MenuBG, ":/images/menu-bg.jpg", PictureBox::Placement::Centre},
        {ui_->IMG_SetIP1, ":/images/setip.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_SetIP2, ":/images/setip-hot.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Manage1, ":/images/manage.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Manage2, ":/images/manage-hot.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Refresh1, ":/images/refresh.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Refresh2, ":/images/refresh-hot.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Exit1, ":/images/exit.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_Exit2, ":/images/exit-hot.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_About1, ":/images/about.jpg", PictureBox::Placement::TopLeft},
        {ui_->IMG_About2, ":/images/about-hot.jpg", PictureBox::Placement::TopLeft},
    };
    for (const PictureSpec& picture : pictures) {
        picture.box->SetPicture(
            JpegImage::LoadForScreen(QString::fromLatin1(picture.path), devicePixelRatioF()));
        picture.box->SetPlacement(picture.placement);
    }
}

void TMainForm::BuildDeviceListColumns() {
    OvListView& list = DeviceList();
    list.ClearColumns();
    for (const ColumnSpec& column : kDeviceListColumns)
        list.AddColumn(QString::fromLatin1(column.caption), column.width);
    list.header()->setStretchLastSection(true);
    // Addresses sort as numbers; the MAC address, fixed-width hexadecimal, sorts as text.
    list.SetColumnSortKey(kIpColumn, OvListView::SortKey::DottedNumbers);
    list.SetColumnSortKey(kNetmaskColumn, OvListView::SortKey::DottedNumbers);
    list.SetSortable(true);
}

void TMainForm::WireEvents() {
    connect(InitialTimer_, &QTimer::timeout, this, &TMainForm::InitialTimerTimer);
    static_assert(std::size(kMenuCommands) == std::tuple_size_v<decltype(menuButtons_)>);
    for (std::size_t i = 0; i < menuButtons_.size(); ++i) {
        const MenuButton& button = menuButtons_[i];
        connect(button.plain, &PictureBox::Clicked, this, kMenuCommands[i].command);
        connect(button.highlighted, &PictureBox::Clicked, this, kMenuCommands[i].command);
    }
    WirePointerMoves();
    WireKeyboard();
}

void TMainForm::WireKeyboard() {
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < menuButtons_.size(); ++i) {
        const MenuCommandSpec& menu = kMenuCommands[i];
        const MenuButton& button = menuButtons_[i];
        // The plain picture takes the focus and then shows the highlighted one, so that the focus
        // stays put when the pointer lights the button up.
        button.plain->setFocusPolicy(Qt::StrongFocus);
        button.plain->SetFocusPicture(button.highlighted->Picture());
        for (PictureBox* const box : {button.plain, button.highlighted}) {
            box->SetKind(PictureBox::Kind::Button);
            box->setToolTip(ToolTipOf(menu));
            box->setAccessibleName(QString::fromLatin1(menu.name));
        }
        // The shortcuts are children of the window.
        for (const QKeySequence& key : QKeySequence::listFromString(QString::fromLatin1(menu.keys)))
            connect(new QShortcut(key, this), &QShortcut::activated, this, menu.command);
        if (previous) setTabOrder(previous, button.plain);
        previous = button.plain;
    }
    OvListView& list = DeviceList();
    setTabOrder(previous, &list);
    list.installEventFilter(this);  // Enter on a row
    list.setFocus();
    WireListCommands();
}

void TMainForm::WireListCommands() {
    OvListView& list = DeviceList();
    auto* const copy = new QAction(QStringLiteral("&Copy"), &list);  // owned by the list
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &TMainForm::CopySelectedRows);
    list.addAction(copy);
    auto* const exportList = new QAction(QStringLiteral("&Export list..."), &list);  // owned by the list
    exportList->setObjectName(QStringLiteral("ExportList"));
    connect(exportList, &QAction::triggered, this, &TMainForm::ExportList);
    list.addAction(exportList);
    // An empty list has nothing to export. The count comes from the model, which also signals
    // while the list is being destroyed around it.
    const QAbstractItemModel* const rows = list.model();
    const auto followRows = [exportList, rows] { exportList->setEnabled(rows->rowCount() > 0); };
    connect(rows, &QAbstractItemModel::rowsInserted, exportList, followRows);
    connect(rows, &QAbstractItemModel::rowsRemoved, exportList, followRows);
    connect(rows, &QAbstractItemModel::modelReset, exportList, followRows);
    followRows();
    list.setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TMainForm::CopySelectedRows() {
    if (QClipboard* const clipboard = QGuiApplication::clipboard())
        clipboard->setText(DeviceList().SelectedRowsText());
}

void TMainForm::ExportList() {
    const CommandScope command(*this);
    if (!command || DeviceList().RowCount() == 0) return;
    const ExportChoice choice = saveFileAsker_(*this);
    if (choice.fileName.isEmpty()) return;
    try {
        const ExportTarget target = ExportTargetFor(choice);
        const std::vector<ListedDevice> devices = ListedRows();
        WriteDeviceListFile(target, devices);
        ShowStatus(ExportedText(devices.size(), target.path));
    } catch (const std::exception& error) {
        ShowStatus(QStringLiteral("The list was not exported. ") + MessageOf(error));
    }
}

std::vector<ListedDevice> TMainForm::ListedRows() const {
    const OvListView& list = DeviceList();
    std::vector<ListedDevice> devices;
    devices.reserve(static_cast<std::size_t>(list.RowCount()));
    for (int row = 0; row < list.RowCount(); ++row) {
        const auto text = [&list, row](int column) { return list.RowText(row, column).toStdString(); };
        devices.push_back({text(kModuleColumn), text(kNameColumn), text(kMacColumn), text(kIpColumn),
                           text(kNetmaskColumn), RowAdapter(list, row)});
    }
    return devices;
}

void TMainForm::WirePointerMoves() {
    connect(ui_->IMG_SetIP1, &PictureBox::MouseMoved, this, &TMainForm::IMG_SetIP1MouseMove);
    connect(ui_->IMG_Manage1, &PictureBox::MouseMoved, this, &TMainForm::IMG_Manage1MouseMove);
    connect(ui_->IMG_Refresh1, &PictureBox::MouseMoved, this, &TMainForm::IMG_Refresh1MouseMove);
    connect(ui_->IMG_Exit1, &PictureBox::MouseMoved, this, &TMainForm::IMG_Exit1MouseMove);
    connect(ui_->IMG_About1, &PictureBox::MouseMoved, this, &TMainForm::IMG_About1MouseMove);
    connect(ui_->IMG_MenuBG, &PictureBox::MouseMoved, this, &TMainForm::Panel2MouseMove);
    connect(ui_->Image1, &PictureBox::MouseMoved, this, &TMainForm::Panel2MouseMove);
    // The panel's background and the list report moves through the event filter.
    OvListView& list = DeviceList();
    for (QWidget* const watched :
         {static_cast<QWidget*>(ui_->Panel2), list.viewport(), list.header()->viewport()}) {
        watched->setMouseTracking(true);
        watched->installEventFilter(this);
    }
    list.header()->setMouseTracking(true);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == &DeviceList()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return QWidget::eventFilter(watched, event);
        LV_DeviceListDblClick();
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        Panel2MouseMove();
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == DeviceList().viewport()) {
        LV_DeviceListDblClick();
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::FormCreate() {
    try {
        DiscoverySetup();
        InitialTimer_->start();
    } catch (const std::exception& error) {
        // The window still opens; no discovery starts by itself, and the commands report this.
        setupError_ = MessageOf(error);
        StatusBar().SetSimpleText(setupError_);
    }
}

void TMainForm::DiscoverySetup() {
    StartClient(this, environment_);
    ClientInstance()->SetLocale(LocaleSettingsFrom(QLocale::system()));
    DefaultDevice().MacAddress = std::string(kBroadcastMac);
    DefaultDevice().Password = std::string(kDefaultPassword);
    auto binding = std::make_unique<OvNDCPRequest2Edits>(this);
    binding->Asynchronous = 0;
    OvNDCPRequest& request = binding->Request;
    SetDiscoveryVars(request.Vars);
    request.Filter = std::string(kDiscoveryFilter);
    binding->BindListView(&DeviceList(), kHiddenColumns);
    binding->SetStatusControl(&StatusBar());
    request.Timeout = kDiscoveryTimeout;
    DeviceListBinding_ = std::move(binding);
}

void TMainForm::FormDestroy() noexcept {
    // Synchronous commands leave nothing pending, so neither this nor the client waits.
    DeviceListBinding_.reset();
}

TFM_About& TMainForm::AboutBox() {
    if (!aboutBox_) aboutBox_ = new TFM_About(this);
    return *aboutBox_;
}

void TMainForm::SetShellOpener(ShellOpener opener) { opener_ = std::move(opener); }

void TMainForm::SetModalRunner(ModalRunner runner) { modalRunner_ = std::move(runner); }

void TMainForm::SetSaveFileAsker(SaveFileAsker asker) { saveFileAsker_ = std::move(asker); }

OvListView& TMainForm::DeviceList() const { return *ui_->LV_DeviceList; }

OvStatusBar& TMainForm::StatusBar() const { return *ui_->StatusBar; }

void TMainForm::ShowStatus(const QString& text) {
    if (DeviceListBinding_) {
        DeviceListBinding_->ShowStatus(text);
    } else {
        StatusBar().SetSimpleText(text);
    }
}

void TMainForm::InitialTimerTimer() {
    InitialTimer_->stop();
    if (closed_ || closePending_) return;
    if (commandRunning_) {
        // The first discovery is not lost: it runs once the command in progress has finished.
        InitialTimer_->start();
        return;
    }
    IMG_Refresh1Click();
}

void TMainForm::IMG_Exit1Click() { close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
    if (commandRunning_) {
        // The waiting command must return first; the window goes at once, the program after it.
        closePending_ = true;
        hide();
        event->ignore();
        return;
    }
    event->accept();
    InitialTimer_->stop();
    if (!closed_) {
        closed_ = true;
        emit Closed();
    }
}

void TMainForm::FinishPendingClose() {
    if (!closePending_) return;
    closePending_ = false;
    close();
}

void TMainForm::IMG_Refresh1Click() {
    const CommandScope command(*this);
    if (!command) return;
    if (!DeviceListBinding_) {
        ShowStatus(setupError_);
        return;
    }
    try {
        ShowStatus(QStringLiteral("Discovering..."));
        DeviceListBinding_->Execute(kDiscoverCommand);
        for (int row = 0; row < DeviceList().RowCount(); ++row) MarkReachability(row);
        ShowStatus(DiscoveryOutcomeText());
    } catch (const std::exception& error) {
        ShowStatus(MessageWithSendReason(error));
    }
}

QString TMainForm::DiscoveryOutcomeText() const {
    const int rows = DeviceList().RowCount();
    const OvNDCPClient* const client = ClientInstance();
    if (rows > 0 || !client) return DeviceCountText(rows);
    // Devices, not answers: a device may answer more than once.
    std::set<std::string> devices;
    for (const auto& answer : DeviceListBinding_->Request.Results)
        devices.insert(ListedDeviceFromAnswer(*answer, NetworkAdapter{}).mac);
    return DeviceCountText(rows) + QLatin1Char(' ') +
           QString::fromStdString(EmptyListReason(client->LastSends(), devices.size()));
}

std::optional<QString> TMainForm::UnreachableText(int row) const {
    const auto reason =
        UnreachableReason(DeviceList().RowText(row, kIpColumn).toStdString(), RowAdapter(DeviceList(), row));
    if (!reason) return std::nullopt;
    return QString::fromStdString(*reason);
}

void TMainForm::MarkReachability(int row) {
    QTreeWidgetItem* const item = DeviceList().Row(row);
    if (!item) return;
    const std::optional<QString> reason = UnreachableText(row);
    // The icon reads at a glance; the tooltip and the accessible description say why.
    item->setIcon(kIpColumn, reason ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    for (int column = 0; column < DeviceList().ColumnCount(); ++column) {
        item->setToolTip(column, reason.value_or(QString()));
        item->setData(column, Qt::AccessibleDescriptionRole, reason.value_or(QString()));
    }
}

void TMainForm::IMG_SetIP1Click() {
    const CommandScope command(*this);
    if (!command) return;
    if (!DeviceListBinding_) {
        ShowStatus(setupError_);
        return;
    }
    DLG_SetIP_ = nullptr;
    const int row = DeviceList().SelectedRow();
    if (row < 0) return;
    try {
        RunSetIP(row);
    } catch (const std::exception& error) {
        ReportSetIPError(MessageWithSendReason(error));
    }
}

void TMainForm::RunSetIP(int row) {
    const auto dialog = std::make_unique<TDLG_SetIP>(this);
    DLG_SetIP_ = dialog.get();
    const auto forget = qScopeGuard([this] { DLG_SetIP_ = nullptr; });
    dialog->Prefill(DeviceList().RowText(row, kIpColumn), DeviceList().RowText(row, kNetmaskColumn));
    dialog->SetHeardOn(RowAdapter(DeviceList(), row));
    if (modalRunner_(*dialog) != QDialog::Accepted || closePending_) return;
    SendSetIP(row, *dialog);
}

void TMainForm::SendSetIP(int row, TDLG_SetIP& dialog) {
    OvNDCPRequest request;
    AddSetIPVars(request.Vars, DottedTextFromEdits(dialog.IPEdits()).toStdString(),
                 DottedTextFromEdits(dialog.NetmaskEdits()).toStdString());
    request.Device.MacAddress = DeviceList().RowText(row, kMacColumn).toStdString();
    // Through the adapter that heard the device alone: the authenticated request goes nowhere else.
    request.Device.Adapter = RowAdapter(DeviceList(), row);
    {
        QString plain = dialog.TakePassword();
        const auto wipe = qScopeGuard([&plain] { WipeString(plain); });
        const SecretBytes password(plain);
        request.Device.Password = SetIPPassword(password.Text());
    }
    request.Timeout = kSetIPTimeout;
    const QString address = QString::fromStdString(request.Vars.Var(0).Value);
    const QString netmask = QString::fromStdString(request.Vars.Var(1).Value);
    try {
        const auto wipe = qScopeGuard([&request] { WipeString(request.Device.Password); });
        request.Set();
    } catch (const OvException& error) {
        // A device may apply the address and answer too late, or not at all.
        if (error.Code() != kConnectionTimeout || closePending_ ||
            !TookEffectAfterTimeout(row, address, error))
            throw;
        return;
    }
    ConfirmSetIP(row, address, netmask);
}

void TMainForm::ConfirmSetIP(int row, const QString& address, const QString& netmask) {
    // The completion of a Set delivers the variables as sent: the addresses as entered.
    ShowRowAddresses(row, address, netmask);
    if (closePending_) return;
    ShowStatus(CheckingText(address));
    try {
        const std::optional<FoundDevice> found = FindDeviceByMac(
            DeviceList().RowText(row, kMacColumn), RowAdapter(DeviceList(), row), kFindAgainTimeout);
        if (!found) {
            ShowStatus(SilentText(address));
            return;
        }
        ShowRowAddresses(row, found->address, found->netmask);
        ShowStatus(found->address == address ? AnswersAtText(*found) : AnswersElsewhereText(address, *found));
    } catch (const std::exception& error) {
        ShowStatus(SearchFailedText(address, error));
    }
}

bool TMainForm::TookEffectAfterTimeout(int row, const QString& address, const OvException& timeout) {
    ShowStatus(MessageOf(timeout) + QLatin1Char(' ') + CheckingText(address));
    std::optional<FoundDevice> found;
    try {
        found = FindDeviceByMac(DeviceList().RowText(row, kMacColumn), RowAdapter(DeviceList(), row),
                                kFindAgainTimeout);
    } catch (const std::exception& error) {
        throw OvException(timeout.Message() + " Looking for the device at " + address.toStdString() +
                              " failed: " + error.what(),
                          timeout.Code());
    }
    if (!found || found->address != address) return false;
    ShowRowAddresses(row, found->address, found->netmask);
    ShowStatus(TookEffectText(*found));
    return true;
}

void TMainForm::ShowRowAddresses(int row, const QString& address, const QString& netmask) {
    DeviceList().SetRowText(row, kIpColumn, address);
    DeviceList().SetRowText(row, kNetmaskColumn, netmask);
    MarkReachability(row);
}

void TMainForm::ReportSetIPError(const QString& message) {
    ShowStatus(message);
    // Once the user has closed the window, nobody is left to read a box.
    if (!closePending_) ShowMessageBox(this, message);
}

void TMainForm::IMG_Manage1Click() {
    const CommandScope command(*this);
    if (command) OpenSelectedAddress(QStringLiteral("http://"), QStringLiteral("/"));
}

void TMainForm::LV_DeviceListDblClick() {
    const CommandScope command(*this);
    if (command) OpenSelectedAddress(QStringLiteral("\\\\"), QString());
}

void TMainForm::OpenSelectedAddress(const QString& prefix, const QString& suffix) {
    try {
        const int row = DeviceList().SelectedRow();
        if (row < 0) return;
        const QString text = prefix + DeviceList().RowText(row, kIpColumn) + suffix;
        const std::optional<QString> unreachable = UnreachableText(row);
        // It still opens an unreachable address: the user may know a route the program does not.
        if (!opener_(text)) {
            ShowStatus(NotOpenedText(text) + (unreachable ? QLatin1Char(' ') + *unreachable : QString()));
        } else if (unreachable) {
            ShowStatus(*unreachable);
        }
    } catch (const std::exception& error) {
        ShowStatus(MessageOf(error));
    }
}

void TMainForm::IMG_About1Click() {
    const CommandScope command(*this);
    if (!command) return;
    try {
        modalRunner_(AboutBox());
    } catch (const std::exception& error) {
        ShowStatus(MessageOf(error));
    }
}

void TMainForm::Highlight(MenuButton& button) {
    // A focused button already shows its highlighted picture, and hiding it would move the focus.
    if (button.plain->hasFocus()) return;
    button.plain->hide();
    button.highlighted->show();
}

void TMainForm::IMG_SetIP1MouseMove() { Highlight(menuButtons_[0]); }

void TMainForm::IMG_Manage1MouseMove() { Highlight(menuButtons_[1]); }

void TMainForm::IMG_Refresh1MouseMove() { Highlight(menuButtons_[2]); }

void TMainForm::IMG_Exit1MouseMove() { Highlight(menuButtons_[3]); }

void TMainForm::IMG_About1MouseMove() { Highlight(menuButtons_[4]); }

void TMainForm::Panel2MouseMove() {
    for (const MenuButton& button : menuButtons_) {
        button.plain->show();
        button.highlighted->hide();
    }
}

QString DeviceCountText(int count) {
    return QString::number(count) +
           (count <= 1 ? QStringLiteral(" device found.") : QStringLiteral(" devices found."));
}
