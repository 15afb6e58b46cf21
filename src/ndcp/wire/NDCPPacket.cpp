#include "ndcp/wire/NDCPPacket.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/wire/Md5.h"
#include "vars/OctetStr.h"
#include "vars/OvNDCPVarList.h"
#include "vars/OvOptionList.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

namespace {

constexpr std::uint8_t kRequestControlByte = 0x10;
constexpr std::uint8_t kRequestFixedByte = 1;
constexpr std::uint8_t kStatusMask = 0x0F;
constexpr std::size_t kMacSize = 6;
// The largest element the 16-bit element length can describe.
constexpr std::size_t kLargestElement = 0xFFFF;

constexpr std::string_view kRequestTooLarge = "The request does not fit in the 8192-byte buffer!";

[[noreturn]] void RaiseRequestTooLarge() { throw OvException(std::string(kRequestTooLarge), kBadPacket); }

std::uint16_t ReadBigEndian16(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void WriteBigEndian16(std::span<std::uint8_t> bytes, std::size_t at, std::size_t value) noexcept {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

[[nodiscard]] bool Readable(const detail::NDCPVar_s& var) noexcept { return (var.Access & kReadable) != 0; }
[[nodiscard]] bool Writable(const detail::NDCPVar_s& var) noexcept { return (var.Access & kWritable) != 0; }

// The wire identifier: the low 8 bits of the stored identifier.
[[nodiscard]] std::uint8_t WireId(std::int32_t id) noexcept { return static_cast<std::uint8_t>(id); }

// A stored type outside 0 to 255 is no type at all; 255 keeps it one (and stops its low bits from
// passing for a real type code).
[[nodiscard]] std::uint8_t WireType(std::int32_t type) noexcept {
    return type >= 0 && type <= 255 ? static_cast<std::uint8_t>(type) : std::uint8_t{255};
}

void WriteHeader(std::span<std::uint8_t> buffer, const MacBytes& mac, std::uint8_t command,
                 std::uint8_t sequence) noexcept {
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), buffer.begin());
    buffer[kOffsetCommand] = command;
    buffer[kOffsetSequence] = sequence;
    buffer[kOffsetControl] = kRequestControlByte;
    std::copy(mac.begin(), mac.end(), buffer.begin() + kOffsetTargetMac);
    buffer[kOffsetFixedByte] = kRequestFixedByte;
}

// Get: one empty element (identifier, length 3) per readable variable. Returns the area length.
std::size_t WriteGetArea(std::span<std::uint8_t> area, const OvNDCPVarList& vars) {
    std::size_t length = 0;
    for (int i = 0; i < vars.Count(); ++i) {
        const detail::NDCPVar_s& var = vars.Var(i);
        if (!Readable(var)) continue;
        if (area.size() - length < static_cast<std::size_t>(kElementHeaderSize)) RaiseRequestTooLarge();
        area[length] = WireId(var.Id);
        WriteBigEndian16(area, length + 1, static_cast<std::size_t>(kElementHeaderSize));
        length += static_cast<std::size_t>(kElementHeaderSize);
    }
    return length;
}

// Set: one element with its value per writable variable; the displayed text of a variable with an
// option list is sent as its value text. Each element is encoded into scratch storage that holds
// any element, so that a request too large for the buffer is told apart from a value that does not
// convert. Returns the area length.
std::size_t WriteSetArea(std::span<std::uint8_t> area, const OvNDCPVarList& vars,
                         const LocaleSettings& locale) {
    std::vector<std::uint8_t> scratch(kLargestElement);
    std::size_t length = 0;
    for (int i = 0; i < vars.Count(); ++i) {
        const detail::NDCPVar_s& var = vars.Var(i);
        if (!Writable(var)) continue;
        const std::string valueText =
            var.Options != nullptr ? var.Options->ToValueText(var.Value) : var.Value;
        const int written = EncodeElement(WireId(var.Id), WireType(var.Type), valueText, scratch, locale);
        if (written < 0) RaiseNDCPError(written);
        const auto size = static_cast<std::size_t>(written);
        if (area.size() - length < size) RaiseRequestTooLarge();
        std::copy_n(scratch.begin(), size, area.begin() + static_cast<std::ptrdiff_t>(length));
        length += size;
    }
    return length;
}

// A decoded value text shown through an option list. Mapping a text that a kind-1 list cannot read
// as a number raises; that counts as a failed decode.
[[nodiscard]] bool MapToDisplay(const OvOptionList* options, std::string& text) {
    if (options == nullptr) return true;
    try {
        text = options->ToDisplayText(text);
        return true;
    } catch (const OvException&) {
        return false;
    }
}

// A decoded value that its option list cannot show; reported as kBadPacket where a failure is
// reported at all. Positive, so it is never mistaken for a code of the message table.
constexpr int kUnmappableValue = 1;

// Decodes one value (a variable without parts or a part) into target; on failure target keeps its
// text. Types that carry no value are looked up but neither changed nor mapped.
[[nodiscard]] int DecodeValue(std::int32_t id, std::int32_t type, const OvOptionList* options,
                              std::string& target, std::span<const std::uint8_t> area,
                              const LocaleSettings& locale) {
    std::string text = target;
    const int code = DecodeElement(WireId(id), WireType(type), text, area, locale);
    if (code != kOk) return code;
    if (!IsValueType(type)) return kOk;
    if (!MapToDisplay(options, text)) return kUnmappableValue;
    target = std::move(text);
    return kOk;
}

[[nodiscard]] int Reported(int code) { return code == kUnmappableValue ? kBadPacket : code; }

// Parts are looked up among the top-level elements. A Get stops at the first failure. A Discover
// gives a missing or unshowable part the empty text, shown through its option list where that list
// can read it; a value of the wrong width, which no sound device sends, makes the whole answer bad.
[[nodiscard]] int DecodeParts(OvNDCPResponseVarList& parts, std::uint8_t command,
                              std::span<const std::uint8_t> area, const LocaleSettings& locale) {
    for (int p = 0; p < parts.Count(); ++p) {
        detail::NDCPResponseVar_s& part = parts.Part(p);
        const int code = DecodeValue(part.Id, part.Type, part.Options, part.Value, area, locale);
        if (code == kOk) continue;
        if (command != kDiscoverCommand || code == kBadPacket) return Reported(code);
        std::string empty;
        part.Value = MapToDisplay(part.Options, empty) ? empty : std::string();
    }
    return kOk;
}

[[nodiscard]] int DecodeArea(std::span<const std::uint8_t> area, std::uint8_t command, OvNDCPVarList& vars,
                             const LocaleSettings& locale) {
    for (int i = 0; i < vars.Count(); ++i) {
        detail::NDCPVar_s& var = vars.Var(i);
        if (!Readable(var)) continue;
        if (var.Parts) {
            const int code = DecodeParts(*var.Parts, command, area, locale);
            if (code != kOk) return code;
            continue;
        }
        const int code = DecodeValue(var.Id, var.Type, var.Options, var.Value, area, locale);
        if (code == kOk) continue;
        if (command != kDiscoverCommand || code == kBadPacket) return Reported(code);
        return kOk;
    }
    return kOk;
}

}  // namespace

std::optional<MacBytes> MacTextToBytes(std::string_view text) {
    const OctetStr bytes = OctetStr::FromHexString(text);
    if (bytes.Length() != kMacSize) return std::nullopt;
    MacBytes mac{};
    std::copy_n(bytes.Bytes().begin(), kMacSize, mac.begin());
    return mac;
}

std::string MacBytesToText(const MacBytes& mac) { return OctetStr(mac).ToHexString(); }

std::vector<std::uint8_t> BuildRequest(std::string_view targetMac, std::string_view password,
                                       const OvNDCPVarList& vars, std::uint8_t command, std::uint8_t sequence,
                                       const LocaleSettings& locale) {
    const std::optional<MacBytes> mac = MacTextToBytes(targetMac);
    if (!mac) RaiseNDCPError(kBadMacAddress);
    if (command != kDiscoverCommand && command != kGetCommand && command != kSetCommand) {
        RaiseNDCPError(kBadCommandType);
    }
    // The password bytes are appended behind the datagram for the authenticator, in the same buffer.
    if (password.size() > kRequestBufferSize - kNDCPHeaderSize) RaiseRequestTooLarge();

    std::vector<std::uint8_t> buffer(kRequestBufferSize, 0);
    const std::span<std::uint8_t> whole(buffer);
    WriteHeader(whole, *mac, command, sequence);
    const std::span<std::uint8_t> room =
        whole.subspan(kNDCPHeaderSize, kRequestBufferSize - kNDCPHeaderSize - password.size());
    std::size_t areaLength = 0;
    if (command == kGetCommand) areaLength = WriteGetArea(room, vars);
    if (command == kSetCommand) areaLength = WriteSetArea(room, vars, locale);

    const std::size_t datagramLength = kNDCPHeaderSize + areaLength;
    WriteBigEndian16(whole, kOffsetTotalLength, datagramLength);
    std::copy(password.begin(), password.end(), buffer.begin() + static_cast<std::ptrdiff_t>(datagramLength));
    const Md5::Digest digest = Md5::Of(whole.first(datagramLength + password.size()));
    std::copy(digest.begin(), digest.end(), buffer.begin() + kOffsetAuthenticator);

    buffer.resize(datagramLength);
    return buffer;
}

bool AnswerHeaderValid(std::span<const std::uint8_t> datagram) noexcept {
    if (datagram.size() < kNDCPHeaderSize || datagram.size() > kReceiveBufferSize) return false;
    if (!std::equal(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin())) return false;
    return ReadBigEndian16(datagram, kOffsetTotalLength) == datagram.size();
}

std::uint8_t AnswerSequence(std::span<const std::uint8_t> datagram) noexcept {
    return datagram.size() > kOffsetSequence ? datagram[kOffsetSequence] : std::uint8_t{0};
}

MacBytes AnswerTargetMac(std::span<const std::uint8_t> datagram) noexcept {
    MacBytes mac{};
    if (datagram.size() >= kOffsetTargetMac + kMacSize) {
        std::copy_n(datagram.begin() + kOffsetTargetMac, kMacSize, mac.begin());
    }
    return mac;
}

std::uint8_t AnswerStatus(std::span<const std::uint8_t> datagram) noexcept {
    return datagram.size() > kOffsetControl
               ? static_cast<std::uint8_t>(datagram[kOffsetControl] & kStatusMask)
               : std::uint8_t{0};
}

int DecodeAnswer(std::span<const std::uint8_t> datagram, std::uint8_t command, OvNDCPVarList& vars,
                 const LocaleSettings& locale) {
    if (datagram.size() < kNDCPHeaderSize) return kBadPacket;
    const int status = AnswerStatusCode(AnswerStatus(datagram));
    if (status != kOk) return status;
    if (command == kSetCommand) return kOk;
    // The area ends at the total length; a datagram that claims more than it holds ends at its size.
    const std::size_t end = std::clamp<std::size_t>(ReadBigEndian16(datagram, kOffsetTotalLength),
                                                    kNDCPHeaderSize, datagram.size());
    try {
        return DecodeArea(datagram.subspan(kNDCPHeaderSize, end - kNDCPHeaderSize), command, vars, locale);
    } catch (const std::exception&) {
        // Decoding reports outcomes as codes; nothing may escape to the receive path.
        return kBadPacket;
    }
}

int AnswerStatusCode(std::uint8_t status) noexcept {
    switch (status) {
        case 0:
            return kOk;
        case 1:
            return kPasswordError;
        case 2:
            return kNotDone;
        case 3:
            return kBadCommandType;
        default:
            return kUnknownError;
    }
}
