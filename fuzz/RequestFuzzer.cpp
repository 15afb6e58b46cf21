// Request building from arbitrary variable lists, value texts of every type, target texts,
// passwords and command codes.

#include "FuzzInput.h"
#include "FuzzVars.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/wire/Md5.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/OvNDCPVarList.h"
#include "vars/OvOptionList.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

[[nodiscard]] std::uint8_t CommandFromByte(std::uint8_t byte) noexcept {
    switch (byte % 4) {
        case 0:
            return kDiscoverCommand;
        case 1:
            return kSetCommand;
        case 2:
            return kGetCommand;
        default:
            return byte;
    }
}

[[nodiscard]] std::uint8_t WireType(std::int32_t type) noexcept {
    return type >= 0 && type <= 255 ? static_cast<std::uint8_t>(type) : std::uint8_t{255};
}

[[nodiscard]] bool IsKnownCommand(std::uint8_t command) noexcept {
    return command == kDiscoverCommand || command == kSetCommand || command == kGetCommand;
}

[[nodiscard]] std::vector<FuzzVar> ReadVars(FuzzInput& input) {
    std::vector<FuzzVar> vars(input.Byte() % 8);
    for (FuzzVar& var : vars) {
        var.id = input.Byte();
        var.type = TypeFromByte(input.Byte());
        const std::uint8_t access = input.Byte();
        var.access = access & 3;
        var.options = OptionsFromByte(input.Byte());
        var.value = (access & 0x80) != 0 ? input.LongText() : input.Text();
    }
    return vars;
}

void CheckHeader(const Bytes& datagram, const MacBytes& mac, std::uint8_t command, std::uint8_t sequence) {
    if (datagram.size() < kNDCPHeaderSize || datagram.size() > kRequestBufferSize)
        FuzzFailure("datagram size");
    if (!std::equal(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin())) FuzzFailure("signature");
    if (datagram[kOffsetCommand] != command || datagram[kOffsetSequence] != sequence) {
        FuzzFailure("command and sequence bytes");
    }
    if (static_cast<std::size_t>(datagram[6] << 8 | datagram[7]) != datagram.size())
        FuzzFailure("total length");
    if (datagram[8] != 0 || datagram[9] != 0 || datagram[10] != 0x10 || datagram[11] != 0 ||
        datagram[34] != 1 || datagram[35] != 0) {
        FuzzFailure("fixed header bytes");
    }
    if (!std::equal(mac.begin(), mac.end(), datagram.begin() + kOffsetTargetMac)) FuzzFailure("target MAC");
}

void CheckAuthenticator(const Bytes& datagram, std::string_view password) {
    Bytes signed_ = datagram;
    std::fill(signed_.begin() + kOffsetAuthenticator, signed_.begin() + kOffsetAuthenticator + 16, 0);
    signed_.insert(signed_.end(), password.begin(), password.end());
    const Md5::Digest digest = Md5::Of(signed_);
    if (!std::equal(digest.begin(), digest.end(), datagram.begin() + kOffsetAuthenticator)) {
        FuzzFailure("authenticator over the datagram and the password");
    }
}

// The element's value read back as text and written again gives the same element; a double's text
// settles after one round (it keeps 15 digits), a displaystr stops at a zero byte.
void CheckElementRoundTrip(std::span<const std::uint8_t> element, std::uint8_t type) {
    Bytes area(element.begin(), element.end());
    area.insert(area.end(), {0xFF, 0x00, 0x03});  // keeps an empty value inside the area
    std::string text;
    if (DecodeElement(element[0], type, text, area) != kOk) FuzzFailure("a built element decodes");
    Bytes again(element.size() + 16);
    int written = 0;
    try {
        written = EncodeElement(element[0], type, text, again);
    } catch (const OvException& e) {
        FuzzFailure("a decoded text encodes", std::string(e.what()) + " for " + text);
    }
    if (written < 0) FuzzFailure("a decoded text encodes", text);
    again.resize(static_cast<std::size_t>(written));
    const bool zeroInText =
        type == kDisplayStr && std::find(element.begin() + 3, element.end(), 0) != element.end();
    if (type == kDouble || zeroInText) {
        again.insert(again.end(), {0xFF, 0x00, 0x03});
        std::string settled;
        if (DecodeElement(element[0], type, settled, again) != kOk || settled != text) {
            FuzzFailure("a decoded text settles", text);
        }
        return;
    }
    if (!std::equal(again.begin(), again.end(), element.begin(), element.end())) {
        FuzzFailure("an element survives decoding and encoding", text);
    }
}

void CheckArea(std::span<const std::uint8_t> area, const OvNDCPVarList& list, std::uint8_t command) {
    if (command == kDiscoverCommand) {
        if (!area.empty()) FuzzFailure("a Discover request has no elements");
        return;
    }
    std::size_t pos = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const detail::NDCPVar_s& var = list.Var(i);
        const bool included = (var.Access & (command == kGetCommand ? kReadable : kWritable)) != 0;
        if (!included) continue;
        if (area.size() - pos < 3 || area[pos] != static_cast<std::uint8_t>(var.Id)) {
            FuzzFailure("one element per included variable, in list order");
        }
        const std::size_t length = static_cast<std::size_t>(area[pos + 1] << 8 | area[pos + 2]);
        if (length < 3 || length > area.size() - pos) FuzzFailure("element lengths frame the area");
        if (command == kGetCommand && length != 3) FuzzFailure("Get elements carry no value");
        if (command == kSetCommand) CheckElementRoundTrip(area.subspan(pos, length), WireType(var.Type));
        pos += length;
    }
    if (pos != area.size()) FuzzFailure("nothing follows the last element");
}

void CheckRefusal(const OvException& e, bool macValid, std::uint8_t command, const OvNDCPVarList& list) {
    const int code = e.Code();
    if ((code == kBadMacAddress) != !macValid) FuzzFailure("a bad target is refused first", e.what());
    if (code == kBadMacAddress) return;
    if ((code == kBadCommandType) != !IsKnownCommand(command))
        FuzzFailure("a bad command is refused", e.what());
    if (code == kBadValueType) {
        bool untyped = false;
        for (int i = 0; i < list.Count(); ++i) {
            const detail::NDCPVar_s& var = list.Var(i);
            untyped = untyped || ((var.Access & kWritable) != 0 && !IsValueType(WireType(var.Type)));
        }
        if (command != kSetCommand || !untyped) FuzzFailure("only a Set of an untyped value is refused so");
        return;
    }
    // What is left: a value text that does not convert, or a request too large for the buffer.
    if (code != kBadCommandType && code != kUnknownError && code != kBadPacket) {
        FuzzFailure("request refusal code", e.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const std::uint8_t command = CommandFromByte(input.Byte());
    const std::uint8_t sequence = input.Byte();
    const std::string mac = input.Text();
    const std::string password = input.LongText();
    OvNDCPVarList list;
    AppendVars(list, ReadVars(input));

    const std::optional<MacBytes> macBytes = MacTextToBytes(mac);
    Bytes datagram;
    try {
        datagram = BuildRequest(mac, password, list, command, sequence);
    } catch (const OvException& e) {
        CheckRefusal(e, macBytes.has_value(), command, list);
        return 0;
    }
    if (!macBytes || !IsKnownCommand(command)) FuzzFailure("a bad target or command is refused");
    if (datagram.size() + password.size() > kRequestBufferSize) FuzzFailure("the request fits its buffer");
    CheckHeader(datagram, *macBytes, command, sequence);
    CheckAuthenticator(datagram, password);
    CheckArea(std::span(datagram).subspan(kNDCPHeaderSize), list, command);
    return 0;
}
