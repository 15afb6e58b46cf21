// The element lookup and the value decoder on arbitrary variable areas, for every type code. Every
// text the decoder writes must be one the encoder takes back to the same text.

#include "FuzzInput.h"
#include "FuzzVars.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr const char* kUntouched = "untouched";

void CheckLookup(std::uint8_t id, std::span<const std::uint8_t> area) {
    const auto value = FindElement(id, area);
    if (!value) return;
    const std::uint8_t* const begin = area.data();
    const std::uint8_t* const end = begin + area.size();
    if (value->data() < begin + 3 || value->data() >= end || value->data() + value->size() > end) {
        FuzzFailure("a found value lies inside the area");
    }
    const std::uint8_t* const header = value->data() - 3;
    if (header[0] != id || static_cast<std::size_t>(header[1] << 8 | header[2]) != value->size() + 3) {
        FuzzFailure("a found value follows its element header");
    }
}

// A double that is not a number, or an infinite one, is shown as a word the encoder cannot read.
[[nodiscard]] bool IsNonFiniteWord(const std::string& text) {
    return text == "NAN" || text == "INF" || text == "-INF";
}

void CheckReencoding(std::uint8_t id, std::uint8_t type, const std::string& text) {
    std::vector<std::uint8_t> element(text.size() + 16);
    int written = 0;
    try {
        written = EncodeElement(id, type, text, element);
    } catch (const OvException& e) {
        if (type == kDouble && IsNonFiniteWord(text)) return;
        FuzzFailure("a decoded text encodes", std::string(e.what()) + " for " + text);
    }
    if (written < 3) FuzzFailure("a decoded text encodes", text);
    element.resize(static_cast<std::size_t>(written));
    element.insert(element.end(), {0xFF, 0x00, 0x03});  // keeps an empty value inside the area
    std::string again;
    if (DecodeElement(id, type, again, element) != kOk || again != text) {
        FuzzFailure("a decoded text reads back", text + " / " + again);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const auto type = static_cast<std::uint8_t>(TypeFromByte(input.Byte()));
    const std::uint8_t id = input.Byte();
    // A copy of exactly the area's size, so that the sanitizer sees any read past its end.
    const auto rest = input.RestBytes();
    const std::vector<std::uint8_t> area(rest.begin(), rest.end());

    CheckLookup(id, area);
    std::string text = kUntouched;
    const int code = DecodeElement(id, type, text, area);
    if (code != kOk && code != kBadVariableId && code != kBadPacket) FuzzFailure("decoder code");
    if ((code == kBadVariableId) != !FindElement(id, area).has_value())
        FuzzFailure("not found iff no element");
    if (code != kOk || !IsValueType(type)) {
        if (text != kUntouched) FuzzFailure("a failed or untyped decode leaves the text");
        if (!IsValueType(type) && code == kBadPacket) FuzzFailure("untyped values have no width");
        return 0;
    }
    const int width = FixedWireWidth(type);
    if (width >= 0 && FindElement(id, area)->size() != static_cast<std::size_t>(width)) {
        FuzzFailure("a fixed-width value has its width");
    }
    CheckReencoding(id, type, text);
    return 0;
}
