// The list writers through the discover command, on the in-memory network, with the names devices
// may send: the JSON is read back by Qt's parser and the CSV by the tests' RFC 4180 reader.
#include <sstream>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/CliHelp.h"
#include "cli/CliProgram.h"
#include "testkit/CsvRecords.h"
#include "testkit/FakeDevicesTest.h"

namespace {

struct HostileName {
    const char* what;
    std::string sent;      // the bytes the device sends
    std::string expected;  // the name as UTF-8
};

const std::vector<HostileName> kNames = {
    {"plain", "Storage-1", "Storage-1"},
    {"quotes and comma", "say \"hi\", then go", "say \"hi\", then go"},
    {"line breaks", "one\r\ntwo\nthree\r", "one\r\ntwo\nthree\r"},
    {"Latin-1 bytes", "\xE9t\xE9 \xA9 \xFF", "\xC3\xA9t\xC3\xA9 \xC2\xA9 \xC3\xBF"},
    {"valid UTF-8", "Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x98\x80"},
    {"terminal escape", "\x1B]0;owned\x07\x1B[31mred", "\x1B]0;owned\x07\x1B[31mred"},
    {"C1 and DEL",
     "a\x85"
     "b\x7F"
     "c\x9B",
     "a\xC2\x85"
     "b\x7F"
     "c\xC2\x9B"},
    {"overlong and cut UTF-8", "\xC0\xAF|\xE2\x82", "\xC3\x80\xC2\xAF|\xC3\xA2\xC2\x82"},
    {"surrogate bytes", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
    {"backslash and JSON", "C:\\dir\\\"x\"}, {", "C:\\dir\\\"x\"}, {"},
    {"line separators",
     "a\xE2\x80\xA8"
     "b\xE2\x80\xA9",
     "a\xE2\x80\xA8"
     "b\xE2\x80\xA9"},
    {"blanks at the ends", "  padded  ", "  padded  "},
    {"empty", "", ""},
    {"CSV formula", "=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0"},
};

std::string MacOf(std::size_t i) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("0011223344") + kDigits[i >> 4 & 0xF] + kDigits[i & 0xF];
}

class CliWritersTest : public FakeDevicesTest {
protected:
    void SetUp() override {
        FakeDevicesTest::SetUp();
        std::vector<FakeDevice> devices;
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            FakeDevice device;
            device.name = kNames[i].sent;
            device.mac = MacOf(i);
            device.ip = "192.168.0." + std::to_string(100 + i);
            devices.push_back(device);
        }
        StartWith(devices);
    }

    std::string Discover(ListFormat format) {
        DiscoverArguments arguments;
        arguments.format = format;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunDiscover(arguments, out, err), kExitDone) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    }
};

TEST_F(CliWritersTest, JsonKeepsEveryNameAndFieldForAParser) {
    const std::string text = Discover(ListFormat::Json);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    ASSERT_TRUE(document.isArray());
    const QJsonArray rows = document.array();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(kNames.size()));
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        SCOPED_TRACE(kNames[i].what);
        const QJsonObject row = rows[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(row.keys(), (QStringList{"adapter", "ip", "mac", "module", "name", "netmask"}));
        EXPECT_EQ(row["name"].toString().toStdString(), kNames[i].expected);
        EXPECT_EQ(row["mac"].toString().toStdString(), MacOf(i));
        EXPECT_EQ(row["ip"].toString().toStdString(), "192.168.0." + std::to_string(100 + i));
        EXPECT_EQ(row["netmask"].toString(), "255.255.255.0");
        EXPECT_EQ(row["module"].toString(), "KVX-770B");
        EXPECT_EQ(row["adapter"].toString(), "eth0");
    }
    // Nothing a terminal acts on is left raw.
    for (const char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST_F(CliWritersTest, CsvReadsBackRecordForRecord) {
    const auto records = ReadCsv(Discover(ListFormat::Csv));
    ASSERT_EQ(records.size(), kNames.size() + 1);
    EXPECT_EQ(records[0], (std::vector<std::string>{"name", "mac", "ip", "netmask", "module", "adapter"}));
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        SCOPED_TRACE(kNames[i].what);
        EXPECT_EQ(records[i + 1], (std::vector<std::string>{kNames[i].expected, MacOf(i),
                                                            "192.168.0." + std::to_string(100 + i),
                                                            "255.255.255.0", "KVX-770B", "eth0"}));
    }
}

TEST_F(CliWritersTest, TableHasOneAlignedLineADeviceAndNoControlCharacters) {
    const std::string text = Discover(ListFormat::Table);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), kNames.size() + 1);
    EXPECT_TRUE(lines[0].starts_with("Device Name")) << lines[0];
    // The MAC address column starts at the same character in every line.
    const auto column = [](const std::string& line, std::string_view needle) {
        const std::size_t bytes = line.find(needle);
        std::size_t characters = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            characters += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        return characters;
    };
    const std::size_t macColumn = column(lines[0], "MAC Address");
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        SCOPED_TRACE(kNames[i].what);
        EXPECT_EQ(column(lines[i + 1], MacOf(i)), macColumn) << lines[i + 1];
        EXPECT_TRUE(lines[i + 1].ends_with("255.255.255.0  eth0")) << lines[i + 1];
        for (const char c : lines[i + 1]) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
    }
    EXPECT_NE(text.find("\\x1B]0;owned\\x07\\x1B[31mred"), std::string::npos);
}

}  // namespace
