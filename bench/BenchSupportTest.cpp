// The pieces of the bench that turn raw results into the table: the simulator's log fields, the
// process files, the number formats, the median, the table line, and the discovery answer the
// in-process figures use.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BenchTable.h"
#include "ProcessStatus.h"
#include "device/DeviceProfile.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/SimLogFields.h"
#include "vars/OvNDCPVarList.h"

namespace {

constexpr const char* kListening =
    "t=1733630000.123456 ev=listening addr=127.0.0.1 port=40411 devices=3 sndbuf=8388608";
constexpr const char* kSummary =
    "t=1733630003.5 ev=summary requests=2 dropped=0 answers=10000 malformed=0 failed=0 unsent=0";

TEST(SimLogFieldsTest, FieldsAreFoundByWholeKey) {
    const struct {
        const char* name;
        const char* line;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"middle field", kListening, "port", "40411"},
        {"first field", kListening, "t", "1733630000.123456"},
        {"last field", kSummary, "unsent", "0"},
        {"a key that only begins another", "portal=1 port=7", "port", "7"},
        {"a key inside a value", "ev=port=9", "port", std::nullopt},
        {"missing", kListening, "answers", std::nullopt},
        {"empty value", "ev= port=1", "ev", ""},
        {"empty line", "", "ev", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LogField(c.line, c.key), c.value);
    }
}

TEST(SimLogFieldsTest, NumbersMustBeWholeDecimalNumbers) {
    const struct {
        const char* name;
        const char* line;
        std::optional<std::uint64_t> value;
    } cases[] = {
        {"plain", "answers=10000", 10000},
        {"zero", "answers=0", 0},
        {"trailing letter", "answers=12x", std::nullopt},
        {"sign", "answers=-1", std::nullopt},
        {"empty", "answers=", std::nullopt},
        {"too large", "answers=99999999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LogNumber(c.line, "answers"), c.value);
    }
}

TEST(ProcessStatusTest, CpuTicksAreCountedAfterTheCommandNameAndNotForEndedProcesses) {
    // Fields 4 to 13 as the kernel writes them for a sleeping program, then user 7 and system 5.
    const std::string rest = " 1 4242 4242 0 -1 4194560 1195 0 0 0 7 5 0 0 20 0 1 0\n";
    const struct {
        const char* name;
        std::string line;
        std::optional<std::uint64_t> ticks;
    } cases[] = {
        {"plain name", "4242 (orvalan-config) S" + rest, 12},
        {"name with blanks and parentheses", "4242 (a) b (c) S" + rest, 12},
        {"ended, not reaped", "4242 (orvalan-config) Z" + rest, std::nullopt},
        {"cut short", "4242 (orvalan-config) S 1 4242", std::nullopt},
        {"no name", "4242 S" + rest, std::nullopt},
        {"letters for ticks", "4242 (x) S 1 4242 4242 0 -1 4194560 1195 0 0 0 x 5", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatCpuTicks(c.line), c.ticks);
    }
}

TEST(ProcessStatusTest, VoluntarySwitchesAreTheirOwnLineNotTheNonvoluntaryOne) {
    const struct {
        const char* name;
        const char* text;
        std::optional<std::uint64_t> switches;
    } cases[] = {
        {"both lines",
         "State:\tS (sleeping)\nnonvoluntary_ctxt_switches:\t3\nvoluntary_ctxt_switches:\t497\n", 497},
        {"last line without a line break", "voluntary_ctxt_switches:\t0", 0},
        {"only the nonvoluntary line", "nonvoluntary_ctxt_switches:\t3\n", std::nullopt},
        {"not a number", "voluntary_ctxt_switches:\tmany\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatusVoluntarySwitches(c.text), c.switches);
    }
}

TEST(ProcessStatusTest, PeakResidentSetIsReadInKibibytes) {
    const struct {
        const char* name;
        const char* text;
        std::optional<std::uint64_t> bytes;
    } cases[] = {
        {"among its neighbours", "VmPeak:\t  900000 kB\nVmHWM:\t   49562 kB\nVmRSS:\t   40000 kB\n",
         49562ULL * 1024},
        {"without the unit", "VmHWM:\t49562\n", std::nullopt},
        {"another unit", "VmHWM:\t48 MB\n", std::nullopt},
        {"missing", "VmRSS:\t40000 kB\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatusPeakResidentBytes(c.text), c.bytes);
    }
}

TEST(ProcessStatusTest, SchedstatGivesRunAndWaitTimes) {
    const auto times = SchedstatTimes("41234567 2345678 57\n");
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->runNs, 41234567U);
    EXPECT_EQ(times->waitNs, 2345678U);
    for (const char* bad : {"", "1 2", "1 2 3 4", "1 x 3"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(SchedstatTimes(bad).has_value());
    }
}

TEST(BenchTableTest, UnitsKeepThreeSignificantDigits) {
    const struct {
        double ns;
        const char* text;
    } cases[] = {{0.5, "0.50 ns"},   {999, "999 ns"},     {1000, "1.00 us"}, {12345, "12.3 us"},
                 {2.5e6, "2.50 ms"}, {999.4e6, "999 ms"}, {3.2e9, "3.20 s"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatNanoseconds(c.ns), c.text);
    }
    EXPECT_EQ(FormatMilliseconds(-1.5), "-1.50 ms");
    EXPECT_EQ(FormatRate(146000), "146 k/s");
    EXPECT_EQ(FormatRate(1.25e6), "1.25 M/s");
    EXPECT_EQ(FormatRatio(0.5), "0.50x");
    EXPECT_EQ(FormatBytes(8388608), "8.0 MiB");
    EXPECT_EQ(FormatBytes(212992), "208.0 KiB");
}

TEST(BenchTableTest, AFailedMeasurementMissesEveryGoalAndSaysWhy) {
    const std::vector<BenchRow> measured = {{"idle", "answers", "10", "", ""},
                                            {"idle", "wake-ups", "0.2 /s", "<= 1.00 /s", "met"},
                                            {"idle", "peak memory", "40 MiB", "<= 64.0 MiB", "met"}};
    const std::vector<BenchRow> expected = {{"idle", "error", "no namespace", "", "MISSED"},
                                            {"idle", "wake-ups", "not measured", "<= 1.00 /s", "MISSED"},
                                            {"idle", "peak memory", "not measured", "<= 64.0 MiB", "MISSED"}};
    const std::vector<BenchRow> missed = NotMeasured(measured, "no namespace");
    ASSERT_EQ(missed.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(RowLine(missed[i]), RowLine(expected[i]));
    EXPECT_EQ(MedianAndWorst({3, 1, 2}, FormatMilliseconds), "2.00 ms (worst 3.00 ms)");
    EXPECT_EQ(MedianAndWorst({3}, FormatMilliseconds), "3.00 ms");
}

TEST(BenchTableTest, MedianOfOddEvenAndNoValues) {
    EXPECT_EQ(Median({3, 1, 2}), 2);
    EXPECT_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(Median({}), 0);
}

TEST(BenchTableTest, LinesHaveFiveTabSeparatedFieldsWhateverTheTexts) {
    EXPECT_EQ(RowLine({"in-process", "a\tb", "1\n2", "", "met"}), "in-process\ta b\t1 2\t-\tmet");
}

TEST(DiscoveryAnswerTest, AnswerDecodesToItsTexts) {
    OvNDCPVarList vars;
    SetDiscoveryVars(vars);
    const std::vector<std::uint8_t> answer = BuildDiscoveryAnswer(
        9, {0, 0x11, 0x22, 0x33, 0x44, 0x55}, "KVX-550A", "Storage-1", "192.168.0.101", "255.255.255.0");
    ASSERT_TRUE(AnswerHeaderValid(answer));
    EXPECT_EQ(AnswerSequence(answer), 9);
    ASSERT_EQ(DecodeAnswer(answer, kDiscoverCommand, vars), 0);
    const std::vector<std::string> expected = {"KVX-550A", "Storage-1", "001122334455", "192.168.0.101",
                                               "255.255.255.0"};
    for (int p = 0; p < 5; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(vars.Var(0).Parts->Part(p).Value, expected[static_cast<std::size_t>(p)]);
    }
    EXPECT_EQ(vars.Name, "Discovery Table");
}

}  // namespace
