// Tests of the tools' pure rules: field escaping, summary figures, command-line quoting, capture formats.
#include "smbios/dmi_table.h"
#include "tools/bench/command_line.h"
#include "tools/bench/stats.h"
#include "capture/capture_format.h"
#include "capture/summary_lines.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct EscapeCase {
  const wchar_t* text;
  const wchar_t* expected;
};

class EscapeField : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeField, WritesControlCharactersAsTwoCharacters) {
  EXPECT_EQ(GetParam().expected, summary::EscapeField(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Texts, EscapeField,
                         ::testing::Values(EscapeCase{L"", L""}, EscapeCase{L"plain text", L"plain text"},
                                           EscapeCase{L"a\tb", L"a\\tb"}, EscapeCase{L"one\ntwo", L"one\\ntwo"},
                                           EscapeCase{L"a\r\nb", L"a\\r\\nb"}, EscapeCase{L"\t\t", L"\\t\\t"},
                                           EscapeCase{L"\n", L"\\n"},
                                           // A backslash stays one character: only the three controls are escaped.
                                           EscapeCase{L"C:\\path\\n", L"C:\\path\\n"},
                                           EscapeCase{L"  lead and trail  ", L"  lead and trail  "},
                                           EscapeCase{L"\u65e5\u672c", L"\u65e5\u672c"}));

struct SummaryCase {
  std::vector<double> values;
  double min, q1, median, q3, max;
};

class Summarize : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summarize, GivesQuartilesByLinearInterpolation) {
  const SummaryCase& c = GetParam();
  const bench::Summary s = bench::Summarize(c.values);
  EXPECT_EQ(c.values.size(), s.count);
  EXPECT_DOUBLE_EQ(c.min, s.min);
  EXPECT_DOUBLE_EQ(c.q1, s.q1);
  EXPECT_DOUBLE_EQ(c.median, s.median);
  EXPECT_DOUBLE_EQ(c.q3, s.q3);
  EXPECT_DOUBLE_EQ(c.max, s.max);
}

INSTANTIATE_TEST_SUITE_P(
    Series, Summarize,
    ::testing::Values(SummaryCase{{}, 0, 0, 0, 0, 0}, SummaryCase{{7}, 7, 7, 7, 7, 7},
                      SummaryCase{{2, 1}, 1, 1.25, 1.5, 1.75, 2},
                      SummaryCase{{3, 1, 2}, 1, 1.5, 2, 2.5, 3},
                      SummaryCase{{4, 3, 2, 1}, 1, 1.75, 2.5, 3.25, 4},
                      SummaryCase{{1, 2, 3, 4, 5}, 1, 2, 3, 4, 5},
                      // Unsorted input with an outlier: the median is not pulled by it.
                      SummaryCase{{120, 118, 500, 119, 121}, 118, 119, 120, 121, 500},
                      SummaryCase{{5, 5, 5, 5}, 5, 5, 5, 5, 5}));

TEST(Quantile, ClampsOutsideZeroToOne) {
  const std::vector<double> sorted{10, 20, 30};
  EXPECT_DOUBLE_EQ(10, bench::Quantile(sorted, -1));
  EXPECT_DOUBLE_EQ(10, bench::Quantile(sorted, 0));
  EXPECT_DOUBLE_EQ(30, bench::Quantile(sorted, 1));
  EXPECT_DOUBLE_EQ(30, bench::Quantile(sorted, 2));
  EXPECT_DOUBLE_EQ(25, bench::Quantile(sorted, 0.75));
  EXPECT_DOUBLE_EQ(0, bench::Quantile({}, 0.5));
}

// Launches marked out of order, one without a step: each step's time is taken from the step reached
// before it in its own launch.
TEST(SummarizeSteps, TakesEachStepFromTheOneBeforeItInTheSameLaunch) {
  const std::vector<std::vector<bench::StepTime>> launches{
      {{"entry", 40}, {"visible", 100}, {"dialog", 70}},
      {{"entry", 50}, {"dialog", 90}, {"visible", 110}},
      {{"entry", 60}, {"visible", 80}}};
  const std::vector<bench::StepSummary> steps = bench::SummarizeSteps(launches);
  ASSERT_EQ(3u, steps.size());
  EXPECT_EQ("entry", steps[0].name);
  EXPECT_DOUBLE_EQ(50, steps[0].tookMedian);
  EXPECT_EQ("dialog", steps[1].name);
  EXPECT_EQ(2u, steps[1].count);
  EXPECT_DOUBLE_EQ(35, steps[1].tookMedian);
  EXPECT_DOUBLE_EQ(30, steps[1].tookMin);
  EXPECT_EQ("visible", steps[2].name);
  EXPECT_DOUBLE_EQ(100, steps[2].atMedian);
  EXPECT_DOUBLE_EQ(20, steps[2].tookMedian);
  // From entry (50) to the ready step (110, the last one given), less dialog's 40 from entry; a step after
  // the ready one is not counted.
  EXPECT_DOUBLE_EQ(20, bench::TimeOutside(launches[1], {"dialog"}));
  EXPECT_DOUBLE_EQ(15, bench::TimeOutside({{"entry", 0}, {"paint", 30}, {"dialog", 5}, {"visible", 20}}, {"dialog", "paint"}));
  EXPECT_DOUBLE_EQ(0, bench::TimeOutside({{"dialog", 5}}, {}));
}

struct QuoteCase {
  const wchar_t* argument;
  const wchar_t* expected;
};

class QuoteArgument : public ::testing::TestWithParam<QuoteCase> {};

// The expected forms are those CommandLineToArgvW reads back as the original argument.
TEST_P(QuoteArgument, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(GetParam().expected, bench::QuoteArgument(GetParam().argument));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, QuoteArgument,
    ::testing::Values(QuoteCase{L"plain", L"plain"}, QuoteCase{L"", L"\"\""},
                      QuoteCase{L"two words", L"\"two words\""}, QuoteCase{L"tab\there", L"\"tab\there\""},
                      QuoteCase{L"C:\\dir\\file.exe", L"C:\\dir\\file.exe"},
                      QuoteCase{L"C:\\my dir\\", L"\"C:\\my dir\\\\\""},
                      QuoteCase{L"say \"hi\"", L"\"say \\\"hi\\\"\""},
                      QuoteCase{L"a\\\"b", L"\"a\\\\\\\"b\""}, QuoteCase{L"a\\\\b c", L"\"a\\\\b c\""}));

TEST(JoinCommandLine, SeparatesWithOneSpace) {
  EXPECT_EQ(L"", bench::JoinCommandLine({}));
  EXPECT_EQ(L"Z:\\bin\\prog.exe /halt \"two words\" \"\"",
            bench::JoinCommandLine({L"Z:\\bin\\prog.exe", L"/halt", L"two words", L""}));
}

struct RegistryCase {
  uint32_t type;
  capture::Bytes data;
  const wchar_t* expected;
};

class RegistryValueLine : public ::testing::TestWithParam<RegistryCase> {};

// Strings and DWORDs read as regedit writes them; anything else keeps its type and every byte.
TEST_P(RegistryValueLine, KeepsTypeAndBytes) {
  EXPECT_EQ(GetParam().expected, capture::RegistryValueLine(L"Value", GetParam().type, GetParam().data));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryValueLine,
    ::testing::Values(RegistryCase{1, {'b', 0, 'i', 0, 0, 0}, L"\"Value\"=\"bi\""},
                      RegistryCase{1, {'"', 0, '\\', 0, 0, 0}, L"\"Value\"=\"\\\"\\\\\""},
                      RegistryCase{1, {'b', 0, 'i', 0}, L"\"Value\"=hex(1):62,00,69,00"}, // no terminator
                      RegistryCase{1, {'a', 0, 0, 0, 'b', 0, 0, 0}, L"\"Value\"=hex(1):61,00,00,00,62,00,00,00"},
                      RegistryCase{1, {'\n', 0, 0, 0}, L"\"Value\"=hex(1):0a,00,00,00"},
                      RegistryCase{4, {2, 0, 0, 0}, L"\"Value\"=dword:00000002"},
                      RegistryCase{4, {2, 0, 0}, L"\"Value\"=hex(4):02,00,00"},
                      RegistryCase{3, {1, 0, 0, 0}, L"\"Value\"=hex:01,00,00,00"},
                      RegistryCase{11, {}, L"\"Value\"=hex(b):"}));

// A table rebuilt from structures reads back as the same structures, and redaction keeps every length.
TEST(CaptureDump, RebuildsAndRedactsSerialNumbers) {
  const capture::Bytes system = {1, 0x19, 1, 0, 1, 2, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                 6, 'M', 0, 'P', 0, 'S', 'N', '1', 0, 0};
  const capture::Bytes board = {2, 0x08, 2, 0, 0, 0, 0, 1, 'B', 'S', 0, 0};
  const capture::Bytes end = {127, 4, 3, 0, 0, 0};
  for (uint8_t major : {2, 3}) {
    capture::Bytes dump = capture::DumpOfStructures({system, board, end}, major, 4);
    DmiImage image;
    ASSERT_TRUE(LocateDmiTable(dump.data(), dump.size(), &image));
    EXPECT_EQ(major, image.major);
    EXPECT_EQ(system.size() + board.size() + end.size(), image.size);
    EXPECT_EQ(0, std::memcmp(image.table, system.data(), system.size()));

    EXPECT_EQ(3u, capture::RedactDump(dump)); // two serial numbers and the UUID
    ASSERT_TRUE(LocateDmiTable(dump.data(), dump.size(), &image));
    const std::string table(reinterpret_cast<const char*>(image.table), image.size);
    EXPECT_NE(std::string::npos, table.find(std::string("M\0P\0***\0\0", 9)));
    EXPECT_NE(std::string::npos, table.find(std::string("**\0\0", 4)));
    EXPECT_EQ(capture::Bytes(16, 0), capture::Bytes(image.table + 8, image.table + 24));
  }
}

} // namespace

