// Filling the device list from a synchronous discovery: rows gathered and appended in one go, the
// row layout kept between rows, and what an error in the middle leaves in the list.
#include "binding/OvNDCPRequest2Edits.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include <gtest/gtest.h>

#include "DiscoveryBindingFixture.h"
#include "device/DeviceProfile.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/FakeNetwork.h"

namespace {

struct Answer {
    std::string name;
    std::string mac;
};

// A binding whose PutResponse fails on the answer with the given position (from 1).
class FailingBinding : public OvNDCPRequest2Edits {
public:
    FailingBinding(QWidget* owner, int failAt) : OvNDCPRequest2Edits(owner), failAt_(failAt) {}
    void PutResponse(std::uint8_t command) override {
        if (++calls_ == failAt_) throw OvException("answer refused", -77);
        OvNDCPRequest2Edits::PutResponse(command);
    }

private:
    int failAt_;
    int calls_ = 0;
};

class RequestBindingFillTest : public DiscoveryBindingFixture {
protected:
    void SetUp() override {
        DiscoveryBindingFixture::SetUp();
        for (const char* caption : {"Module Name", "Device Name", "MAC Address", "IP Address", "Netmask"}) {
            listView->AddColumn(caption, 100);
        }
        responder->SetHandler([this](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
            for (const Answer& a : answers) {
                r.Reply(
                    BuildAnswer(request[kOffsetSequence], 0, {0, 0, 0, 0, 0, 0},
                                DiscoveryElements("KVX-770B", a.name, a.mac, "10.0.0.7", "255.255.255.0")));
            }
        });
    }

    void Configure(OvNDCPRequest2Edits& b, std::string_view hidden) {
        b.Asynchronous = 0;
        const NDCPVarDef defs[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                   {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        b.Request.Vars.AddDefinitions(defs);
        b.Request.Vars.Name = "Discovery Table";
        b.Request.Filter = "$0.0=KVX-770B";
        b.Request.Timeout = 30;
        b.BindListView(listView, hidden);
    }

    [[nodiscard]] QStringList Row(int row) const {
        QStringList texts;
        for (int c = 0; c < listView->ColumnCount(); ++c) texts << listView->RowText(row, c);
        return texts;
    }

    [[nodiscard]] std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int r = 0; r < listView->RowCount(); ++r)
            texts.push_back(listView->RowText(r, column).toStdString());
        return texts;
    }

    std::vector<Answer> answers;
};

std::string MacText(int device) {
    char text[13];
    std::snprintf(text, sizeof text, "0000000%05X", device);
    return text;
}

TEST_F(RequestBindingFillTest, LargeDiscoveryListsEveryDeviceOnceInOrderOfFirstAnswer) {
    // 400 answers; every fifth repeats the MAC address of an earlier device, under a new name.
    std::vector<std::string> expectedMacs;
    for (int i = 0; i < 400; ++i) {
        if (i % 5 == 4) {
            answers.push_back({"repeat " + std::to_string(i), MacText(i - 4)});
        } else {
            answers.push_back({"device " + std::to_string(i), MacText(i)});
            expectedMacs.push_back(MacText(i));
        }
    }
    binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
    Configure(*binding, "0.0");
    binding->Execute(kDiscoverCommand);
    EXPECT_EQ(Column(2), expectedMacs);
    ASSERT_EQ(listView->RowCount(), 320);
    EXPECT_EQ(Row(1), QStringList({"KVX-770B", "device 1", QString::fromStdString(MacText(1)), "10.0.0.7",
                                   "255.255.255.0"}));
}

TEST_F(RequestBindingFillTest, RowsBeforeAnErrorInTheMiddleStayListed) {
    answers = {{"first", MacText(1)}, {"second", MacText(2)}, {"third", MacText(3)}, {"fourth", MacText(4)}};
    binding = std::make_unique<FailingBinding>(window.get(), 3);
    Configure(*binding, "0.0");
    try {
        binding->Execute(kDiscoverCommand);
        FAIL() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), -77);
        EXPECT_STREQ(e.what(), "answer refused");
    }
    EXPECT_EQ(Column(1), (std::vector<std::string>{"first", "second"}));
}

TEST_F(RequestBindingFillTest, ChangedHiddenColumnsChangeTheLayoutOfLaterRows) {
    answers = {{"alpha", MacText(1)}, {"beta", MacText(2)}};
    binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
    Configure(*binding, "0.0");
    binding->Execute(kDiscoverCommand);
    EXPECT_EQ(Row(0), QStringList({"KVX-770B", "alpha", QString::fromStdString(MacText(1)), "10.0.0.7",
                                   "255.255.255.0"}));

    // Now the device name comes first; the MAC address moves, and the duplicate check with it.
    binding->HiddenColumns = {"0.1"};
    answers.push_back({"beta again", MacText(2)});
    binding->Execute(kDiscoverCommand);
    ASSERT_EQ(listView->RowCount(), 2);
    EXPECT_EQ(Row(0), QStringList({"alpha", "KVX-770B", QString::fromStdString(MacText(1)), "10.0.0.7",
                                   "255.255.255.0"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"alpha", "beta"}));
}

TEST_F(RequestBindingFillTest, RowsAddedBehindTheBindingsBackStillCountForDuplicates) {
    answers = {{"alpha", MacText(1)}, {"beta", MacText(2)}};
    binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
    Configure(*binding, "0.0");
    binding->Execute(kDiscoverCommand);
    // A row put in by hand, then an answer with its MAC address: the binding must see that row.
    listView->AppendRow({"KVX-770B", "by hand", QString::fromStdString(MacText(7)), "", ""});
    binding->Request.Vars.Var(0).Parts->Part(2).Value = MacText(7);
    binding->PutResponse(kDiscoverCommand);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"alpha", "beta", "by hand"}));
}

// The Set IP pair of plain variables, IP address 1.1.1.1 and netmask 255.0.0.0, read by Get rows.
void UsePlainAddresses(OvNDCPRequest2Edits& b) {
    b.Request.Vars.Clear();
    b.Request.Vars.AddDefinitions(kSetIPVarDefs);
    b.Request.Vars.Var(0).Value = "1.1.1.1";
    b.Request.Vars.Var(1).Value = "255.0.0.0";
}

TEST_F(RequestBindingFillTest, GetRowAfterTheLayoutShrankReadsOnlyItsOwnColumns) {
    answers = {{"alpha", MacText(1)}};
    binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
    Configure(*binding, "0.0");
    binding->Execute(kDiscoverCommand);  // the duplicate index now follows the MAC address, column 2
    UsePlainAddresses(*binding);         // two columns from now on
    binding->BeforeRequest(kGetCommand);
    binding->PutResponse(kGetCommand);
    ASSERT_EQ(listView->RowCount(), 1);
    EXPECT_EQ(Row(0).mid(0, 2), QStringList({"1.1.1.1", "255.0.0.0"}));
}

TEST_F(RequestBindingFillTest, SelectedRowGivesEachVariableTheColumnItWasListedIn) {
    binding = std::make_unique<OvNDCPRequest2Edits>(window.get());
    Configure(*binding, "1");  // the netmask column comes first
    UsePlainAddresses(*binding);
    binding->BeforeRequest(kGetCommand);
    binding->PutResponse(kGetCommand);
    EXPECT_EQ(Row(0).mid(0, 2), QStringList({"255.0.0.0", "1.1.1.1"}));
    binding->Request.Vars.Var(0).Value.clear();
    binding->Request.Vars.Var(1).Value.clear();
    listView->SelectRow(0);
    EXPECT_EQ(binding->Request.Vars.Var(0).Value, "1.1.1.1");
    EXPECT_EQ(binding->Request.Vars.Var(1).Value, "255.0.0.0");
}

}  // namespace
