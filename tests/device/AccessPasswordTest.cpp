#include "device/AccessPassword.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "device/DeviceText.h"
#include "errors/OvException.h"

namespace {

TEST(AccessPasswordTest, UTF8OrLatin1TextBecomesOneByteACharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"admin", "admin"},
        {"p\xC3\xA4ss w\xC3\xB6rd", "p\xE4ss w\xF6rd"},  // UTF-8 from a terminal
        {"p\xE4ss", "p\xE4ss"},                          // Latin-1 from an old file
        {"", ""},
        {"123456789012", "123456789012"},  // as many as the dialog's field takes
        {"\xC3\xBF\xC3\xBF", "\xFF\xFF"},
    };
    for (const auto& [text, bytes] : cases) {
        std::string latin1 = "left over";
        AccessPasswordLatin1(text, latin1);
        EXPECT_EQ(latin1, bytes) << text;
    }
}

TEST(AccessPasswordTest, RefusedWithTheReasonAndNothingKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"pass\xE2\x82\xAC",
         "The access password cannot contain \"\xE2\x82\xAC\" (U+20AC): only characters of the Latin-1 set "
         "can be "
         "sent to the device!"},
        {"\xF0\x9F\x94\x91",
         "The access password cannot contain \"\xF0\x9F\x94\x91\" (U+1F511): only characters of the Latin-1 "
         "set "
         "can be sent to the device!"},
        {"1234567890123", "Please enter a string whose length is less than 12!"},
    };
    for (const auto& [text, message] : cases) {
        std::string latin1;
        try {
            AccessPasswordLatin1(text, latin1);
            ADD_FAILURE() << "accepted " << text;
        } catch (const OvException& error) {
            EXPECT_EQ(error.what(), message);
        }
        EXPECT_TRUE(latin1.empty());
    }
}

TEST(DeviceTextTest, ValidUtf8StaysAndEveryOtherByteIsLatin1) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"\xE2\x82\xAC \xF4\x8F\xBF\xBF", "\xE2\x82\xAC \xF4\x8F\xBF\xBF"},  // U+20AC, U+10FFFF
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},            // beyond U+10FFFF
        {"\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},                        // overlong
        {"\xC3", "\xC3\x83"},                                                // cut at the end
        {"\xC3(", "\xC3\x83("},                                              // no continuation
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(DeviceTextAsUtf8(bytes), text) << bytes;
}

}  // namespace
