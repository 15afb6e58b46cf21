// Discovery and Set IP against the device simulator bound to 127.0.0.1 on a free port: a Set
// changes what the next discovery reports.
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/DottedText.h"
#include "testkit/EventLoopWait.h"
#include "app/TDLG_SetIP.h"

namespace {

class SimulatorFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator.start(QStringLiteral(NDCP_SIM_PATH), {"--bind", "127.0.0.1", "--port", "0", "--devices",
                                                        "2", "--password", "admin", "--quiet"});
        const QRegularExpression listening(QStringLiteral("ev=listening .*port=(\\d+)"));
        QString log;
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                simulator.waitForReadyRead(50);
                log += QString::fromUtf8(simulator.readAllStandardError());
                return listening.match(log).hasMatch();
            },
            5000))
            << log.toStdString();
        const auto port = static_cast<std::uint16_t>(listening.match(log).captured(1).toUInt());
        NetworkSetting() = NDCPNetworkSetting{"127.0.0.1", port, port, "127.0.0.1"};
        form = std::make_unique<TMainForm>();
        form->InitialTimer().stop();
        form->DeviceListBinding()->Request.Timeout = 30;
    }
    void TearDown() override {
        form.reset();
        NetworkSetting() = saved;
        simulator.kill();
        simulator.waitForFinished(5000);
    }

    void SetIP(const QString& device, const QString& ip, const QString& password) {
        List().SelectRow(RowOf(device));
        form->SetModalRunner([&](QDialog& shown) {
            auto& dialog = dynamic_cast<TDLG_SetIP&>(shown);
            SetEditsFromDottedText(ip, dialog.IPEdits());
            SetEditsFromDottedText(QStringLiteral("255.255.0.0"), dialog.NetmaskEdits());
            dialog.PasswordEdit().setText(password);
            return static_cast<int>(QDialog::Accepted);
        });
        Click(Child<PictureBox>(*form, "IMG_SetIP1"));
    }
    void Refresh() const { Click(Child<PictureBox>(*form, "IMG_Refresh1")); }
    [[nodiscard]] OvListView& List() const { return Child<OvListView>(*form, "LV_DeviceList"); }
    [[nodiscard]] int RowOf(const QString& name) const {
        for (int row = 0; row < List().RowCount(); ++row) {
            if (List().RowText(row, 1) == name) return row;
        }
        return -1;
    }
    [[nodiscard]] QString AddressOf(const QString& name) const { return List().RowText(RowOf(name), 3); }

    const NDCPNetworkSetting saved = NetworkSetting();
    QProcess simulator;
    BoxRecorder recorder;
    std::unique_ptr<TMainForm> form;
};

TEST_F(SimulatorFlowTest, ASetIPShowsAtOnceAndInTheNextDiscovery) {
    Refresh();
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.0.101"));

    SetIP("Storage-1", QStringLiteral("192.168.7.201"), QStringLiteral("admin"));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.7.201"));
    SetIP("Storage-2", QStringLiteral("10.0.0.2"), QStringLiteral("guess"));
    EXPECT_EQ(recorder.boxes, std::vector<QString>{QStringLiteral("Password Error!")});

    Refresh();
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.7.201"));
    EXPECT_EQ(List().RowText(RowOf("Storage-1"), 4), QStringLiteral("255.255.0.0"));
    EXPECT_EQ(AddressOf("Storage-2"), QStringLiteral("192.168.0.102"));
}

}  // namespace
