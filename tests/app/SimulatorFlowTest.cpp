// Discovery and Set IP against the device simulator bound to 127.0.0.1 on a free port: a Set
// changes what the next discovery reports, and misbehaving devices are listed once.
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/DottedText.h"
#include "app/TDLG_SetIP.h"
#include "testkit/ScopedNetworkSetting.h"
#include "testkit/SimulatorProcess.h"

namespace {

class SimulatorFlowTest : public ::testing::Test {
protected:
    // Runs the simulator with the options and opens the window on it.
    void Start(const QStringList& options) {
        simulator = std::make_unique<SimulatorProcess>(QStringLiteral(NDCP_SIM_PATH), options);
        ASSERT_TRUE(simulator->Started()) << simulator->Error();
        network.emplace(LoopbackSetting(simulator->Port()));
        form = std::make_unique<TMainForm>();
        form->InitialTimer().stop();
        form->DeviceListBinding()->Request.Timeout = 30;
    }
    void TearDown() override { form.reset(); }

    void SetIP(const QString& device, const QString& ip, const QString& password) {
        List().SelectRow(RowOf(device));
        form->SetModalRunner([&](QDialog& shown) {
            auto& dialog = dynamic_cast<TDLG_SetIP&>(shown);
            SetEditsFromDottedText(ip, dialog.IPEdits());
            SetEditsFromDottedText(QStringLiteral("255.255.0.0"), dialog.NetmaskEdits());
            dialog.PasswordEdit().setText(password);
            dialog.accept();
            return dialog.result();
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

    std::unique_ptr<SimulatorProcess> simulator;
    std::optional<ScopedNetworkSetting> network;
    BoxRecorder recorder;
    std::unique_ptr<TMainForm> form;
};

TEST_F(SimulatorFlowTest, ASetIPShowsAtOnceAndInTheNextDiscovery) {
    Start({"--devices", "2", "--password", "admin", "--quiet"});
    Refresh();
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.0.101"));

    SetIP("Storage-1", QStringLiteral("192.168.7.201"), QStringLiteral("admin"));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.7.201"));
    // Found again by its MAC address among the simulator's devices.
    EXPECT_EQ(Child<OvStatusBar>(*form, "StatusBar").SimpleText(),
              QStringLiteral("The device now answers at 192.168.7.201 (netmask 255.255.0.0)."));
    SetIP("Storage-2", QStringLiteral("10.0.0.2"), QStringLiteral("guess"));
    EXPECT_EQ(recorder.boxes, std::vector<QString>{QStringLiteral("Password Error!")});

    Refresh();
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(AddressOf("Storage-1"), QStringLiteral("192.168.7.201"));
    EXPECT_EQ(List().RowText(RowOf("Storage-1"), 4), QStringLiteral("255.255.0.0"));
    EXPECT_EQ(AddressOf("Storage-2"), QStringLiteral("192.168.0.102"));
}

TEST_F(SimulatorFlowTest, DevicesAreListedOncePerMacAddressDespiteMisbehaviour) {
    Start({"--devices", "3", "--other-models", "2", "--twice", "--malformed=all"});
    Refresh();
    ASSERT_EQ(List().RowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const QString n = QString::number(row + 1);
        const QStringList expected = {"KVX-770B", "Storage-" + n, "00112233440" + n, "192.168.0.10" + n,
                                      "255.255.255.0"};
        QStringList shown;
        for (int column = 0; column < 5; ++column) shown << List().RowText(row, column);
        EXPECT_EQ(shown, expected);
    }
}

}  // namespace
