// Every text parser of the value forms: hexadecimal, timeticks, date and time, floating-point,
// integer and dotted address, under the default locale and under another one. Each accepted text
// must read back to the same value from the text its printer writes.

#include "FuzzInput.h"
#include "FuzzVars.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/AddressText.h"
#include "vars/DateTimeText.h"
#include "vars/FloatText.h"
#include "vars/IntegerText.h"
#include "vars/OctetStr.h"
#include "vars/Oid.h"
#include "vars/TimeTicks.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

// Another locale: the separators and designators of a European desktop.
[[nodiscard]] LocaleSettings LocaleFromByte(std::uint8_t byte) {
    if ((byte & 0x80) == 0) return {};
    return {',', '.', '.', "vorm.", "nachm."};
}

[[nodiscard]] bool IsBlank(char c) noexcept { return c == ' '; }

void CheckHex(const std::string& text) {
    const OctetStr bytes = OctetStr::FromHexString(text);
    std::size_t digits = 0;
    for (const char c : text) digits += IsBlank(c) ? 0 : 1;
    if (bytes.Length() != (digits + 1) / 2) FuzzFailure("one byte per two characters", text);
    const std::string hex = bytes.ToHexString();
    if (hex.size() != 2 * bytes.Length() || OctetStr::FromHexString(hex).ToHexString() != hex) {
        FuzzFailure("hexadecimal text reads back", hex);
    }
    const std::optional<MacBytes> mac = MacTextToBytes(text);
    if (mac.has_value() != (bytes.Length() == 6)) FuzzFailure("a target text gives six bytes", text);
    if (mac && MacBytesToText(*mac) != hex) FuzzFailure("a target MAC reads back", hex);
}

void CheckTimeTicks(const std::string& text) {
    const TimeTicks ticks = TimeTicks::FromText(text);
    const std::string written = ticks.ToText();
    if (TimeTicks::FromText(written).Value() != ticks.Value())
        FuzzFailure("timeticks text reads back", written);
}

void CheckDateTime(const std::string& text, const LocaleSettings& locale) {
    double value = 0;
    try {
        value = ParseDateTime(text, locale);
    } catch (const OvException& e) {
        if (e.Code() != kUnknownError) FuzzFailure("date-time refusal code", e.what());
        return;
    }
    if (!IsValidDateTime(value)) FuzzFailure("a parsed date is a date", text);
    const std::string written = FormatDateTime(value, locale);
    try {
        if (ParseDateTime(written, locale) != value) FuzzFailure("date-time text reads back", written);
    } catch (const OvException&) {
        FuzzFailure("a written date-time parses", written);
    }
}

void CheckFloat(const std::string& text, const LocaleSettings& locale) {
    double value = 0;
    try {
        value = ParseFloatText(text, locale);
    } catch (const OvException& e) {
        if (e.Code() != kUnknownError) FuzzFailure("floating-point refusal code", e.what());
        return;
    }
    if (!std::isfinite(value)) FuzzFailure("a parsed number is finite", text);
    // Fifteen digits: the written text of the read-back number is the same text.
    const std::string written = FormatGeneralFloat(value, locale);
    try {
        if (FormatGeneralFloat(ParseFloatText(written, locale), locale) != written) {
            FuzzFailure("floating-point text settles", written);
        }
    } catch (const OvException&) {
        FuzzFailure("a written number parses", written);
    }
}

void CheckIntegers(const std::string& text) {
    const std::int64_t leading = LeadingInteger(text);
    bool signedOk = true;
    std::int32_t signedValue = 0;
    try {
        signedValue = ParseInt32Text(text);
    } catch (const OvException& e) {
        if (e.Code() != kUnknownError) FuzzFailure("integer refusal code", e.what());
        signedOk = false;
    }
    if (signedOk) {
        if (leading != signedValue) FuzzFailure("an integer is its leading integer", text);
        if (ParseInt32Text(std::to_string(signedValue)) != signedValue)
            FuzzFailure("integer reads back", text);
    }
    try {
        const std::uint32_t unsignedValue = ParseUInt32Text(text);
        if (signedOk && unsignedValue != static_cast<std::uint32_t>(signedValue)) {
            FuzzFailure("both integer parsers agree", text);
        }
        if (!signedOk && (leading < 2147483648LL || leading > 4294967295LL)) {
            FuzzFailure("only the upper unsigned range is added", text);
        }
        if (ParseUInt32Text(std::to_string(unsignedValue)) != unsignedValue)
            FuzzFailure("unsigned reads back", text);
    } catch (const OvException& e) {
        if (e.Code() != kUnknownError) FuzzFailure("unsigned refusal code", e.what());
        if (signedOk) FuzzFailure("every signed integer is an unsigned one", text);
    }
}

void CheckAddress(const std::string& text) {
    const auto address = InetAddr(text);
    if (address) {
        const std::string dotted = DottedAddress(*address);
        if (InetAddr(dotted) != address) FuzzFailure("dotted address reads back", dotted);
    }
    const std::optional<Oid> oid = Oid::Parse(text);
    if (!oid) return;
    std::string joined;
    for (std::size_t i = 0; i < oid->Length(); ++i) joined += (i ? "." : "") + std::to_string(oid->At(i));
    const std::optional<Oid> again = Oid::Parse(joined);
    if (!again || again->Length() != oid->Length()) FuzzFailure("dotted identifier reads back", joined);
    for (std::size_t i = 0; i < oid->Length(); ++i) {
        if (again->At(i) != oid->At(i)) FuzzFailure("dotted identifier reads back", joined);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const std::uint8_t selector = input.Byte();
    const LocaleSettings locale = LocaleFromByte(selector);
    const std::string text = input.RestText();
    switch (selector % 6) {
        case 0:
            CheckHex(text);
            break;
        case 1:
            CheckTimeTicks(text);
            break;
        case 2:
            CheckDateTime(text, locale);
            break;
        case 3:
            CheckFloat(text, locale);
            break;
        case 4:
            CheckIntegers(text);
            break;
        default:
            CheckAddress(text);
            break;
    }
    return 0;
}
