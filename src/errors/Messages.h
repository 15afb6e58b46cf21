#pragma once

#include <string>
#include <string_view>

// Codes of the library's message table: -(1000 + index) for the message at that index.
enum NDCPCode : int {
    kOk = 0,
    kFailReadVarsFile = -1001,
    kBadFormatInVarsFile = -1002,
    kBadSyntaxInVarsFile = -1003,
    kBadAccessInVarsFile = -1004,
    kBadVariableId = -1005,
    kBadCommandType = -1006,
    kBadValueType = -1007,
    kSocketNotReady = -1008,
    kSocketReadWriteError = -1009,
    kBadMacAddress = -1010,
    kPasswordError = -1011,
    kNotDone = -1012,
    kBadPacket = -1013,
    kConnectionTimeout = -1014,
    kUnknownError = -1015,
    kBadResponseVarIndex = -1016,
    kBadExpressionSyntax = -1017,
    kBadPartialValue = -1018,
    kStartByteOutOfRange = -1019,
    kNoOptionListForChoice = -1020,
    kBitIndexOutOfRange = -1021,
    kBadCheckBoxBinding = -1022,
    kTooFewEdits = -1023,
    kBadControlType = -1024,
};

// Indexes of the log-line templates that follow the codes in the library's table.
enum NDCPTemplate : int {
    kDiscoverSummaryTemplate = 25,
    kGetSummaryTemplate = 26,
    kSetSummaryTemplate = 27,
};

// Indexes of the edit-constraint message table; an error raised with index i has code -i.
enum ConstraintMessage : int {
    kConstraintOk = 0,
    kBadLogicOperand = 1,
    kBadFormatSpecifier = 2,
    kEmptyValueNotAllowed = 3,
    kStringTooLong = 4,
    kStringLengthMustBe = 5,
    kHexStringTooLong = 6,
    kHexStringLengthMustBe = 7,
    kNumberOutOfRange = 8,
    kTooManyNumbers = 9,
    kNumberCountMustBe = 10,
    kDelimitedNumberOutOfRange = 11,
    kIndexOutOfRange = 12,
    kBufferUndersize = 13,
};

// The message of a library code (0 and -1001 to -1024). Any other code gives the
// message of kUnknownError; the table is never read outside its bounds.
[[nodiscard]] std::string_view NDCPMessage(int code) noexcept;

// The entry at an index of the library's table (0 to 27, templates included);
// an index outside the table gives the empty text.
[[nodiscard]] std::string_view NDCPTableEntry(int index) noexcept;

// Raises OvException with the message of a library code and the code itself.
[[noreturn]] void RaiseNDCPError(int code);

// The entry at an index of the edit-constraint table (0 to 13); outside, the empty text.
[[nodiscard]] std::string_view ConstraintText(int index) noexcept;

// Raises OvException with the edit-constraint message at index and the code -index.
[[noreturn]] void RaiseConstraintError(int index);
