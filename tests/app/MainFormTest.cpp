// The main window's start-up, discovery, menu effects and the commands that open addresses.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

#include "AppTestSupport.h"

namespace {

const FakeDevice kFirst{"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"};
const FakeDevice kSecond{"KVX-770B", "Storage-2", "001122334402", "192.168.0.102", "255.255.0.0"};
const FakeDevice kThird{"KVX-770B", "Storage-3", "001122334403", "10.0.0.3", "255.0.0.0"};
const FakeDevice kOtherModel{"KVX-550A", "Other", "001122334409", "192.168.0.109", "255.255.255.0"};

using MainFormTest = MainFormFixture;

TEST_F(MainFormTest, TheInitialTimerStartsExactlyOneDiscovery100MsAfterStart) {
    form = std::make_unique<TMainForm>(nullptr, responder.Environment());
    form->DeviceListBinding()->Request.Timeout = 20;
    QString statusWhileWaiting;
    responder.SetHandler([&](FakeNetwork&, const Datagram&) { statusWhileWaiting = Status(); });
    QTimer& timer = form->InitialTimer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 100);
    EXPECT_TRUE(responder.Requests().empty());
    form->InitialTimerTimer();  // what the timer's expiry calls
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(Status(),
              QStringLiteral("0 device found. Nothing answered on eth0 (192.168.0.0/24). A firewall "
                             "must let in UDP datagrams from port 64512."));
    EXPECT_EQ(responder.Requests().size(), 1u);
    EXPECT_EQ(statusWhileWaiting, QStringLiteral("Discovering..."));
}

TEST_F(MainFormTest, TheDiscoveryIsASynchronousThreeSecondBroadcastWithTheDefaultPassword) {
    CreateForm();
    EXPECT_EQ(form->DeviceListBinding()->Asynchronous, 0);
    TMainForm untouched(nullptr, responder.Environment());
    untouched.InitialTimer().stop();
    EXPECT_EQ(untouched.DeviceListBinding()->Request.Timeout, 300);

    ClickButton("IMG_Refresh1");
    ASSERT_EQ(responder.Requests().size(), 1u);
    const Datagram& request = responder.Requests().front();
    EXPECT_EQ(CommandOf(request), kDiscoverCommand);
    EXPECT_EQ(MacBytesToText(AnswerTargetMac(request)), "FFFFFFFFFFFF");
    EXPECT_TRUE(AuthenticatedWith(request, "kestu"));
}

TEST_F(MainFormTest, RefreshListsTheModelsDevicesOncePerMacAndCountsThem) {
    struct Case {
        const char* name;
        std::vector<FakeDevice> devices;
        bool twice;
        QStringList rows;
        const char* status;
    };
    FakeDevice renamedFirst = kFirst;
    renamedFirst.name = "Renamed";
    const Case cases[] = {
        {"no device",
         {},
         false,
         {},
         "0 device found. Nothing answered on eth0 (192.168.0.0/24). A firewall must let in UDP datagrams "
         "from port 64512."},
        {"one device", {kFirst}, false, {"Storage-1"}, "1 device found."},
        {"three devices",
         {kFirst, kSecond, kThird},
         false,
         {"Storage-1", "Storage-2", "Storage-3"},
         "3 devices found."},
        {"another model", {kOtherModel, kSecond}, false, {"Storage-2"}, "1 device found."},
        {"every answer twice", {kFirst, kSecond}, true, {"Storage-1", "Storage-2"}, "2 devices found."},
        {"same MAC, new name", {kFirst, renamedFirst}, false, {"Storage-1"}, "1 device found."},
    };
    CreateForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnswerDiscoveries(responder, c.devices, c.twice);
        ClickButton("IMG_Refresh2");
        QStringList names;
        for (int row = 0; row < List().RowCount(); ++row) names << List().RowText(row, 1);
        EXPECT_EQ(names, c.rows);
        EXPECT_EQ(Status(), QString::fromLatin1(c.status));
    }
    // The module name is the hidden caption; the visible columns follow.
    EXPECT_EQ(RowTexts(0),
              QStringList({"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"}));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(MainFormTest, AnEmptyListSaysWhy) {
    const NetworkAdapter eth1{"eth1", 3, 0x0AC60201, 24};
    const struct {
        const char* name;
        std::vector<NetworkAdapter> adapters;
        std::vector<FakeDevice> devices;
        const char* status;
        bool twice = false;
    } cases[] = {
        {"no adapter", {}, {}, "Socket read/write error! No network adapter is up with an IPv4 address."},
        {"fails on its only adapter",
         {eth1},
         {},
         "Socket read/write error! Sending failed on eth1: Network is unreachable."},
        {"fails on one of two",
         {FakeNetwork::FirstAdapter(), eth1},
         {},
         "0 device found. Sending failed on eth1: Network is unreachable. Nothing answered on eth0 "
         "(192.168.0.0/24). A firewall must let in UDP datagrams from port 64512."},
        {"only another model",
         {FakeNetwork::FirstAdapter()},
         {kOtherModel},
         "0 device found. 1 device answered, none of them a KVX-770B."},
        {"another model, answering twice",
         {FakeNetwork::FirstAdapter()},
         {kOtherModel},
         "0 device found. 1 device answered, none of them a KVX-770B.",
         true},
    };
    CreateForm();
    responder.FailSendThrough(eth1.index);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        responder.SetAdapters(c.adapters);
        AnswerDiscoveries(responder, c.devices, c.twice);
        ClickButton("IMG_Refresh1");
        EXPECT_EQ(Status(), QString::fromLatin1(c.status));
    }
}

TEST_F(MainFormTest, AFailedSetUpStaysOnTheStatusBarAndTheCommandsReportIt) {
    responder.FailOpen(true);
    form = std::make_unique<TMainForm>(nullptr, responder.Environment());
    form->SetShellOpener([this](const QString& text) {
        opened.push_back(text);
        return true;
    });
    const QString message = QStringLiteral("Socket not ready!Please check if the network is ready.");
    EXPECT_EQ(Status(), message);
    EXPECT_EQ(form->DeviceListBinding(), nullptr);
    EXPECT_FALSE(form->InitialTimer().isActive());
    for (const char* command : {"IMG_Refresh1", "IMG_SetIP1"}) {
        form->ShowStatus(QStringLiteral("something else"));
        ClickButton(command);
        EXPECT_EQ(Status(), message) << command;
    }
    ProcessEventsFor(200);
    EXPECT_TRUE(responder.Requests().empty());
    EXPECT_TRUE(recorder.boxes.empty());

    // Manage and About keep working.
    List().AppendRow({"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"});
    List().SelectRow(0);
    ClickButton("IMG_Manage1");
    EXPECT_EQ(opened, std::vector<QString>{"http://192.168.0.101/"});
}

TEST_F(MainFormTest, ExitDuringADiscoveryHidesAtOnceAndClosesWhenTheDiscoveryHasReturned) {
    CreateForm(100);  // 1 second
    form->show();
    AnswerDiscoveries(responder, {kFirst});
    int closed = 0;
    QObject::connect(form.get(), &TMainForm::Closed, [&] { ++closed; });
    int aboutShown = 0;
    form->SetModalRunner([&](QDialog&) { return ++aboutShown; });
    bool hiddenAtOnce = false;
    responder.Time().After(std::chrono::milliseconds(200), [&] {
        ClickButton("IMG_Refresh1");  // ignored, as is About: a discovery is waiting
        ClickButton("IMG_About1");
        ClickButton("IMG_Exit1");
        hiddenAtOnce = !form->isVisible() && closed == 0;
    });
    Clock::TimePoint started = responder.Time().Now();
    ClickButton("IMG_Refresh1");
    EXPECT_GT(MsSince(started), 1000);
    EXPECT_LE(MsSince(started), 1000 + OvNDCPClient::kSweepIntervalMs);
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(aboutShown, 0);
    EXPECT_EQ(responder.Requests().size(), 1u);
    EXPECT_EQ(Status(), QStringLiteral("1 device found."));
    started = responder.Time().Now();
    form.reset();
    EXPECT_EQ(MsSince(started), 0);  // nothing is pending, so nothing is waited for

    CreateForm();  // without a waiting command the close box closes at once
    form->show();
    QObject::connect(form.get(), &TMainForm::Closed, [&] { ++closed; });
    EXPECT_TRUE(form->close());
    EXPECT_EQ(closed, 2);
}

TEST_F(MainFormTest, MenuButtonsLightUpUnderThePointerAndTheRestOfTheWindowTurnsThemOff) {
    struct Case {
        const char* name;
        std::vector<std::string> moves;  // what the pointer moves over, in order
        std::set<std::string> lit;
    };
    const Case cases[] = {
        {"over Set IP", {"IMG_SetIP1"}, {"SetIP"}},
        {"on over its twin", {"IMG_SetIP1", "IMG_SetIP2"}, {"SetIP"}},
        {"Set IP, panel, Manage", {"IMG_SetIP1", "Panel2", "IMG_Manage1"}, {"Manage"}},
        {"onto the banner", {"IMG_Refresh1", "Image1"}, {}},
        {"onto the list", {"IMG_About1", "list"}, {}},
        {"no other button changes", {"IMG_SetIP1", "IMG_About1"}, {"SetIP", "About"}},
    };
    CreateForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->Panel2MouseMove();
        for (const std::string& target : c.moves)
            MovePointerOver(target == "list" ? *List().viewport() : Child(*form, target));
        for (const std::string button : {"SetIP", "Manage", "Refresh", "Exit", "About"}) {
            const bool lit = c.lit.count(button) > 0;
            EXPECT_EQ(Child(*form, "IMG_" + button + "1").isHidden(), lit) << button;
            EXPECT_EQ(Child(*form, "IMG_" + button + "2").isHidden(), !lit) << button;
        }
    }
}

TEST_F(MainFormTest, ManageAndDoubleClickOpenTheSelectedDevicesAddressAndSayWhenTheDesktopCannot) {
    struct Case {
        const char* name;
        const char* ip;
        bool selected;
        bool opens;  // what the desktop answers
        std::vector<QString> manage, doubleClick;
        const char* manageStatus;
        const char* doubleClickStatus;
    };
    const Case cases[] = {
        {"selected row",
         "192.168.0.5",
         true,
         true,
         {"http://192.168.0.5/"},
         {"\\\\192.168.0.5"},
         "unchanged",
         "unchanged"},
        {"empty address", "", true, true, {"http:///"}, {"\\\\"}, "unchanged", "unchanged"},
        {"no row selected", "192.168.0.5", false, false, {}, {}, "unchanged", "unchanged"},
        {"the desktop cannot open it",
         "192.168.0.5",
         true,
         false,
         {"http://192.168.0.5/"},
         {"\\\\192.168.0.5"},
         "The desktop could not open http://192.168.0.5/.",
         "The desktop could not open smb://192.168.0.5/."},
    };
    CreateForm();
    form->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List().ClearRows();
        List().AppendRow(
            {"KVX-770B", "Storage-1", "001122334401", QString::fromLatin1(c.ip), "255.255.255.0"});
        List().SelectRow(c.selected ? 0 : -1);
        desktopOpens = c.opens;
        form->ShowStatus(QStringLiteral("unchanged"));
        opened.clear();
        ClickButton("IMG_Manage2");
        EXPECT_EQ(opened, c.manage);
        EXPECT_EQ(Status(), QString::fromLatin1(c.manageStatus));
        form->ShowStatus(QStringLiteral("unchanged"));
        opened.clear();
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, QPoint(300, 300));  // below the row
        EXPECT_EQ(opened, c.doubleClick);
        EXPECT_EQ(Status(), QString::fromLatin1(c.doubleClickStatus));
    }
}

// The commands without a mouse: the tab order, the keys and shortcuts, and assistive technology.
class MainFormCommandsTest : public MainFormFixture {
protected:
    // Shows the window with one selected device and records which command ran through each key.
    void ShowWithOneDevice() {
        CreateForm();
        form->SetModalRunner([this](QDialog& dialog) {
            ran.push_back(dialog.metaObject()->className());
            return int{QDialog::Rejected};
        });
        QObject::connect(form.get(), &TMainForm::Closed, [this] { ran.push_back("Exit"); });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        List().AppendRow({"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"});
    }
    // What the key ran: a dialog's class, "Refresh", "open" and the address, "Exit", or nothing.
    std::vector<std::string> Press(QWidget& target, int key, Qt::KeyboardModifiers modifiers = {}) {
        return Ran([&] { QTest::keyClick(&target, static_cast<Qt::Key>(key), modifiers); });
    }
    std::vector<std::string> Ran(const std::function<void()>& action) {
        ran.clear();
        opened.clear();
        const std::size_t requests = responder.Requests().size();
        action();
        if (responder.Requests().size() > requests) ran.push_back("Refresh");
        for (const QString& address : opened) ran.push_back("open " + address.toStdString());
        return ran;
    }

    std::vector<std::string> ran;
};

TEST_F(MainFormCommandsTest, TabVisitsTheMenuThenTheListWhichHasTheFocusAtStart) {
    ShowWithOneDevice();
    EXPECT_EQ(QApplication::focusWidget(), &List());
    QTest::keyClick(&List(), Qt::Key_Down);
    EXPECT_EQ(List().SelectedRow(), 0);
    for (const char* name :
         {"IMG_SetIP1", "IMG_Manage1", "IMG_Refresh1", "IMG_Exit1", "IMG_About1", "LV_DeviceList"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
    }
    // The focused button shows its highlighted picture and keeps the focus under the pointer.
    auto& setIP = Child<PictureBox>(*form, "IMG_SetIP1");
    setIP.setFocus();
    MovePointerOver(setIP);
    EXPECT_TRUE(setIP.hasFocus());
    const QImage focused = setIP.grab().toImage();
    List().setFocus();
    EXPECT_NE(setIP.grab().toImage(), focused);
    EXPECT_EQ(setIP.toolTip(), QStringLiteral("Set IP (Alt+S)"));
    EXPECT_EQ(Child<PictureBox>(*form, "IMG_Refresh2").toolTip(), QStringLiteral("Refresh (F5, Alt+R)"));
}

TEST_F(MainFormCommandsTest, EachKeyRunsItsCommand) {
    const struct {
        const char* name;
        const char* target;  // the focused control, or the window for a shortcut
        int key;
        Qt::KeyboardModifiers modifiers;
        std::vector<std::string> ran;
    } cases[] = {
        {"Space on Set IP", "IMG_SetIP1", Qt::Key_Space, {}, {"TDLG_SetIP"}},
        {"Enter on Manage", "IMG_Manage1", Qt::Key_Return, {}, {"open http://192.168.0.101/"}},
        {"keypad Enter on Refresh", "IMG_Refresh1", Qt::Key_Enter, {}, {"Refresh"}},
        {"Space on About", "IMG_About1", Qt::Key_Space, {}, {"TFM_About"}},
        {"a letter on a button", "IMG_About1", Qt::Key_A, {}, {}},
        {"Alt+S", "", Qt::Key_S, Qt::AltModifier, {"TDLG_SetIP"}},
        {"Alt+M", "", Qt::Key_M, Qt::AltModifier, {"open http://192.168.0.101/"}},
        {"Alt+R", "", Qt::Key_R, Qt::AltModifier, {"Refresh"}},
        {"F5", "", Qt::Key_F5, {}, {"Refresh"}},
        {"Alt+A", "", Qt::Key_A, Qt::AltModifier, {"TFM_About"}},
        {"Enter on the list opens the row as a double-click does",
         "LV_DeviceList",
         Qt::Key_Return,
         {},
         {"open \\\\192.168.0.101"}},
        {"Space on Exit", "IMG_Exit1", Qt::Key_Space, {}, {"Exit"}},
    };
    ShowWithOneDevice();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        List().ClearRows();  // a Refresh empties the list: put the device back
        List().AppendRow({"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"});
        List().SelectRow(0);
        QWidget& target = *c.target ? Child(*form, c.target) : static_cast<QWidget&>(*form);
        target.setFocus();
        EXPECT_EQ(Press(target, c.key, c.modifiers), c.ran);
    }
    ShowWithOneDevice();
    EXPECT_EQ(Press(*form, Qt::Key_X, Qt::AltModifier), std::vector<std::string>{"Exit"});
}

TEST_F(MainFormCommandsTest, ScreenReadersSeeNamedPushButtonsThatPressAndPassOverTheDecorations) {
    const struct {
        const char* box;
        const char* name;
        std::vector<std::string> ran;
    } buttons[] = {
        {"IMG_SetIP1", "Set IP", {"TDLG_SetIP"}}, {"IMG_Manage2", "Manage", {"open http://192.168.0.101/"}},
        {"IMG_Refresh1", "Refresh", {"Refresh"}}, {"IMG_About2", "About", {"TFM_About"}},
        {"IMG_Exit1", "Exit", {"Exit"}},
    };
    ShowWithOneDevice();
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.box);
        List().SelectRow(0);
        QAccessibleInterface* const button = QAccessible::queryAccessibleInterface(&Child(*form, b.box));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name).toStdString(), b.name);
        ASSERT_NE(button->actionInterface(), nullptr);
        EXPECT_TRUE(
            button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        EXPECT_EQ(
            Ran([&] { button->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); }),
            b.ran);
    }
    for (const char* decoration : {"Image1", "IMG_MenuBG"}) {
        QAccessibleInterface* const picture =
            QAccessible::queryAccessibleInterface(&Child(*form, decoration));
        EXPECT_EQ(picture->role(), QAccessible::Graphic) << decoration;
        EXPECT_EQ(picture->text(QAccessible::Name), QString()) << decoration;
        EXPECT_TRUE(picture->actionInterface()->actionNames().isEmpty()) << decoration;
    }
}

TEST_F(MainFormCommandsTest, ScreenReadersSeeOnlyTheListsShownColumnsAndCellsThatFollowASort) {
    ShowWithOneDevice();
    List().AppendRow({"KVX-770B", "Storage-2", "001122334402", "10.0.0.2", "255.0.0.0"});
    QAccessibleInterface* const list = QAccessible::queryAccessibleInterface(&List());
    ASSERT_NE(list, nullptr);
    QAccessibleTableInterface* const table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(list->role(), QAccessible::Table);
    const QStringList headers = {"Device Name", "MAC Address", "IP Address", "Netmask"};
    const QStringList first = {"Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"};
    const QStringList second = {"Storage-2", "001122334402", "10.0.0.2", "255.0.0.0"};
    const auto children = [list] {
        QStringList texts;
        for (int i = 0; i < list->childCount(); ++i) texts << list->child(i)->text(QAccessible::Name);
        return texts;
    };
    EXPECT_EQ(children(), headers + first + second);  // no "Module Name", no "KVX-770B"
    ASSERT_EQ(table->columnCount(), 4);
    EXPECT_EQ(table->rowCount(), 2);
    for (int column = 0; column < 4; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(table->columnDescription(column), headers[column]);
        QAccessibleInterface* const cell = table->cellAt(1, column);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->role(), QAccessible::Cell);
        EXPECT_EQ(cell->tableCellInterface()->columnIndex(), column);
        EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 1);
        EXPECT_EQ(list->indexOfChild(cell), 2 * 4 + column);
        EXPECT_EQ(cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
                  headers[column]);
    }
    EXPECT_EQ(table->cellAt(0, 4), nullptr);

    List().header()->setSortIndicator(3, Qt::AscendingOrder);  // by IP address
    EXPECT_EQ(children(), headers + second + first);
    EXPECT_TRUE(table->selectRow(1));
    EXPECT_EQ(List().SelectedRow(), 1);
    EXPECT_EQ(table->selectedRows(), QList<int>{1});
    EXPECT_TRUE(table->cellAt(1, 2)->state().selected);
    EXPECT_FALSE(table->cellAt(0, 2)->state().selected);
}

TEST_F(MainFormTest, TheListSortsByAddressAsNumbersBetweenCommandsAndCopiesTheSelectedRow) {
    CreateForm();
    form->show();
    AnswerDiscoveries(responder, {kFirst, kThird, kSecond});
    ClickButton("IMG_Refresh1");
    const auto ips = [this] {
        QStringList texts;
        for (int row = 0; row < List().RowCount(); ++row) texts << List().RowText(row, 3);
        return texts;
    };
    const QStringList arrival = {"192.168.0.101", "10.0.0.3", "192.168.0.102"};
    ASSERT_EQ(ips(), arrival);
    List().header()->setSortIndicator(3, Qt::AscendingOrder);  // what a click on "IP Address" does
    EXPECT_EQ(ips(), QStringList({"10.0.0.3", "192.168.0.101", "192.168.0.102"}));
    List().header()->setSortIndicator(4, Qt::DescendingOrder);
    EXPECT_EQ(ips(), QStringList({"192.168.0.101", "192.168.0.102", "10.0.0.3"}));

    // The next discovery lists the same devices, once each, in their order of arrival; while it
    // waits the header does not sort.
    bool clickable = true;
    responder.SetHandler([&](FakeNetwork& self, const Datagram& request) {
        clickable = List().header()->sectionsClickable();
        for (const FakeDevice& d : {kFirst, kThird, kSecond, kFirst})
            self.Reply(BuildAnswer(request.at(kOffsetSequence), 0, MacTextToBytes(d.mac).value(),
                                   DiscoveryElements(d.model, d.name, d.mac, d.ip, d.netmask)));
    });
    ClickButton("IMG_Refresh1");
    EXPECT_FALSE(clickable);
    EXPECT_TRUE(List().header()->sectionsClickable());
    EXPECT_EQ(ips(), arrival);

    List().setFocus();
    List().SelectRow(1);
    QTest::keyClick(&List(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(
        QGuiApplication::clipboard()->text(),
        "Device Name\tMAC Address\tIP Address\tNetmask\nStorage-3\t001122334403\t10.0.0.3\t255.0.0.0\n");
    QStringList entries;
    for (const QAction* action : List().actions()) entries << action->text();
    EXPECT_EQ(entries, QStringList({"&Copy", "&Export list..."}));
}

}  // namespace
