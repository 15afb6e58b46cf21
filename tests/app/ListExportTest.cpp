// Exporting the device list from its context menu: what the files hold read back by a CSV and a
// JSON reader, which file and format a choice gives, and the failures that leave nothing behind.
#include <unistd.h>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "testkit/CsvRecords.h"

namespace {

using Records = std::vector<std::vector<std::string>>;

// A name with quotes, commas and bytes above 0x7F (UTF-8 "ü" and a cup of coffee).
const FakeDevice kQuoted{"KVX-770B", "say \"hi\", B\xC3\xBCro \xE2\x98\x95, 2", "001122334402", "10.0.0.2",
                         "255.0.0.0"};
// A name in Latin-1 ("café"), as a device may send it: written out as UTF-8, as the command line does.
const FakeDevice kPlain{"KVX-770B", "Storage-1 caf\xE9", "001122334401", "192.168.0.101", "255.255.255.0"};
const QString kCsv = QStringLiteral("CSV (*.csv)");
const QString kJson = QStringLiteral("JSON (*.json)");

// The file's records, the header first, in the order the list shows after sorting by address.
const Records kExpected = {
    {"name", "mac", "ip", "netmask", "module", "adapter"},
    {kQuoted.name, kQuoted.mac, kQuoted.ip, kQuoted.netmask, "KVX-770B", "eth0"},
    {"Storage-1 caf\xC3\xA9", kPlain.mac, kPlain.ip, kPlain.netmask, "KVX-770B", "eth0"},
};

Records ReadJson(const QByteArray& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    Records records = {kExpected.front()};
    for (const QJsonValue& device : document.array()) {
        std::vector<std::string>& record = records.emplace_back();
        for (const std::string& key : kExpected.front())
            record.push_back(device.toObject()[QString::fromStdString(key)].toString().toStdString());
    }
    return records;
}

class ListExportTest : public MainFormFixture {
protected:
    void SetUp() override {
        CreateForm();
        AnswerDiscoveries(responder, {kPlain, kQuoted});
        ClickButton("IMG_Refresh1");
        List().header()->setSortIndicator(3, Qt::AscendingOrder);  // shown: by IP address
        form->SetSaveFileAsker([this](QWidget&) {
            ++asked;
            return choice;
        });
    }
    [[nodiscard]] QAction& ExportAction() const { return *List().findChild<QAction*>("ExportList"); }
    [[nodiscard]] QString InDir(const QString& name) const { return dir.filePath(name); }
    [[nodiscard]] QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    void Export(const QString& fileName, const QString& filter) {
        choice = {fileName, filter};
        ExportAction().trigger();
    }

    QTemporaryDir dir;
    ExportChoice choice;
    int asked = 0;
};

TEST_F(ListExportTest, EveryRowReadsBackInTheShownOrderInTheFormatOfTheNameOrElseTheFilter) {
    const struct {
        const char* name;
        const char* fileName;
        QString filter;
        const char* written;  // the file that appears
        bool json;
    } cases[] = {
        {"CSV", "devices.csv", kCsv, "devices.csv", false},
        {"JSON", "devices.json", kJson, "devices.json", true},
        {"no extension: the filter's", "devices", kJson, "devices.json", true},
        {"the name's extension wins", "LIST.CSV", kJson, "LIST.CSV", false},
        {"a name with blanks and bytes above 0x7F", "B\xC3\xBCro list.json", kCsv, "B\xC3\xBCro list.json",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString written = InDir(QString::fromUtf8(c.written));
        Export(InDir(QString::fromUtf8(c.fileName)), c.filter);
        EXPECT_EQ(Files(), QStringList{QString::fromUtf8(c.written)});  // no temporary file left
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        EXPECT_EQ(c.json ? ReadJson(text) : ReadCsv(text.toStdString()), kExpected);
        EXPECT_EQ(Status(), "2 devices exported to " + written + ".");
        file.remove();
    }
}

TEST_F(ListExportTest, AFailedWriteSaysWhyAndLeavesTheFolderAsItWas) {
    QFile plainFile(InDir("a-file"));
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.csv"));
    const struct {
        const char* name;
        QString path;
        const char* reason;
    } cases[] = {
        {"a missing folder", InDir("missing/devices.csv"), "No such file or directory"},
        {"a file for a folder", InDir("a-file/devices.csv"), "Not a directory"},
        {"a folder for the file", InDir("folder.csv"), "Filename refers to a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->ShowStatus(QStringLiteral("unchanged"));
        Export(c.path, kCsv);
        EXPECT_EQ(Status().toStdString(), QStringLiteral("The list was not exported. Could not write %1: %2.")
                                              .arg(c.path, QString::fromLatin1(c.reason))
                                              .toStdString());
        EXPECT_EQ(Files(), QStringList({"a-file", "folder.csv"}));
    }
    // A folder the user may not write to keeps the file it holds as it was (root may write anywhere).
    if (::geteuid() == 0) return;
    QFile old(InDir("devices.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    Export(old.fileName(), kCsv);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(Status().startsWith("The list was not exported. Could not write " + old.fileName() + ": "));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    EXPECT_EQ(Files(), QStringList({"a-file", "devices.csv", "folder.csv"}));
}

TEST_F(ListExportTest, TheEntryFollowsTheListAndACancelledDialogWritesNothing) {
    EXPECT_TRUE(ExportAction().isEnabled());
    List().ClearRows();
    EXPECT_FALSE(ExportAction().isEnabled());
    Export(InDir("devices.csv"), kCsv);
    EXPECT_EQ(asked, 0);
    List().AppendRow({"KVX-770B", "Storage-1", "001122334401", "192.168.0.101", "255.255.255.0"});
    EXPECT_TRUE(ExportAction().isEnabled());

    form->ShowStatus(QStringLiteral("unchanged"));
    Export(QString(), kCsv);  // what the dialog gives when cancelled
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Status(), QStringLiteral("unchanged"));
    EXPECT_TRUE(Files().isEmpty());
}

}  // namespace
