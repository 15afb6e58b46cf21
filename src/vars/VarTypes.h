#pragma once

#include <cstdint>

// Type codes of NDCP values. 0 is a variable whose parts carry the values; 18 to 255 are not types.
enum VarType : std::uint8_t {
    kTypeNone = 0,
    kBool8 = 1,
    kInt8 = 2,
    kUInt8 = 3,
    kBool16 = 4,
    kInt16 = 5,
    kUInt16 = 6,
    kBool32 = 7,
    kInt32 = 8,
    kUInt32 = 9,
    kDouble = 10,
    kTimeticks = 11,
    kDateTime = 12,
    kIpAddress = 13,
    kMacAddress = 14,
    kBitStr = 15,
    kOctetStr = 16,
    kDisplayStr = 17,
};

// Access bits of a variable.
enum VarAccess : std::uint8_t {
    kReadable = 1,
    kWritable = 2,
};

[[nodiscard]] constexpr bool IsValueType(int type) noexcept { return type >= kBool8 && type <= kDisplayStr; }

[[nodiscard]] constexpr bool IsBooleanType(int type) noexcept {
    return type == kBool8 || type == kBool16 || type == kBool32;
}

// The fixed wire width of a type's value, or -1 for the types of any width (bitstr, octetstr,
// displaystr) and for codes that are not value types.
[[nodiscard]] constexpr int FixedWireWidth(int type) noexcept {
    switch (type) {
        case kBool8:
        case kInt8:
        case kUInt8:
            return 1;
        case kBool16:
        case kInt16:
        case kUInt16:
            return 2;
        case kBool32:
        case kInt32:
        case kUInt32:
        case kTimeticks:
        case kIpAddress:
            return 4;
        case kDouble:
        case kDateTime:
            return 8;
        case kMacAddress:
            return 6;
        default:
            return -1;
    }
}
