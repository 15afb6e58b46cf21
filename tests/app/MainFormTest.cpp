// The main window's start-up, discovery, menu effects and the commands that open addresses.
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
    };
    CreateForm();
    responder.FailSendThrough(eth1.index);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        responder.SetAdapters(c.adapters);
        AnswerDiscoveries(responder, c.devices);
        ClickButton("IMG_Refresh1");
        EXPECT_EQ(Status(), QString::fromLatin1(c.status));
    }
}

TEST_F(MainFormTest, AFailedSetUpStaysOnTheStatusBarAndTheCommandsReportIt) {
    responder.FailOpen(true);
    form = std::make_unique<TMainForm>(nullptr, responder.Environment());
    form->SetShellOpener([this](const QString& text) { opened.push_back(text); });
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

TEST_F(MainFormTest, ManageAndDoubleClickOpenTheSelectedDevicesAddressAsItIs) {
    struct Case {
        const char* name;
        const char* ip;
        bool selected;
        std::vector<QString> manage, doubleClick;
    };
    const Case cases[] = {
        {"selected row", "192.168.0.5", true, {"http://192.168.0.5/"}, {"\\\\192.168.0.5"}},
        {"empty address", "", true, {"http:///"}, {"\\\\"}},
        {"no row selected", "192.168.0.5", false, {}, {}},
    };
    CreateForm();
    form->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List().ClearRows();
        List().AppendRow(
            {"KVX-770B", "Storage-1", "001122334401", QString::fromLatin1(c.ip), "255.255.255.0"});
        List().SelectRow(c.selected ? 0 : -1);
        form->ShowStatus(QStringLiteral("unchanged"));
        opened.clear();
        ClickButton("IMG_Manage2");
        EXPECT_EQ(opened, c.manage);
        opened.clear();
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, QPoint(300, 300));  // below the row
        EXPECT_EQ(opened, c.doubleClick);
        EXPECT_EQ(Status(), QStringLiteral("unchanged"));
    }
}

}  // namespace
