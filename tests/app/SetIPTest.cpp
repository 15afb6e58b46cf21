// The Set IP command on the in-memory network, the dialog typed into as a person does.
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <chrono>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/DottedText.h"
#include "app/TDLG_SetIP.h"
#include "device/AddressRules.h"
#include "device/PasswordCipher.h"
#include "testkit/Typing.h"

namespace {

const FakeDevice kDevice = {"KVX-770B", "Storage-1", "001122334455", "192.168.0.101", "255.255.255.0"};
const QStringList kRow = {"KVX-770B", "Storage-1", "001122334455", "192.168.0.101", "255.255.255.0"};
// The adapter that hears the device: 192.168.0.10/16, so that 192.168.1.x needs no question.
const NetworkAdapter kEth0{"eth0", 2, 0xC0A8000A, 16};
constexpr int kPasswordField = 8;

QString NowAnswersAt(const QString& address, const QString& netmask) {
    return QStringLiteral("The device now answers at %1 (netmask %2).").arg(address, netmask);
}

class SetIPTest : public MainFormFixture {
protected:
    void SetUp() override {
        CreateForm();
        responder.SetAdapters({kEth0});
        ServeDevices(responder, devices);
        ClickButton("IMG_Refresh1");  // the row learns the adapter that heard the device
        ASSERT_EQ(RowTexts(0), kRow);
        List().SelectRow(0);
        form->ShowStatus(QStringLiteral("before"));
    }

    // Opens Set IP and runs the script in the shown dialog as the user. A dialog the script leaves
    // open is cancelled, and leftOpen says so.
    void RunSetIP(const std::function<void(TDLG_SetIP&)>& script) {
        leftOpen = false;
        form->SetModalRunner([this, &script](QDialog& shown) {
            auto& dialog = dynamic_cast<TDLG_SetIP&>(shown);
            EXPECT_EQ(form->DLG_SetIP(), &dialog);
            dialog.show();
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            script(dialog);
            leftOpen = dialog.isVisible();
            if (leftOpen) dialog.reject();
            return dialog.result();
        });
        ClickButton("IMG_SetIP1");
        EXPECT_EQ(form->DLG_SetIP(), nullptr);
    }
    void Type(QStringView keys) {
        RunSetIP([keys](TDLG_SetIP&) { ASSERT_TRUE(TypeAsPerson(keys)); });
    }

    [[nodiscard]] std::vector<Datagram> Sent(std::uint8_t command) const {
        std::vector<Datagram> sent;
        for (const Datagram& request : responder.Requests()) {
            if (CommandOf(request) == command) sent.push_back(request);
        }
        return sent;
    }
    // The eight address fields and the password.
    static QStringList Fields(const TDLG_SetIP& dialog) {
        QStringList texts;
        for (const auto* row : {&dialog.IPEdits(), &dialog.NetmaskEdits()}) {
            for (const OvEdit* edit : *row) texts << edit->text();
        }
        return texts << dialog.PasswordEdit().text();
    }
    static OvEdit* Field(const TDLG_SetIP& dialog, int field) {
        if (field == kPasswordField) return &dialog.PasswordEdit();
        const auto& row = field < kNetmaskFirstField ? dialog.IPEdits() : dialog.NetmaskEdits();
        return row.at(static_cast<std::size_t>(field % kNetmaskFirstField));
    }
    // Checks the one Set sent since `before` requests: its target, addresses and password.
    void ExpectSet(std::size_t before, const std::string& address, const std::string& netmask,
                   const std::string& password) {
        const std::vector<Datagram> sets = Sent(kSetCommand);
        ASSERT_EQ(sets.size(), before + 1);
        EXPECT_EQ(MacBytesToText(AnswerTargetMac(sets.back())), kDevice.mac);
        EXPECT_EQ(SetAddresses(sets.back()), std::make_pair(address, netmask));
        EXPECT_TRUE(AuthenticatedWith(sets.back(), EncryptAccessPassword(kAccessPasswordKey, password)));
    }

    std::vector<SimDevice> devices{{kDevice}};
    bool leftOpen = false;
};

TEST_F(SetIPTest, TypedAsPeopleTypeTheAddressIsSentAsTypedAndTheDeviceFoundThere) {
    const struct {
        const char16_t* typed;
        const char* address;
        const char* netmask;
        const char* password;
    } cases[] = {
        {u"192.168.1.10\t255.255.0.0\tsecret\n", "192.168.1.10", "255.255.0.0", "secret"},
        {u"192.168.7.21\t255.255.255.0\t\n", "192.168.7.21", "255.255.255.0", ""},  // Enter from the password
        {u"192.168.000.077\n", "192.168.0.77", "255.255.255.0", ""},  // Enter from a field; no octal
        {u"192.168.0.177\t255.255.255.128\tsecret\n", "192.168.0.177", "255.255.255.128", "secret"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const std::size_t before = Sent(kSetCommand).size();
        Type(c.typed);
        EXPECT_FALSE(leftOpen);
        ExpectSet(before, c.address, c.netmask, c.password);
        EXPECT_EQ(responder.SentThrough().back(), kEth0);  // the search went where the Set went
        EXPECT_EQ(CommandOf(responder.Requests().back()), kDiscoverCommand);
        EXPECT_EQ(RowTexts(0), QStringList({"KVX-770B", "Storage-1", "001122334455", c.address, c.netmask}));
        EXPECT_EQ(Status(), NowAnswersAt(c.address, c.netmask));
        EXPECT_TRUE(recorder.boxes.empty());
        EXPECT_TRUE(recorder.questions.empty());
    }
}

TEST_F(SetIPTest, ThePasswordFieldStartsEmptyAndEscCancelsFromAnyField) {
    for (const char16_t* typed : {u"\x1b", u"10.0\x1b", u"\t\t\t\t\t\tsecret\x1b"}) {
        RunSetIP([typed](TDLG_SetIP& dialog) {
            EXPECT_EQ(Fields(dialog), QStringList({"192", "168", "0", "101", "255", "255", "255", "0", ""}));
            EXPECT_EQ(QApplication::focusWidget(), dialog.IPEdits().front());
            ASSERT_TRUE(TypeAsPerson(typed));
        });
        EXPECT_FALSE(leftOpen);
    }
    EXPECT_TRUE(Sent(kSetCommand).empty());
    EXPECT_EQ(RowTexts(0), kRow);
    EXPECT_EQ(Status(), QStringLiteral("before"));
}

TEST_F(SetIPTest, ADottedAddressPastedIntoAnyFieldFillsItsRow) {
    RunSetIP([](TDLG_SetIP& dialog) {
        QGuiApplication::clipboard()->setText(QStringLiteral("192.168.3.4"));
        dialog.IPEdits()[2]->setFocus();
        ASSERT_TRUE(TypeAsPerson(u"\x16"));
        EXPECT_EQ(QApplication::focusWidget(), dialog.IPEdits()[3]);  // Tab goes on to the netmask
        QGuiApplication::clipboard()->setText(QStringLiteral(" 255. 255 .0. 0\n"));
        ASSERT_TRUE(TypeAsPerson(u"\t\t\x16"));
        EXPECT_EQ(Fields(dialog), QStringList({"192", "168", "3", "4", "255", "255", "0", "0", ""}));
        ASSERT_TRUE(TypeAsPerson(u"\tsecret\n"));
    });
    EXPECT_FALSE(leftOpen);
    ExpectSet(0, "192.168.3.4", "255.255.0.0", "secret");
}

// OK with what may not be sent: the box says why, and the dialog stays open with every field as
// typed and the focus on the first field to correct.
TEST_F(SetIPTest, EachRefusalKeepsTheDialogOpenAsTypedAndPointsAtTheField) {
    const struct {
        const char16_t* typed;
        std::string message;
        int field;
    } cases[] = {
        {u"0.0.0.0\t0.0.0.0", kAddressBeginsWithZero, 0},
        {u"127.0.0.1", kAddressIsLoopback, 0},
        {u"224.1.2.3", kAddressIsMulticastOrReserved, 0},
        {u"192.168.1.\b", kIncompleteIpAddress, 3},
        {u"192.168.1.10\t255.0.255.0", kNetmaskNotContiguous, 6},
        {u"192.168.1.10\t255.255.255.255", kNetmaskAllOnes, 7},
        {u"192.168.1.10\t0.0.0.0", kNetmaskAllZeros, 4},
        {u"192.168.0.255",
         "192.168.0.255 is the broadcast address of the network 192.168.0.0/24 (under the netmask "
         "255.255.255.0), not one a device can use!",
         3},
        {u"192.168.1.10\t\t\t\t\t5\u20ac",
         "The access password cannot contain \"\u20ac\" (U+20AC): only characters of the Latin-1 set can be "
         "sent to the device!",
         kPasswordField},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        recorder.boxes.clear();
        RunSetIP([&c](TDLG_SetIP& dialog) {
            ASSERT_TRUE(TypeAsPerson(c.typed));
            const QStringList typed = Fields(dialog);
            ASSERT_TRUE(TypeAsPerson(u"\n"));
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(Fields(dialog), typed);
            EXPECT_EQ(QApplication::focusWidget(), Field(dialog, c.field));
        });
        EXPECT_TRUE(leftOpen);
        EXPECT_EQ(recorder.boxes, std::vector<QString>{QString::fromStdString(c.message)});
    }
    EXPECT_TRUE(Sent(kSetCommand).empty());
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_EQ(RowTexts(0), kRow);
}

TEST_F(SetIPTest, ANumberRejectedOnLeavingItsFieldGivesBackTheDevicesNumber) {
    RunSetIP([](TDLG_SetIP& dialog) {
        ASSERT_TRUE(TypeAsPerson(u"999"));  // full: the focus moves on, which checks the field
        EXPECT_EQ(Fields(dialog).front(), "192");
        EXPECT_EQ(QApplication::focusWidget(), dialog.IPEdits().front());
    });
    EXPECT_EQ(recorder.boxes,
              std::vector<QString>{QStringLiteral("Please enter a number between 0 and 255!")});
}

TEST_F(SetIPTest, AnAddressOutsideTheAdaptersNetworkIsSentOnlyAfterYes) {
    const QString question = QStringLiteral(
        "The new address 10.0.0.5 lies outside the network of eth0 (192.168.0.0/16), the adapter through "
        "which "
        "this PC reaches the device. After the change this PC will not reach the device; it would reach it "
        "at "
        "an address in 192.168.0.0/16 through eth0.\n\nSend the new address anyway?");
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        recorder.answer = yes;
        recorder.questions.clear();
        RunSetIP([yes](TDLG_SetIP& dialog) {
            ASSERT_TRUE(TypeAsPerson(u"10.0.0.5\t255.0.0.0\tsecret\n"));
            if (yes) return;
            EXPECT_EQ(Fields(dialog), QStringList({"10", "0", "0", "5", "255", "0", "0", "0", "secret"}));
            EXPECT_EQ(QApplication::focusWidget(), dialog.IPEdits().front());
        });
        EXPECT_EQ(recorder.questions, std::vector<QString>{question});
        EXPECT_EQ(leftOpen, !yes);
    }
    ExpectSet(0, "10.0.0.5", "255.0.0.0", "secret");
    EXPECT_EQ(responder.SentThrough().back(), kEth0);
    EXPECT_EQ(List().RowText(0, 3), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(Status(), NowAnswersAt("10.0.0.5", "255.0.0.0"));
    EXPECT_FALSE(List().Row(0)->icon(3).isNull());  // marked: out of this PC's reach
}

// A Set the device answers late or never: found at the new address, it took effect; found
// elsewhere or not at all, the time-out stands. While the search runs, commands are ignored.
TEST_F(SetIPTest, AfterATimeOutTheDeviceIsLookedForAtItsNewAddress) {
    const struct {
        const char* name;
        std::optional<std::uint8_t> status;
        bool applies;
        bool took;
    } cases[] = {
        {"answered after the time-out", 0, true, true},
        {"changed without an answer", std::nullopt, true, true},
        {"unchanged without an answer", std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        devices = {{kDevice, 0, c.status, 1500, c.applies}};
        recorder.boxes.clear();
        form->ShowStatus(QStringLiteral("before"));
        const std::size_t requests = responder.Requests().size();
        QString during;
        responder.Time().After(std::chrono::milliseconds(1200), [&] {
            during = Status();
            ClickButton("IMG_Refresh1");
        });
        Type(u"192.168.1.10\t255.255.0.0\tsecret\n");
        EXPECT_EQ(during, "Connection timeout! Checking that the device answers at 192.168.1.10...");
        ASSERT_EQ(responder.Requests().size(), requests + 2);  // the Set and the search, no Refresh
        if (c.took) {
            EXPECT_EQ(Status(),
                      "The change took effect although the device did not confirm it: it now answers at "
                      "192.168.1.10 (netmask 255.255.0.0).");
            EXPECT_EQ(List().RowText(0, 3), "192.168.1.10");
            EXPECT_TRUE(recorder.boxes.empty());
        } else {
            EXPECT_EQ(Status(), "Connection timeout!");
            EXPECT_EQ(recorder.boxes, std::vector<QString>{QStringLiteral("Connection timeout!")});
            EXPECT_EQ(RowTexts(0), kRow);
        }
        devices = {{kDevice}};
        List().SetRowText(0, 3, QString::fromStdString(kDevice.ip));
        List().SetRowText(0, 4, QString::fromStdString(kDevice.netmask));
    }
}

TEST_F(SetIPTest, ADeviceThatAcceptsButCannotBeFoundAgainIsSaidSo) {
    devices[0].silentAfterSet = true;
    Type(u"192.168.1.10\t255.255.0.0\tsecret\n");
    EXPECT_EQ(List().RowText(0, 3), "192.168.1.10");  // as the device confirmed it
    EXPECT_EQ(Status(),
              "The device accepted 192.168.1.10 but did not answer there within a second; Refresh shows "
              "where it is.");
}

TEST_F(SetIPTest, FailuresGoToABoxAndTheStatusBarAndLeaveTheRow) {
    const struct {
        const char* name;
        std::optional<std::uint8_t> status;
        const char* message;
    } cases[] = {
        {"wrong password", 1, "Password Error!"},
        {"device refuses", 2, "Not Done!"},
        {"no answer", std::nullopt, "Connection timeout!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        devices[0].setStatus = c.status;
        recorder.boxes.clear();
        form->ShowStatus(QStringLiteral("before"));
        Type(u"192.168.0.77\t255.255.0.0\tsecret\n");
        EXPECT_EQ(recorder.boxes, std::vector<QString>{QString::fromLatin1(c.message)});
        EXPECT_EQ(Status(), QString::fromLatin1(c.message));
        EXPECT_EQ(RowTexts(0), kRow);
    }
    EXPECT_EQ(Sent(kSetCommand).size(), 3u);
}

TEST_F(SetIPTest, ARowWithABadMacIsReportedAndWithoutARowNothingHappens) {
    List().SetRowText(0, 2, QStringLiteral("0011"));
    Type(u"192.168.0.77\n");
    EXPECT_EQ(recorder.boxes, std::vector<QString>{QStringLiteral("Bad MAC address!")});
    EXPECT_EQ(Status(), QStringLiteral("Bad MAC address!"));
    List().SelectRow(-1);
    form->ShowStatus(QStringLiteral("before"));
    bool shown = false;
    RunSetIP([&shown](TDLG_SetIP&) { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_TRUE(Sent(kSetCommand).empty());
}

TEST_F(SetIPTest, TakingThePasswordEmptiesTheFieldAndWhatItsConstraintRemembered) {
    TDLG_SetIP dialog(form.get());
    OvEdit& edit = dialog.PasswordEdit();
    edit.setText(QStringLiteral("secret"));
    dialog.EditConstraint()->EditExit(edit);  // leaving the field makes its text the accepted one
    ASSERT_EQ(dialog.EditConstraint()->FindEntry(&edit)->LastText, QStringLiteral("secret"));
    EXPECT_EQ(dialog.TakePassword(), QStringLiteral("secret"));
    EXPECT_EQ(edit.text(), QString());
    EXPECT_EQ(dialog.EditConstraint()->FindEntry(&edit)->LastText, QString());
}

TEST_F(SetIPTest, WhileTheSetWaitsRefreshIsIgnoredAndExitEndsAfterItWithoutABox) {
    form->show();
    devices[0].setStatus = std::nullopt;
    int closed = 0;
    QObject::connect(form.get(), &TMainForm::Closed, [&] { ++closed; });
    bool hiddenAtOnce = false;
    responder.Time().After(std::chrono::milliseconds(300), [&] {
        ClickButton("IMG_Refresh1");
        ClickButton("IMG_Exit2");
        hiddenAtOnce = !form->isVisible() && closed == 0;
    });
    const std::size_t requests = responder.Requests().size();
    Type(u"192.168.0.77\n");
    EXPECT_EQ(responder.Requests().size(), requests + 1);  // the Set: no discovery, no search
    EXPECT_EQ(RowTexts(0), kRow);
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(Status(), QStringLiteral("Connection timeout!"));
}

// A device heard on a second adapter at an address outside that adapter's network: marked, still
// opened, and re-addressed through that adapter alone.
TEST_F(SetIPTest, ADeviceOutsideItsAdaptersNetworkIsMarkedAndSetThroughThatAdapterAlone) {
    const NetworkAdapter eth1{"eth1", 3, 0x0AC60201, 24};  // 10.198.2.1/24
    responder.SetAdapters({FakeNetwork::FirstAdapter(), eth1});
    devices = {{{"KVX-770B", "Near", "001122334455", "192.168.0.101", "255.255.255.0"}, 2},
               {{"KVX-770B", "Far", "001122334466", "192.168.1.50", "255.255.255.0"}, 3}};
    ClickButton("IMG_Refresh1");
    ASSERT_EQ(List().RowCount(), 2);
    const int far = List().RowText(0, 1) == "Far" ? 0 : 1;
    const QString reason = QStringLiteral(
        "192.168.1.50 is outside this PC's network on eth1 (10.198.2.0/24). Use Set IP to give it an address "
        "in "
        "that network.");
    EXPECT_EQ(List().Row(far)->toolTip(1), reason);
    EXPECT_FALSE(List().Row(far)->icon(3).isNull());
    EXPECT_TRUE(List().Row(1 - far)->toolTip(1).isEmpty());
    EXPECT_TRUE(List().Row(1 - far)->icon(3).isNull());

    List().SelectRow(far);
    ClickButton("IMG_Manage1");
    EXPECT_EQ(opened.back(), QStringLiteral("http://192.168.1.50/"));
    EXPECT_EQ(Status(), reason);
    desktopOpens = false;  // both reasons, the failure first
    ClickButton("IMG_Manage1");
    EXPECT_EQ(Status(), "The desktop could not open http://192.168.1.50/. " + reason);

    const std::size_t sent = responder.Requests().size();
    Type(u"10.198.2.50\t255.255.255.0\tsecret\n");
    EXPECT_TRUE(recorder.questions.empty());           // inside eth1's network
    ASSERT_EQ(responder.Requests().size(), sent + 2);  // the Set and the search, both through eth1
    EXPECT_EQ(responder.SentThrough()[sent], eth1);
    EXPECT_EQ(responder.SentThrough()[sent + 1], eth1);
    EXPECT_EQ(List().RowText(far, 3), QStringLiteral("10.198.2.50"));
    EXPECT_TRUE(List().Row(far)->toolTip(1).isEmpty());
    EXPECT_TRUE(List().Row(far)->icon(3).isNull());
}

}  // namespace
