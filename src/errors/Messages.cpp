#include "errors/Messages.h"

#include <array>

#include "errors/OvException.h"

namespace {

// The texts are the system's own, missing blanks included.
constexpr std::array<std::string_view, 28> kNDCPTable = {
    "Ok!",
    "Fail to read NDCP variables from file([FILENAME])!",
    "Bad format at line([LINENO])in NDCP variables file([FILENAME])!",
    "Bad syntax at line([LINENO])in NDCP variables file([FILENAME])!",
    "Bad access type at line([LINENO])in NDCP variables file([FILENAME])!",
    "Bad variable ID!",
    "Bad command type!",
    "Bad value type!",
    "Socket not ready!Please check if the network is ready.",
    "Socket read/write error!",
    "Bad MAC address!",
    "Password Error!",
    "Not Done!",
    "Bad packet!",
    "Connection timeout!",
    "Unknown error!",
    "Bad NDCP response variable index in the expression!",
    "Bad NDCP syntax in the expression!",
    "Bad value of NDCP variable's (partial) data!",
    "Out of range about the starting byte index of the NDCP variable's (partial) data related to a edit!",
    "No reference option list for ComboBox or RadioGroup control!",
    "Out of range about the bit index of the NDCP variable's (partial) data related to a edit!",
    "Bad syntax of the NDCP variable's (partial) data which is no reference option list and related a "
    "checkbox!",
    "Count of the edits is not enough to put the NDCP variable's partial value on them!",
    "Bad type of the VCL controls to be the edits related with a NDCP variable's (partial) data!",
    "Discover:[ERROR]Request:[VARLIST].Receive at [TIME].",
    "Get:[ERROR]Request:[VARLIST].Receive at [TIME].",
    "Set:[ERROR]Request:[VARLIST].Receive at [TIME].",
};

constexpr std::array<std::string_view, 14> kConstraintTable = {
    "Ok!",
    "Bad logic operand!",
    "Bad format specifier of edit's constraint!",
    "Empty value is not allowed!",
    "Please enter a string whose length is less than [MAXLEN]!",
    "Please enter a string whose length is [LEN]!",
    "Please enter a hex string whose length is less than [MAXLEN]!",
    "Please enter a hex string whose length is [LEN]!",
    "Please enter a number between [MIN] and [MAX]!",
    "Please enter a delimited number string with delimiter '[DELIMITER]'.\nHere,the count of the number is "
    "less than [MAXCOUNT]!",
    "Please enter a delimited number string with delimiter '[DELIMITER]'.\nHere,the count of the number is "
    "equal to [COUNT]!",
    "Please enter a delimited number string with delimiter '[DELIMITER]'.\nHere,each number is between [MIN] "
    "and [MAX]!",
    "Out of range at index of array or list!",
    "Destination buffer is undersize!",
};

constexpr int kLastCodeIndex = 24;

}  // namespace

std::string_view NDCPTableEntry(int index) noexcept {
    if (index < 0 || index >= static_cast<int>(kNDCPTable.size())) return {};
    return kNDCPTable[static_cast<std::size_t>(index)];
}

std::string_view NDCPMessage(int code) noexcept {
    if (code == kOk) return kNDCPTable[0];
    // Compare before negating so that no code can overflow.
    if (code > -1001 || code < -(1000 + kLastCodeIndex)) return NDCPMessage(kUnknownError);
    return kNDCPTable[static_cast<std::size_t>(-code - 1000)];
}

void RaiseNDCPError(int code) { throw OvException(std::string(NDCPMessage(code)), code); }

std::string_view ConstraintText(int index) noexcept {
    if (index < 0 || index >= static_cast<int>(kConstraintTable.size())) return {};
    return kConstraintTable[static_cast<std::size_t>(index)];
}

void RaiseConstraintError(int index) { throw OvException(std::string(ConstraintText(index)), -index); }
