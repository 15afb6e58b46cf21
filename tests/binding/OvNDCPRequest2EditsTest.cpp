#include "binding/OvNDCPRequest2Edits.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QRegularExpression>
#include <QWidget>

#include <gtest/gtest.h>

#include "DiscoveryBindingFixture.h"
#include "UiRecorder.h"
#include "binding/OvMemo.h"
#include "binding/OvStatusBar.h"
#include "device/DeviceProfile.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/FakeNetwork.h"
#include "vars/VarTypes.h"

namespace {

struct Device {
    std::string model;
    std::string name;
    std::string mac;
};

const QRegularExpression kDiscoverSummary(
    QStringLiteral("^Discover:Ok!Request:Discovery Table\\.Receive at \\d\\d:\\d\\d:\\d\\d (AM|PM)\\.$"));

class RequestBindingTest : public DiscoveryBindingFixture {
protected:
    void SetUp() override {
        DiscoveryBindingFixture::SetUp();
        statusBar = new OvStatusBar(window.get());
        responder->SetHandler([this](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
            const std::uint8_t seq = request[kOffsetSequence];
            for (const Device& d : devices) {
                r.Reply(BuildAnswer(seq, 0, {0, 0, 0, 0, 0, 0},
                                    DiscoveryElements(d.model, d.name, d.mac, "10.0.0.7", "255.255.255.0")));
            }
        });
    }

    // The main window's discovery binding, on a list view with the given designed columns.
    void MakeBinding(const std::vector<std::pair<QString, int>>& designedColumns, std::uint8_t asynchronous) {
        for (const auto& [caption, width] : designedColumns) listView->AddColumn(caption, width);
        binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
        binding->Asynchronous = asynchronous;
        const NDCPVarDef defs[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                   {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        binding->Request.Vars.AddDefinitions(defs);
        binding->Request.Vars.Name = "Discovery Table";
        binding->Request.Filter = "$0.0=KVX-770B";
        binding->Request.Timeout = 30;
        binding->BindListView(listView, "0.0");
        binding->SetStatusControl(statusBar);
    }

    [[nodiscard]] std::vector<QStringList> Rows() const {
        std::vector<QStringList> rows;
        for (int r = 0; r < listView->RowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < listView->ColumnCount(); ++c) row << listView->RowText(r, c);
            rows.push_back(row);
        }
        return rows;
    }

    bool ProcessEventsUntil(const std::function<bool()>& condition, int limitMs) {
        return responder->Time().RunUntil(condition, std::chrono::milliseconds(limitMs));
    }

    OvStatusBar* statusBar = nullptr;
    std::vector<Device> devices;
};

const std::vector<std::pair<QString, int>> kDesignedColumns = {
    {"Module Name", 0}, {"Device Name", 120}, {"MAC Address", 120}, {"IP Address", 120}, {"Netmask", 100}};

TEST_F(RequestBindingTest, DiscoveryListsEachDeviceOfTheModelOnceInOrderOfArrival) {
    devices = {{"KVX-770B", "alpha", "000000000001"},
               {"KVX-550A", "other model", "000000000002"},
               {"KVX-770B", "beta", "000000000003"},
               {"KVX-770B", "alpha again", "000000000001"},
               {"x\"|y", "odd name that breaks the filter", "000000000004"},
               {"KVX-770B", "gamma", "000000000005"}};
    MakeBinding(kDesignedColumns, 0);
    listView->AppendRow({"stale", "row"});
    binding->Execute(kDiscoverCommand);

    const std::vector<QStringList> expected = {
        {"KVX-770B", "alpha", "000000000001", "10.0.0.7", "255.255.255.0"},
        {"KVX-770B", "beta", "000000000003", "10.0.0.7", "255.255.255.0"},
        {"KVX-770B", "gamma", "000000000005", "10.0.0.7", "255.255.255.0"},
    };
    EXPECT_EQ(Rows(), expected);
    // The designed columns are as many as the parts: they stay, with their widths.
    ASSERT_EQ(listView->ColumnCount(), 5);
    EXPECT_EQ(listView->ColumnWidth(0), 0);
    EXPECT_EQ(listView->ColumnWidth(1), 120);
    EXPECT_EQ(listView->ColumnCaption(2), "MAC Address");
    EXPECT_TRUE(kDiscoverSummary.match(statusBar->SimpleText()).hasMatch())
        << "[" << statusBar->SimpleText().toStdString() << "]";
}

TEST_F(RequestBindingTest, TooFewColumnsAreRebuiltInColumnOrderWithHiddenOnesAtWidthZero) {
    devices = {{"KVX-770B", "alpha", "000000000001"}};
    MakeBinding({{"only", 50}}, 0);
    binding->Execute(kDiscoverCommand);
    ASSERT_EQ(listView->ColumnCount(), 5);
    const QStringList captions = {"Module Name", "Device Name", "Mac Address", "IP Address", "Netmask"};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(listView->ColumnCaption(c), captions[c]);
    EXPECT_EQ(listView->ColumnWidth(0), 0);
    EXPECT_GE(listView->ColumnWidth(1), listView->HeaderTextWidth("Device Name"));
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(RequestBindingTest, MemoKeepsOneSummaryLinePerCommand) {
    MakeBinding(kDesignedColumns, 0);
    auto* memo = new OvMemo(window.get());
    binding->SetStatusControl(memo);
    binding->Execute(kDiscoverCommand);
    binding->Execute(kDiscoverCommand);
    ASSERT_EQ(memo->LineCount(), 2);
    for (const QString& line : memo->Lines()) EXPECT_TRUE(kDiscoverSummary.match(line).hasMatch());
}

TEST_F(RequestBindingTest, AsynchronousDiscoveryFillsTheListAndCountsItsCommand) {
    devices = {{"KVX-770B", "alpha", "000000000001"}, {"KVX-770B", "beta", "000000000002"}};
    MakeBinding(kDesignedColumns, 1);
    statusBar->SetSimpleText("before");
    binding->Execute(kDiscoverCommand);
    EXPECT_EQ(binding->PendingCount(), 1u);
    ASSERT_TRUE(ProcessEventsUntil([&] { return binding->PendingCount() == 0; }, 2000));
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_EQ(statusBar->SimpleText(), "before");  // an asynchronous discovery shows no summary
}

TEST_F(RequestBindingTest, FailedSendLeavesNothingPending) {
    MakeBinding(kDesignedColumns, 1);
    binding->Request.Device.MacAddress = "12345";
    EXPECT_THROW(binding->Execute(kDiscoverCommand), OvException);
    EXPECT_EQ(binding->PendingCount(), 0u);
}

TEST_F(RequestBindingTest, ABindingThatOutlivesTheClientDoesNotWaitForAnswersThatCannotCome) {
    MakeBinding(kDesignedColumns, 1);
    responder->SetHandler({});
    binding->Execute(kDiscoverCommand);
    ASSERT_EQ(binding->PendingCount(), 1u);
    ClientInstance()->SetDestructionWait(std::chrono::milliseconds(0));
    delete ClientInstance();
    const auto start = std::chrono::steady_clock::now();
    binding.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(RequestBindingTest, SynchronousGetPutsOnlyAnAnswerThatPassesTheFilterYetAlwaysShowsItsSummary) {
    const QRegularExpression getSummary(
        QStringLiteral("^Get:Ok!Request:Discovery Table\\.Receive at \\d\\d:\\d\\d:\\d\\d (AM|PM)\\.$"));
    std::string model;
    responder->SetHandler([&model](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
        const MacBytes target = {request[28], request[29], request[30],
                                 request[31], request[32], request[33]};
        r.Reply(BuildAnswer(request[kOffsetSequence], 0, target,
                            DiscoveryElements(model, "gamma", "000000000003", "10.0.0.3", "255.0.0.0")));
    });
    MakeBinding(kDesignedColumns, 0);
    for (const auto& [answeringModel, rows] : {std::pair{"KVX-770B", 1u}, std::pair{"KVX-999", 0u}}) {
        SCOPED_TRACE(answeringModel);
        model = answeringModel;
        statusBar->SetSimpleText("before");
        binding->Execute(kGetCommand);
        EXPECT_EQ(Rows().size(), rows);
        EXPECT_TRUE(getSummary.match(statusBar->SimpleText()).hasMatch());
    }
}

TEST_F(RequestBindingTest, SelectionHandlerIsChainedAndGivenBackOnDestruction) {
    devices = {{"KVX-770B", "alpha", "000000000001"}};
    int earlierCalls = 0;
    listView->SetOnSelectItem([&](OvListView&, QTreeWidgetItem*, bool) { ++earlierCalls; });
    MakeBinding(kDesignedColumns, 0);
    binding->Execute(kDiscoverCommand);
    listView->SelectRow(0);
    EXPECT_EQ(earlierCalls, 1);
    binding.reset();
    listView->SelectRow(-1);
    EXPECT_EQ(earlierCalls, 2);  // the handler that was there before the binding, and only it
}

TEST_F(RequestBindingTest, AsynchronousGetFailureGoesToTheStatusControlOrAMessageBox) {
    const NDCPVarDef defs[] = {{3, "IP Address", kIpAddress, kReadable, nullptr, nullptr, nullptr},
                               {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
    const QRegularExpression timeoutSummary(QStringLiteral(
        "^Get:Connection timeout!Request:Settings\\.Receive at \\d\\d:\\d\\d:\\d\\d (AM|PM)\\.$"));
    for (const bool withStatus : {true, false}) {
        SCOPED_TRACE(withStatus ? "status bar" : "message box");
        UiRecorder recorder;
        OvNDCPRequest2Edits get(window.get());
        get.Request.Vars.AddDefinitions(defs);
        get.Request.Vars.Name = "Settings";
        get.Request.Device.MacAddress = "001122334455";
        get.Request.Timeout = 5;
        if (withStatus) get.SetStatusControl(statusBar);
        get.Execute(kGetCommand);
        ASSERT_TRUE(ProcessEventsUntil([&] { return get.PendingCount() == 0; }, 2000));
        if (withStatus) {
            EXPECT_TRUE(timeoutSummary.match(statusBar->SimpleText()).hasMatch());
            EXPECT_TRUE(recorder.boxes.empty());
        } else {
            ASSERT_EQ(recorder.boxes.size(), 1u);
            EXPECT_EQ(recorder.boxes[0].text, "Connection timeout!");
        }
    }
}

}  // namespace
