#include "errors/Messages.h"

#include <gtest/gtest.h>

#include "errors/OvException.h"

namespace {

TEST(MessagesTest, LibraryCodesMapToTheirTexts) {
    EXPECT_EQ(NDCPMessage(kOk), "Ok!");
    EXPECT_EQ(NDCPMessage(-1001), "Fail to read NDCP variables from file([FILENAME])!");
    EXPECT_EQ(NDCPMessage(kSocketNotReady), "Socket not ready!Please check if the network is ready.");
    EXPECT_EQ(NDCPMessage(kConnectionTimeout), "Connection timeout!");
    EXPECT_EQ(NDCPMessage(kBadControlType),
              "Bad type of the VCL controls to be the edits related with a NDCP variable's (partial) data!");
}

TEST(MessagesTest, CodesOutsideTheTableNeverReadPastIt) {
    for (int code : {1, -1, -999, -1000, -1025, -1026, -2000, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(NDCPMessage(code), "Unknown error!") << code;
    }
}

TEST(MessagesTest, TemplatesFollowTheCodes) {
    EXPECT_EQ(NDCPTableEntry(kDiscoverSummaryTemplate),
              "Discover:[ERROR]Request:[VARLIST].Receive at [TIME].");
    EXPECT_EQ(NDCPTableEntry(kGetSummaryTemplate), "Get:[ERROR]Request:[VARLIST].Receive at [TIME].");
    EXPECT_EQ(NDCPTableEntry(kSetSummaryTemplate), "Set:[ERROR]Request:[VARLIST].Receive at [TIME].");
    EXPECT_EQ(NDCPTableEntry(28), "");
    EXPECT_EQ(NDCPTableEntry(-1), "");
}

TEST(MessagesTest, RaisingCarriesTextAndCode) {
    try {
        RaiseNDCPError(kPasswordError);
        FAIL() << "no error raised";
    } catch (const OvException& e) {
        EXPECT_STREQ(e.what(), "Password Error!");
        EXPECT_EQ(e.Code(), -1011);
    }
    try {
        RaiseConstraintError(kBadFormatSpecifier);
        FAIL() << "no error raised";
    } catch (const OvException& e) {
        EXPECT_STREQ(e.what(), "Bad format specifier of edit's constraint!");
        EXPECT_EQ(e.Code(), -2);
    }
    // An error described only in words still never carries the success code.
    const OvException wordsOnly("The value is not a number");
    EXPECT_EQ(wordsOnly.Code(), kUnknownError);
}

TEST(MessagesTest, ConstraintTableKeepsItsLineBreaksAndPlaceholders) {
    EXPECT_EQ(ConstraintText(kBadLogicOperand), "Bad logic operand!");
    EXPECT_EQ(ConstraintText(kNumberCountMustBe),
              "Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
              "Here,the count of the number is equal to [COUNT]!");
    EXPECT_EQ(ConstraintText(kBufferUndersize), "Destination buffer is undersize!");
    EXPECT_EQ(ConstraintText(14), "");
}

}  // namespace
