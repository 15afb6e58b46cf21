// The small helpers: dotted addresses and their edits, the count text, the desktop address of
// "open", the locale record and secret wiping.
#include <QLocale>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <tuple>

#include "app/DottedText.h"
#include "app/SecretText.h"
#include "app/ShellOpener.h"
#include "app/SystemLocale.h"
#include "app/TMainForm.h"
#include "binding/OvEdit.h"
#include "errors/OvException.h"
#include "testkit/ExpectOvError.h"

namespace {

struct FourEdits {
    FourEdits() {
        for (auto& edit : owned) edits.push_back((edit = std::make_unique<OvEdit>()).get());
    }
    [[nodiscard]] QStringList Texts() const {
        QStringList texts;
        for (const OvEdit* edit : edits) texts << edit->text();
        return texts;
    }
    std::array<std::unique_ptr<OvEdit>, 4> owned;
    std::vector<OvEdit*> edits;
};

TEST(DottedTextTest, SplitsIntoTheEditsPieceByPieceAndJoinsBack) {
    const std::tuple<const char*, QStringList, const char*> cases[] = {
        {"192.168.0.5", {"192", "168", "0", "5"}, "192.168.0.5"},
        {"", {"x", "x", "x", "x"}, "x.x.x.x"},  // no piece: the edits keep their texts
        {"10..7", {"10", "", "7", "x"}, "10..7.x"},
        {"1.2.", {"1", "2", "", "x"}, "1.2..x"},
    };
    for (const auto& [text, texts, joined] : cases) {
        SCOPED_TRACE(text);
        FourEdits four;
        for (OvEdit* edit : four.edits) edit->setText(QStringLiteral("x"));
        SetEditsFromDottedText(QString::fromLatin1(text), four.edits);
        EXPECT_EQ(four.Texts(), texts);
        EXPECT_EQ(DottedTextFromEdits(four.edits), QString::fromLatin1(joined));
    }
    FourEdits four;
    try {
        SetEditsFromDottedText(QStringLiteral("1.2.3.4.5"), four.edits);
        ADD_FAILURE() << "five pieces accepted";
    } catch (const OvException& error) {
        EXPECT_STREQ(error.what(), kTooManyAddressParts);
    }
    EXPECT_EQ(four.Texts(), QStringList({"", "", "", ""}));
}

TEST(SmallTextsTest, CountTextsDesktopAddressesAndLocaleSeparators) {
    const std::pair<int, const char*> counts[] = {
        {0, "0 device found."}, {1, "1 device found."}, {2, "2 devices found."}, {13, "13 devices found."}};
    for (const auto& [count, text] : counts) EXPECT_EQ(DeviceCountText(count), QString::fromLatin1(text));

    const std::pair<const char*, const char*> urls[] = {{"http://192.168.0.5/", "http://192.168.0.5/"},
                                                        {"\\\\192.168.0.5", "smb://192.168.0.5/"},
                                                        {"\\\\host\\share\\dir", "smb://host/share/dir"}};
    for (const auto& [text, url] : urls) {
        EXPECT_EQ(DesktopUrlFor(QString::fromLatin1(text)).toString(), QString::fromLatin1(url)) << text;
    }

    const LocaleSettings us = LocaleSettingsFrom(QLocale(QLocale::English, QLocale::UnitedStates));
    const LocaleSettings de = LocaleSettingsFrom(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(std::string({us.decimalSeparator, us.dateSeparator, us.timeSeparator}) + us.pmDesignator,
              "./:PM");
    EXPECT_EQ(std::string({de.decimalSeparator, de.dateSeparator, de.timeSeparator}), ",.:");
}

TEST(SecretTextTest, WipingOneCopyOfASharedTextLeavesTheOtherAndBytesAreLatin1) {
    QString held = QStringLiteral("secret");
    QString copy = held;  // shares the buffer
    WipeString(copy);
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(held, QStringLiteral("secret"));

    std::string bytes = "a longer secret than fits inline";
    bytes = "short";
    WipeString(bytes);
    EXPECT_EQ(std::string_view(bytes.data(), bytes.capacity()).find("secret"), std::string_view::npos);

    EXPECT_EQ(SecretBytes(QStringLiteral("ab\u00e9\u00ff")).Text(), std::string("ab\xe9\xff"));
}

// A character the cipher cannot take is named, rather than sent as something else.
TEST(SecretTextTest, APasswordOutsideLatin1IsRefusedNamingTheCharacter) {
    const std::pair<QString, const char*> cases[] = {
        {QStringLiteral("caf\u00e9"), nullptr},
        {QStringLiteral("5\u20ac-note"), "\u20ac\" (U+20AC)"},
        {QStringLiteral("x\U0001F511"), "\U0001F511\" (U+1F511)"},  // beyond 16 bits: one character, not two
    };
    for (const auto& [password, named] : cases) {
        SCOPED_TRACE(password.toStdString());
        const auto refusal = PasswordCharacterRefusal(password);
        if (named == nullptr) {
            EXPECT_EQ(refusal, std::nullopt);
            continue;
        }
        const QString message =
            QStringLiteral("The access password cannot contain \"") + QString::fromUtf8(named) +
            QStringLiteral(": only characters of the Latin-1 set can be sent to the device!");
        EXPECT_EQ(refusal, message);
        ExpectOvError([&password] { const SecretBytes bytes(password); }, kUnknownError,
                      message.toStdString());
    }
}

}  // namespace
