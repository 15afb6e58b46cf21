// The Set IP command on the in-memory network, with the dialog driven by the test.
#include <chrono>

#include <gtest/gtest.h>

#include <optional>

#include "AppTestSupport.h"
#include "app/DottedText.h"
#include "app/TDLG_SetIP.h"
#include "device/AddressRules.h"
#include "device/PasswordCipher.h"

namespace {

const QStringList kRow = {"KVX-770B", "Storage-1", "001122334455", "192.168.0.101", "255.255.255.0"};

// What the user enters in the dialog, and how it is closed.
struct Entry {
    QString ip, netmask, password;
    int result = QDialog::Accepted;
};

class SetIPTest : public MainFormFixture {
protected:
    void SetUp() override {
        CreateForm();
        List().AppendRow(kRow);
        List().SelectRow(0);
        form->ShowStatus(QStringLiteral("before"));
    }

    // Runs Set IP with the entry typed in; the device answers a Set with the status, or not at all.
    void RunSetIP(const Entry& entry, std::optional<std::uint8_t> status) {
        responder.SetHandler([status](FakeNetwork& self, const Datagram& request) {
            if (status && CommandOf(request) == kSetCommand) {
                self.Reply(BuildAnswer(request.at(kOffsetSequence), *status, AnswerTargetMac(request), {}));
            }
        });
        form->SetModalRunner([this, entry](QDialog& shown) {
            auto& dialog = dynamic_cast<TDLG_SetIP&>(shown);
            dialogShowed = {
                DottedTextFromEdits(dialog.IPEdits()), DottedTextFromEdits(dialog.NetmaskEdits()),
                dialog.PasswordEdit().text() + (form->DLG_SetIP() == &dialog ? "" : "(not registered)")};
            SetEditsFromDottedText(entry.ip, dialog.IPEdits());
            SetEditsFromDottedText(entry.netmask, dialog.NetmaskEdits());
            dialog.PasswordEdit().setText(entry.password);
            return entry.result;
        });
        ClickButton("IMG_SetIP1");
        EXPECT_EQ(form->DLG_SetIP(), nullptr);
    }

    [[nodiscard]] std::vector<Datagram> SetRequests() const {
        std::vector<Datagram> sets;
        for (const Datagram& request : responder.Requests()) {
            if (CommandOf(request) == kSetCommand) sets.push_back(request);
        }
        return sets;
    }

    std::vector<QString> dialogShowed;  // what the dialog showed: address, netmask, password
};

bool Contains(const Datagram& datagram, const Datagram& bytes) {
    return std::search(datagram.begin(), datagram.end(), bytes.begin(), bytes.end()) != datagram.end();
}

TEST_F(SetIPTest, SuccessSendsOneSetToTheRowsMacWithTheEncryptedPasswordAndUpdatesTheRow) {
    for (const QString password : {"secret", ""}) {
        SCOPED_TRACE(password.toStdString());
        List().SetRowText(0, 3, QStringLiteral("192.168.0.101"));
        List().SetRowText(0, 4, QStringLiteral("255.255.255.0"));
        const std::size_t before = SetRequests().size();
        RunSetIP({"192.168.000.077", "255.255.0.0", password}, 0);
        EXPECT_EQ(dialogShowed, std::vector<QString>({"192.168.0.101", "255.255.255.0", ""}));
        ASSERT_EQ(SetRequests().size(), before + 1);
        const Datagram set = SetRequests().back();
        EXPECT_EQ(MacBytesToText(AnswerTargetMac(set)), "001122334455");
        EXPECT_TRUE(Contains(set, {192, 168, 0, 77}));  // leading zeros are not octal
        EXPECT_TRUE(Contains(set, {255, 255, 0, 0}));
        EXPECT_TRUE(
            AuthenticatedWith(set, EncryptAccessPassword(kAccessPasswordKey, password.toStdString())));
        EXPECT_EQ(RowTexts(0),
                  QStringList({"KVX-770B", "Storage-1", "001122334455", "192.168.0.77", "255.255.0.0"}));
        EXPECT_EQ(Status(), QStringLiteral("before"));
        EXPECT_TRUE(recorder.boxes.empty());
    }
}

TEST_F(SetIPTest, FailuresAndRefusalsGoToABoxAndTheStatusBarAndLeaveTheRow) {
    struct Case {
        const char* name;
        Entry entry;
        std::optional<std::uint8_t> status;
        const char* message;
        bool sent;
    };
    const Case cases[] = {
        {"wrong password", {"192.168.0.77", "255.255.0.0", "wrong"}, 1, "Password Error!", true},
        {"device refuses", {"192.168.0.77", "255.255.0.0", "secret"}, 2, "Not Done!", true},
        {"no answer", {"192.168.0.77", "255.255.0.0", "secret"}, std::nullopt, "Connection timeout!", true},
        {"empty address field", {"192.168..77", "255.255.0.0", "secret"}, 0, kIncompleteIpAddress, false},
        {"empty netmask field", {"192.168.0.77", "255.255.0.", "secret"}, 0, kIncompleteNetmask, false},
        {"number above 255", {"192.168.0.300", "255.255.0.0", "secret"}, 0, kAddressNumberOutOfRange, false},
        {"netmask with a hole", {"192.168.0.77", "255.0.255.0", "secret"}, 0, kNetmaskNotContiguous, false},
        {"cancel", {"10.0.0.1", "255.0.0.0", "secret", QDialog::Rejected}, 0, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.boxes.clear();
        form->ShowStatus(QStringLiteral("before"));
        const std::size_t before = SetRequests().size();
        RunSetIP(c.entry, c.status);
        EXPECT_EQ(SetRequests().size(), before + (c.sent ? 1 : 0));
        const QString message = c.message ? QString::fromLatin1(c.message) : QString();
        EXPECT_EQ(recorder.boxes, c.message ? std::vector<QString>{message} : std::vector<QString>{});
        EXPECT_EQ(Status(), c.message ? message : QStringLiteral("before"));
        EXPECT_EQ(RowTexts(0), kRow);
    }
}

TEST_F(SetIPTest, ARowWithABadMacIsReportedAndWithoutARowNothingHappens) {
    List().SetRowText(0, 2, QStringLiteral("0011"));
    RunSetIP({"10.0.0.1", "255.0.0.0", "secret"}, 0);
    EXPECT_EQ(recorder.boxes, std::vector<QString>{QStringLiteral("Bad MAC address!")});
    EXPECT_EQ(Status(), QStringLiteral("Bad MAC address!"));
    List().SelectRow(-1);
    form->ShowStatus(QStringLiteral("before"));
    dialogShowed.clear();
    RunSetIP({"10.0.0.1", "255.0.0.0", "secret"}, 0);
    EXPECT_TRUE(dialogShowed.empty());
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_TRUE(responder.Requests().empty());
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
    int closed = 0;
    QObject::connect(form.get(), &TMainForm::Closed, [&] { ++closed; });
    bool hiddenAtOnce = false;
    responder.Time().After(std::chrono::milliseconds(300), [&] {
        ClickButton("IMG_Refresh1");
        ClickButton("IMG_Exit2");
        hiddenAtOnce = !form->isVisible() && closed == 0;
    });
    RunSetIP({"192.168.0.77", "255.255.0.0", "secret"}, std::nullopt);
    EXPECT_EQ(responder.Requests().size(), 1u);  // the Set, no discovery
    EXPECT_EQ(RowTexts(0), kRow);                // a discovery would have emptied the list
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
    responder.SetHandler([](FakeNetwork& self, const Datagram& request) {
        const bool second = self.SentThrough().back().index == 3;
        const FakeDevice d =
            second ? FakeDevice{"KVX-770B", "Far", "001122334466", "192.168.1.50", "255.255.255.0"}
                   : FakeDevice{"KVX-770B", "Near", "001122334455", "192.168.0.101", "255.255.255.0"};
        self.Reply(BuildAnswer(request.at(kOffsetSequence), 0, MacTextToBytes(d.mac).value(),
                               DiscoveryElements(d.model, d.name, d.mac, d.ip, d.netmask)));
    });
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

    const std::size_t sent = responder.Requests().size();
    RunSetIP({"10.198.2.50", "255.255.255.0", "secret"}, 0);
    ASSERT_EQ(responder.Requests().size(), sent + 1);
    EXPECT_EQ(responder.SentThrough().back(), eth1);
    EXPECT_EQ(List().RowText(far, 3), QStringLiteral("10.198.2.50"));
    EXPECT_TRUE(List().Row(far)->toolTip(1).isEmpty());
    EXPECT_TRUE(List().Row(far)->icon(3).isNull());
}

}  // namespace
