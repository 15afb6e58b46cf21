// An answer datagram through the header checks and the decoder, into the discovery variable list
// and a list of every type, and then through the discovery filter.

#include "FuzzInput.h"
#include "FuzzVars.h"
#include "device/DeviceProfile.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/Expression.h"
#include "vars/OvNDCPResponseVarList.h"
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

using Bytes = std::span<const std::uint8_t>;

[[nodiscard]] bool HeaderValid(Bytes d) noexcept {
    return d.size() >= kNDCPHeaderSize && d.size() <= kReceiveBufferSize &&
           std::equal(kNDCPSignature.begin(), kNDCPSignature.end(), d.begin()) &&
           static_cast<std::size_t>(d[6] << 8 | d[7]) == d.size();
}

// A list with a readable variable of every type at the identifier of its type code, variables with
// option lists, a structured variable and a variable that is only writable.
[[nodiscard]] OvNDCPVarList EveryTypeList() {
    std::vector<FuzzVar> vars;
    for (std::int32_t type = kBool8; type <= kDisplayStr; ++type) {
        vars.push_back({type, type, kReadable, nullptr, nullptr, "unset"});
    }
    vars.push_back({20, kUInt8, kReadable | kWritable, OptionsFromByte(1), nullptr, "unset"});
    vars.push_back({21, kDisplayStr, kReadable, OptionsFromByte(2), nullptr, "unset"});
    vars.push_back({22, kOctetStr, kReadable, OptionsFromByte(3), nullptr, "unset"});
    vars.push_back({23, kInt32, kWritable, nullptr, nullptr, "unset"});
    vars.push_back({0, kTypeNone, kReadable, nullptr, &DiscoveryParts(), ""});
    vars.push_back({24, 300, kReadable, nullptr, nullptr, "unset"});
    OvNDCPVarList list;
    AppendVars(list, vars);
    return list;
}

// One value as the decoder should leave it: the element's text, mapped through the option list.
// Returns the failure code, or 0 with text set.
[[nodiscard]] int ExpectedValue(std::int32_t id, std::int32_t type, const OvOptionList* options,
                                std::string& text, Bytes area) {
    const std::uint8_t wireType = type >= 0 && type <= 255 ? static_cast<std::uint8_t>(type) : 255;
    std::string decoded = text;
    const int code = DecodeElement(static_cast<std::uint8_t>(id), wireType, decoded, area);
    if (code != kOk) return code;
    if (!IsValueType(type)) return kOk;
    if (options != nullptr) {
        try {
            decoded = options->ToDisplayText(decoded);
        } catch (const OvException&) {
            return kBadPacket;
        }
    }
    text = decoded;
    return kOk;
}

void CheckDiscovery(Bytes datagram, Bytes area) {
    OvNDCPVarList list;
    SetDiscoveryVars(list);
    const int code = DecodeAnswer(datagram, kDiscoverCommand, list);
    // A missing part gives the empty text and decoding goes on; a value of the wrong width makes
    // the whole answer bad, leaving the parts after it as they were.
    int expectedCode = AnswerStatusCode(datagram[kOffsetControl] & 0x0F);
    std::vector<std::string> expected(static_cast<std::size_t>(DiscoveryParts().Count()));
    for (int p = 0; p < DiscoveryParts().Count() && expectedCode == kOk; ++p) {
        const detail::NDCPResponseVar_s& part = DiscoveryParts().Part(p);
        std::string& text = expected[static_cast<std::size_t>(p)];
        const int partCode = ExpectedValue(part.Id, part.Type, nullptr, text, area);
        if (partCode == kBadPacket) expectedCode = kBadPacket;
        if (partCode != kOk) text.clear();
    }
    if (code != expectedCode) FuzzFailure("a Discover answer reports its status or a bad width");
    if (list.Count() != 1 || list.Name != kDiscoveryListName) FuzzFailure("decoding keeps the list");
    const OvNDCPResponseVarList& parts = *list.Var(0).Parts;
    for (int p = 0; p < parts.Count(); ++p) {
        if (parts.Part(p).Value != expected[static_cast<std::size_t>(p)]) {
            FuzzFailure("a Discover part holds its element's text", parts.Part(p).Value);
        }
    }
    if (code != kOk) return;

    const std::string& name = parts.Part(0).Value;
    const std::string expanded = ExpandExpression(list, kDiscoveryFilter, true, "$");
    if (expanded != "\"" + name + "\"=" + std::string(kModelName))
        FuzzFailure("the filter expands to the quoted name", expanded);
    bool passes = false;
    try {
        passes = EvaluateLogic(expanded);
    } catch (const OvException& e) {
        if (e.Code() != -kBadLogicOperand && e.Code() != kBadExpressionSyntax && e.Code() != kUnknownError) {
            FuzzFailure("filter error code", e.what());
        }
        return;
    }
    // Without characters the expression language gives a meaning to, the filter is plain equality.
    if (name.find_first_of("\"()|&!<>=") == std::string::npos && passes != (name == kModelName)) {
        FuzzFailure("the discovery filter compares the module name", name);
    }
}

void CheckGet(Bytes datagram, Bytes area) {
    OvNDCPVarList list = EveryTypeList();
    OvNDCPVarList expected = EveryTypeList();
    const int code = DecodeAnswer(datagram, kGetCommand, list);
    const int status = AnswerStatusCode(datagram[kOffsetControl] & 0x0F);
    int expectedCode = status;
    // The first failure ends decoding; the variables after it keep their texts.
    for (int i = 0; i < expected.Count() && expectedCode == kOk; ++i) {
        detail::NDCPVar_s& var = expected.Var(i);
        if ((var.Access & kReadable) == 0) continue;
        if (!var.Parts) {
            expectedCode = ExpectedValue(var.Id, var.Type, var.Options, var.Value, area);
            continue;
        }
        for (int p = 0; p < var.Parts->Count() && expectedCode == kOk; ++p) {
            detail::NDCPResponseVar_s& part = var.Parts->Part(p);
            expectedCode = ExpectedValue(part.Id, part.Type, part.Options, part.Value, area);
        }
    }
    if (code != expectedCode) FuzzFailure("a Get answer reports the first decoding failure");
    if (ValuesOf(list) != ValuesOf(expected)) FuzzFailure("a Get answer fills the variables up to a failure");
}

void CheckSet(Bytes datagram) {
    OvNDCPVarList list = EveryTypeList();
    const std::vector<std::string> before = ValuesOf(list);
    const int code = DecodeAnswer(datagram, kSetCommand, list);
    if (code != AnswerStatusCode(datagram[kOffsetControl] & 0x0F))
        FuzzFailure("a Set answer reports its status");
    if (ValuesOf(list) != before) FuzzFailure("a Set answer changes no variable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes datagram(data, size);
    const bool valid = AnswerHeaderValid(datagram);
    if (valid != HeaderValid(datagram)) FuzzFailure("the header checks");
    if (!valid) return 0;
    if (AnswerSequence(datagram) != datagram[kOffsetSequence]) FuzzFailure("the sequence byte");
    const MacBytes mac = AnswerTargetMac(datagram);
    if (!std::equal(mac.begin(), mac.end(), datagram.begin() + kOffsetTargetMac))
        FuzzFailure("the MAC bytes");
    const Bytes area = datagram.subspan(kNDCPHeaderSize);
    CheckDiscovery(datagram, area);
    CheckGet(datagram, area);
    CheckSet(datagram);
    return 0;
}
