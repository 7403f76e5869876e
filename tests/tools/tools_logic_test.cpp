// Tests of the tools' pure rules: field escaping, summary figures, command-line quoting.
#include "tools/bench/command_line.h"
#include "tools/bench/stats.h"
#include "tools/dlgread/text_escape.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
  const wchar_t* text;
  const wchar_t* expected;
};

class EscapeField : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeField, WritesControlCharactersAsTwoCharacters) {
  EXPECT_EQ(GetParam().expected, dlgread::EscapeField(GetParam().text));
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

} // namespace
