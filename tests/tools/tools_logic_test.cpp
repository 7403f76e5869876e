// Tests of the tools' pure rules: field escaping, summary figures, command-line quoting, capture formats.
#include "smbios/dmi_table.h"
#include "tools/bench/command_line.h"
#include "tools/bench/stats.h"
#include "capture/capture_format.h"
#include "capture/summary_lines.h"
#include "tests/support/table_builder.h"

#include <gtest/gtest.h>

#include <cstring>

#ifdef KCC_REAL_TABLES
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sources/machine_info.h"
#include "tests/support/table_server.h"
#endif

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
  const wchar_t* redacted; // the line of the same value through /redact
};

class RegistryValueLine : public ::testing::TestWithParam<RegistryCase> {};

// Strings and DWORDs read as regedit writes them; anything else keeps its type and every byte.
TEST_P(RegistryValueLine, KeepsTypeAndBytes) {
  EXPECT_EQ(GetParam().expected, capture::RegistryValueLine(L"Value", GetParam().type, GetParam().data));
}

// Redacted, a value keeps its type, its length and its NULs, and nothing of its text.
TEST_P(RegistryValueLine, RedactedKeepsTypeAndLength) {
  EXPECT_EQ(GetParam().redacted, capture::RegistryValueLine(L"Value", GetParam().type,
                                                            capture::RedactRegistryValue(GetParam().type,
                                                                                         GetParam().data)));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryValueLine,
    ::testing::Values(RegistryCase{1, {'b', 0, 'i', 0, 0, 0}, L"\"Value\"=\"bi\"", L"\"Value\"=\"**\""},
                      RegistryCase{1, {'"', 0, '\\', 0, 0, 0}, L"\"Value\"=\"\\\"\\\\\"", L"\"Value\"=\"**\""},
                      RegistryCase{1, {'b', 0, 'i', 0}, L"\"Value\"=hex(1):62,00,69,00", // no terminator
                                   L"\"Value\"=hex(1):2a,00,2a,00"},
                      RegistryCase{1, {'a', 0, 0, 0, 'b', 0, 0, 0}, L"\"Value\"=hex(1):61,00,00,00,62,00,00,00",
                                   L"\"Value\"=hex(1):2a,00,00,00,2a,00,00,00"},
                      RegistryCase{1, {'\n', 0, 0, 0}, L"\"Value\"=hex(1):0a,00,00,00", L"\"Value\"=\"*\""},
                      // A character beyond Latin-1 and an odd last byte.
                      RegistryCase{1, {0xE5, 0x65, 0, 0, 7}, L"\"Value\"=hex(1):e5,65,00,00,07",
                                   L"\"Value\"=hex(1):2a,00,00,00,2a"},
                      RegistryCase{4, {2, 0, 0, 0}, L"\"Value\"=dword:00000002", L"\"Value\"=dword:0000002a"},
                      RegistryCase{4, {2, 0, 0}, L"\"Value\"=hex(4):02,00,00", L"\"Value\"=hex(4):2a,00,00"},
                      RegistryCase{3, {1, 0, 0, 0}, L"\"Value\"=hex:01,00,00,00", L"\"Value\"=hex:2a,00,00,00"},
                      RegistryCase{11, {}, L"\"Value\"=hex(b):", L"\"Value\"=hex(b):"}));

// A table rebuilt from structures reads back as the same structures, and redaction keeps every length.
// Keys of the 32-bit view as 64-bit regedit names them, so that a replay imports each into its view.
TEST(CaptureRegistry, TheThirtyTwoBitViewUnderWow6432Node) {
  EXPECT_EQ(L"SOFTWARE\\WOW6432Node\\Varnel Corporation\\KIVO Control Center",
            capture::Wow6432Path(L"SOFTWARE\\Varnel Corporation\\KIVO Control Center"));
  EXPECT_EQ(L"Software\\WOW6432Node\\Microsoft\\Windows", capture::Wow6432Path(L"Software\\Microsoft\\Windows"));
  EXPECT_EQ(L"SYSTEM\\CurrentControlSet", capture::Wow6432Path(L"SYSTEM\\CurrentControlSet")) << "not redirected";
  EXPECT_EQ(L"SOFTWARE\\", capture::Wow6432Path(L"SOFTWARE\\"));
}

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


using tablebuilder::StructureBuilder;

struct RedactionCase {
  const char* name;
  std::vector<capture::Bytes> before; // structures, an end-of-table structure follows
  std::vector<capture::Bytes> after;
  unsigned changed;
};

class RedactDump : public ::testing::TestWithParam<RedactionCase> {};

// Each identifier field by its type and offset, inside the structure's length only; copies elsewhere; the
// table's layout as it was.
TEST_P(RedactDump, BlanksIdentifiersAndKeepsTheLayout) {
  const capture::Bytes end = StructureBuilder(127, 4, 0xFEFF).WithStrings();
  std::vector<capture::Bytes> before = GetParam().before, after = GetParam().after;
  before.push_back(end);
  after.push_back(end);
  capture::Bytes dump = capture::DumpOfStructures(before, 3, 4);
  EXPECT_EQ(GetParam().changed, capture::RedactDump(dump));
  EXPECT_EQ(capture::DumpOfStructures(after, 3, 4), dump);
}

std::string CaseName(const ::testing::TestParamInfo<RedactionCase>& info) { return info.param.name; }

const uint8_t kUuid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

capture::Bytes System(uint8_t length, const char* serial, const char* version = "1.0") {
  StructureBuilder system(1, length, 1);
  system.Byte(0x04, 1).Byte(0x05, 2).Byte(0x06, 3).Byte(0x07, 4);
  for (size_t i = 0; length >= 0x19 && i < 16; ++i) system.Byte(0x08 + i, kUuid[i]);
  return system.WithStrings({"Maker", "Model", version, serial});
}
capture::Bytes SystemWithoutUuid(uint8_t length, const char* serial, const char* version = "1.0") {
  capture::Bytes system = System(length, serial, version);
  if (length >= 0x19) std::memset(system.data() + 0x08, 0, 16);
  return system;
}
// Type, length, the string fields (offset, string number), the strings.
capture::Bytes Part(uint8_t type, uint8_t length, std::initializer_list<std::pair<size_t, uint8_t>> fields,
                    std::initializer_list<const char*> strings) {
  StructureBuilder part(type, length, 2);
  for (const auto& field : fields) part.Byte(field.first, field.second);
  return part.WithStrings(strings);
}
capture::Bytes Battery(uint8_t length, uint16_t sbds, const char* serial) {
  StructureBuilder battery(22, length, 3);
  battery.Byte(0x04, 1).Byte(0x07, 2);
  if (length >= 0x12) battery.Word(0x10, sbds);
  return battery.WithStrings({"Rear", serial});
}

INSTANTIATE_TEST_SUITE_P(
    Types, RedactDump,
    ::testing::Values(
        RedactionCase{"SystemSerialAndUuid", {System(0x1B, "SN-1234")}, {SystemWithoutUuid(0x1B, "*******")}, 2},
        // SMBIOS 2.0: no UUID; the bytes after the length are the strings.
        RedactionCase{"SystemOfSmbios20", {System(0x08, "SN-1234")}, {System(0x08, "*******")}, 1},
        RedactionCase{"BoardAndEnclosure",
                      {Part(2, 0x0F, {{0x04, 1}, {0x07, 2}, {0x08, 3}}, {"Maker", "BSN-77", "Asset 5"}),
                       Part(3, 0x15, {{0x04, 1}, {0x07, 2}, {0x08, 3}}, {"Maker", "CSN-88", "Tag-9"})},
                      {Part(2, 0x0F, {{0x04, 1}, {0x07, 2}, {0x08, 3}}, {"Maker", "******", "*******"}),
                       Part(3, 0x15, {{0x04, 1}, {0x07, 2}, {0x08, 3}}, {"Maker", "******", "*****"})},
                      4},
        // A board of 8 bytes ends before its asset tag: byte 8 is the first string's.
        RedactionCase{"BoardWithoutAssetTag", {Part(2, 0x08, {{0x04, 1}, {0x07, 2}}, {"Maker", "BSN-77"})},
                      {Part(2, 0x08, {{0x04, 1}, {0x07, 2}}, {"Maker", "******"})}, 1},
        RedactionCase{"Processor",
                      {Part(4, 0x28, {{0x10, 1}, {0x20, 2}, {0x21, 3}, {0x22, 4}},
                            {"Intel(R) Xeon(R) CPU E5-2620", "PSN-1", "62B5CED09D1D555C", "Part 3"})},
                      {Part(4, 0x28, {{0x10, 1}, {0x20, 2}, {0x21, 3}, {0x22, 4}},
                            {"Intel(R) Xeon(R) CPU E5-2620", "*****", "****************", "Part 3"})},
                      2},
        // SMBIOS 2.2's processor ends at 1Ah, before its serial number and asset tag.
        RedactionCase{"ProcessorOfSmbios22", {Part(4, 0x1A, {{0x10, 1}}, {"Pentium III"})},
                      {Part(4, 0x1A, {{0x10, 1}}, {"Pentium III"})}, 0},
        RedactionCase{"MemoryDevice",
                      {Part(17, 0x28, {{0x10, 1}, {0x17, 2}, {0x18, 3}, {0x19, 4}, {0x1A, 5}},
                            {"DIMM_A1", "Samsung", "12BDBF5D", "00162030", "M393A2K40BB1"})},
                      {Part(17, 0x28, {{0x10, 1}, {0x17, 2}, {0x18, 3}, {0x19, 4}, {0x1A, 5}},
                            {"DIMM_A1", "Samsung", "********", "********", "M393A2K40BB1"})},
                      2},
        RedactionCase{"MemoryDeviceOfSmbios21", {Part(17, 0x15, {{0x10, 1}}, {"DIMM_A1"})},
                      {Part(17, 0x15, {{0x10, 1}}, {"DIMM_A1"})}, 0},
        RedactionCase{"BatterySerialAndSbdsWord", {Battery(0x1A, 0x084E, "BAT-42")}, {Battery(0x1A, 0, "******")}, 2},
        RedactionCase{"BatteryOfSmbios21", {Battery(0x10, 0, "BAT-42")}, {Battery(0x10, 0, "******")}, 1},
        RedactionCase{"PowerSupply",
                      {Part(39, 0x16, {{0x06, 1}, {0x08, 2}, {0x09, 3}, {0x0A, 4}},
                            {"PWR SPLY,750W", "PH1629861A00D8", "PSU-7", "0Y9VFC"})},
                      {Part(39, 0x16, {{0x06, 1}, {0x08, 2}, {0x09, 3}, {0x0A, 4}},
                            {"PWR SPLY,750W", "**************", "*****", "0Y9VFC"})},
                      2},
        // Copies in OEM strings, inactive and vendor structures, also inside a longer text.
        RedactionCase{"CopiesWhereNoFieldNamesTheString",
                      {System(0x08, "7XJ4B12"), Part(11, 0x05, {{0x04, 3}}, {"Dell System", "7XJ4B12", "Tag 7XJ4B12."}),
                       Part(126, 0x08, {{0x07, 1}}, {"7XJ4B12"}), Part(0xD0, 0x05, {}, {"SN 7XJ4B12 "})},
                      {System(0x08, "*******"), Part(11, 0x05, {{0x04, 3}}, {"Dell System", "*******", "Tag *******."}),
                       Part(126, 0x08, {{0x07, 1}}, {"*******"}), Part(0xD0, 0x05, {}, {"SN ******* "})},
                      5},
        // A placeholder in every field is blanked where it is an identifier's, and nowhere else: the table
        // gives it as the system version too.
        RedactionCase{"PlaceholdersStayElsewhere",
                      {System(0x08, "To Be Filled By O.E.M.", "To Be Filled By O.E.M."),
                       Part(11, 0x05, {{0x04, 1}}, {"To Be Filled By O.E.M."})},
                      {System(0x08, "**********************", "To Be Filled By O.E.M."),
                       Part(11, 0x05, {{0x04, 1}}, {"To Be Filled By O.E.M."})},
                      1},
        // An asset tag naming the processor's name string: that string is the processor row, a name.
        RedactionCase{"StringOfARowStays",
                      {Part(4, 0x23, {{0x10, 1}, {0x21, 1}}, {"Intel(R) Core(TM) i7-2600"}),
                       Part(11, 0x05, {{0x04, 1}}, {"Intel(R) Core(TM) i7-2600"})},
                      {Part(4, 0x23, {{0x10, 1}, {0x21, 1}}, {"Intel(R) Core(TM) i7-2600"}),
                       Part(11, 0x05, {{0x04, 1}}, {"Intel(R) Core(TM) i7-2600"})},
                      0},
        // A short identifier is blanked elsewhere only where it is a whole string.
        RedactionCase{"ShortIdentifier",
                      {Part(2, 0x08, {{0x07, 1}}, {"42"}), Part(11, 0x05, {{0x04, 2}}, {" 42", "Model 4200"})},
                      {Part(2, 0x08, {{0x07, 1}}, {"**"}), Part(11, 0x05, {{0x04, 2}}, {"***", "Model 4200"})},
                      2},
        // Copies in another letter case, and an identifier padded with a tab.
        RedactionCase{"CopiesInAnyCaseAndPadding",
                      {System(0x08, "\tSvc7XJ4B12 "), Part(11, 0x05, {}, {"tag svc7xj4b12", "SVC7XJ4B12\t"}),
                       Part(2, 0x08, {{0x07, 1}}, {"ab"}), Part(12, 0x05, {}, {" AB"})},
                      {System(0x08, "************"), Part(11, 0x05, {}, {"tag **********", "**********\t"}),
                       Part(2, 0x08, {{0x07, 1}}, {"**"}), Part(12, 0x05, {}, {"***"})},
                      5},
        // The UUID as text in an OEM string, in SMBIOS 2.6's byte order and in the one before it, any case.
        RedactionCase{"UuidAsText",
                      {System(0x19, "SN-1"), Part(11, 0x05, {}, {"uuid=04030201-0605-0807-090A-0B0C0D0E0F10;",
                                                                 "01020304-0506-0708-090a-0b0c0d0e0f10"})},
                      {SystemWithoutUuid(0x19, "****"),
                       Part(11, 0x05, {}, {"uuid=************************************;",
                                           "************************************"})},
                      4},
        // Structures a driver serves after the end-of-table structure.
        RedactionCase{"AfterTheEndOfTable",
                      {StructureBuilder(127, 4, 0xFEFE).WithStrings(), Part(2, 0x08, {{0x07, 1}}, {"BSN-77"}),
                       Part(11, 0x05, {}, {"BSN-77"})},
                      {StructureBuilder(127, 4, 0xFEFE).WithStrings(), Part(2, 0x08, {{0x07, 1}}, {"******"}),
                       Part(11, 0x05, {}, {"******"})},
                      2}),
    CaseName);

struct FolderCase {
  std::vector<std::wstring> names;
  bool notesAreOurs;
  capture::FolderContents expected;
};

class ClassifyFolder : public ::testing::TestWithParam<FolderCase> {};

// A capture replaces only what it could have written itself.
TEST_P(ClassifyFolder, TakesOnlyAnEarlierCaptureOrNothing) {
  EXPECT_EQ(GetParam().expected, capture::ClassifyFolder(GetParam().names, GetParam().notesAreOurs));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ClassifyFolder,
    ::testing::Values(FolderCase{{}, false, capture::FolderContents::kEmpty},
                      FolderCase{{L"capture.txt", L"smbios.bin", L"WMI.INI", L"firmware-table"}, true,
                                 capture::FolderContents::kEarlierCapture},
                      FolderCase{{L"capture.txt", L"summary.txt", L"notes.txt"}, true, capture::FolderContents::kOther},
                      FolderCase{{L"capture.txt", L"summary.txt"}, false, capture::FolderContents::kOther},
                      // The user's own summary and registry file, or a folder of the system.
                      FolderCase{{L"summary.txt", L"registry.reg"}, false, capture::FolderContents::kOther},
                      FolderCase{{L"oeminfo.ini", L"drivers"}, false, capture::FolderContents::kOther}));

TEST(CaptureFolders, NameTheirWorkFoldersAfterTheirProcess) {
  EXPECT_TRUE(capture::NotesAreOurs("KCCCapture 2.1.0.11080\r\nDate: "));
  EXPECT_FALSE(capture::NotesAreOurs("My notes"));
  EXPECT_EQ(L"KCCCapture 2024-05-31 04-05-09", capture::DatedFolderName(2024, 5, 31, 4, 5, 9));

  using capture::WorkFolder;
  uint32_t pid = 0;
  WorkFolder kind = WorkFolder::kEarlier;
  EXPECT_EQ(L"cap.kcccapture-1234", capture::WorkFolderName(L"cap", 1234, WorkFolder::kWriting));
  ASSERT_TRUE(capture::ParseWorkFolderName(L"cap.kcccapture-1234", L"cap", pid, kind));
  EXPECT_EQ(1234u, pid);
  EXPECT_EQ(WorkFolder::kWriting, kind);
  for (WorkFolder each : {WorkFolder::kWriting, WorkFolder::kMovingIn, WorkFolder::kEarlier}) {
    ASSERT_TRUE(capture::ParseWorkFolderName(capture::WorkFolderName(L"a.b", 4294967295u, each), L"A.B", pid, kind));
    EXPECT_EQ(4294967295u, pid);
    EXPECT_EQ(each, kind);
  }
  // Another folder's, and names that only look alike.
  for (const wchar_t* name : {L"cap2.kcccapture-1", L"cap.kcccapture-", L"cap.kcccapture--earlier",
                              L"cap.kcccapture--moving", L"cap.kcccapture-12x", L"cap.kcccapture-1-moving-earlier",
                              L"cap.kcccapture-99999999999", L"cap.zip"})
    EXPECT_FALSE(capture::ParseWorkFolderName(name, L"cap", pid, kind)) << name;
}

// Whether the capture that left a folder still runs: a process that cannot be opened for any reason but that
// there is none (another user's: access denied) is taken as running.
TEST(CaptureFolders, TakeACaptureTheyCannotOpenAsRunning) {
  EXPECT_TRUE(capture::CaptureRunning(true, false, 0));
  EXPECT_FALSE(capture::CaptureRunning(true, true, 0));
  EXPECT_TRUE(capture::CaptureRunning(false, false, 5)); // ERROR_ACCESS_DENIED
  EXPECT_FALSE(capture::CaptureRunning(false, false, 87)); // ERROR_INVALID_PARAMETER: no such process
}

struct LeftoverCase {
  const char* name;
  bool running;
  capture::Leftovers found; // writing, moving in, moving in with capture.txt, earlier
  bool targetExists;
  capture::LeftoverPlan plan;
};

class PlanLeftovers : public ::testing::TestWithParam<LeftoverCase> {};

// What an ended capture left: the earlier capture goes back wherever the new one was not complete in its place.
TEST_P(PlanLeftovers, PutTheEarlierCaptureBackUnlessTheNewOneIsInPlace) {
  EXPECT_EQ(GetParam().plan, capture::PlanLeftovers(GetParam().running, GetParam().found, GetParam().targetExists));
}

std::string LeftoverName(const ::testing::TestParamInfo<LeftoverCase>& info) { return info.param.name; }

using Plan = capture::LeftoverPlan;
INSTANTIATE_TEST_SUITE_P(
    Leftovers, PlanLeftovers,
    ::testing::Values(LeftoverCase{"Running", true, {true, false, false, true}, true, Plan::kLeave},
                      LeftoverCase{"KilledWhileWriting", false, {true, false, false, false}, true, Plan::kRemove},
                      LeftoverCase{"KilledWhileSettingTheEarlierAside", false, {true, false, false, true}, true,
                                   Plan::kPutEarlierBack},
                      // Between the two renames of a folder swapped whole, as captures did before.
                      LeftoverCase{"KilledBetweenTwoRenames", false, {true, false, false, true}, false,
                                   Plan::kPutEarlierBack},
                      LeftoverCase{"KilledWhileMovingIn", false, {false, true, true, true}, true, Plan::kUndoMoveIn},
                      LeftoverCase{"KilledWhileMovingIntoAnEmptyFolder", false, {false, true, true, false}, true,
                                   Plan::kUndoMoveIn},
                      LeftoverCase{"KilledOnceMovedIn", false, {false, true, false, true}, true, Plan::kRemove},
                      LeftoverCase{"KilledWhileRemovingTheEarlier", false, {false, false, false, true}, true,
                                   Plan::kRemove},
                      LeftoverCase{"EarlierAloneWithNothingInItsPlace", false, {false, false, false, true}, false,
                                   Plan::kPutEarlierBack}),
    LeftoverName);

struct OptionsCase {
  std::vector<std::wstring> arguments;
  const wchar_t* folder;
  bool redact, summary, json, usage;
};

class ParseOptions : public ::testing::TestWithParam<OptionsCase> {};

// Options as the program's switches: / or -, any case; nothing else that starts so is ever a folder.
TEST_P(ParseOptions, TakesOptionsAsTheProgramsSwitches) {
  const OptionsCase& c = GetParam();
  const capture::Options options = capture::ParseOptions(c.arguments);
  EXPECT_EQ(c.usage, options.usage);
  if (c.usage) {
    EXPECT_FALSE(options.refused.empty());
    return;
  }
  EXPECT_EQ(c.folder, options.folder);
  EXPECT_EQ(c.redact, options.redact);
  EXPECT_EQ(c.summary, options.summary);
  EXPECT_EQ(c.json, options.json);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParseOptions,
    ::testing::Values(OptionsCase{{}, L"", false, false, false, false},
                      OptionsCase{{L"C:\\cap", L"/redact"}, L"C:\\cap", true, false, false, false},
                      OptionsCase{{L"-REDACT", L"D:\\x"}, L"D:\\x", true, false, false, false},
                      OptionsCase{{L"/Summary", L"-json", L"/Redact"}, L"", true, true, true, false},
                      OptionsCase{{L".\\-redact"}, L".\\-redact", false, false, false, false},
                      OptionsCase{{L"--redact"}, L"", false, false, false, true},
                      OptionsCase{{L"-redact", L"/frobnicate"}, L"", false, false, false, true},
                      OptionsCase{{L"/json"}, L"", false, false, false, true},
                      OptionsCase{{L"/summary", L"C:\\cap"}, L"", false, false, false, true},
                      OptionsCase{{L"one", L"two"}, L"", false, false, false, true},
                      OptionsCase{{L""}, L"", false, false, false, true},
                      OptionsCase{{L"-"}, L"", false, false, false, true}));

TEST(JsonString, EscapesAllButPrintableAscii) {
  EXPECT_EQ(L"\"\"", capture::JsonString(L""));
  EXPECT_EQ(L"\"Dell Inc.\"", capture::JsonString(L"Dell Inc."));
  EXPECT_EQ(L"\"a\\\"b\\\\c\"", capture::JsonString(L"a\"b\\c"));
  EXPECT_EQ(L"\"\\u0009\\u000a\\u007f\"", capture::JsonString(L"\t\n\x7f"));
  EXPECT_EQ(L"\"\\u65e5\\u672c \\u00e9\"", capture::JsonString(L"\u65e5\u672c \u00e9"));
  // Outside the basic plane: its UTF-16 pair, whatever the width of wchar_t.
  EXPECT_EQ(L"\"\\ud83d\\ude00\"", capture::JsonString(std::wstring(L"\U0001F600")));
}

struct OemInfoCase {
  const char* name;
  capture::Bytes file;
  capture::Bytes kept;
};

class RedactOemInfo : public ::testing::TestWithParam<OemInfoCase> {};

// Only the lines the program reads, in the file's encoding, byte for byte.
TEST_P(RedactOemInfo, KeepsOnlyTheGeneralManufacturerAndModel) {
  EXPECT_EQ(GetParam().kept, capture::RedactOemInfo(GetParam().file));
}

std::string OemName(const ::testing::TestParamInfo<OemInfoCase>& info) { return info.param.name; }

capture::Bytes Ansi(const std::string& text) { return capture::Bytes(text.begin(), text.end()); }
capture::Bytes Utf8(const std::string& text) { return Ansi("\xEF\xBB\xBF" + text); }
// ASCII text as UTF-16, little- or big-endian, with or without its mark.
capture::Bytes Utf16(const std::string& text, bool mark = true, bool big = false) {
  capture::Bytes bytes;
  if (mark) bytes = big ? capture::Bytes{0xFE, 0xFF} : capture::Bytes{0xFF, 0xFE};
  for (char c : text) {
    bytes.push_back(big ? 0 : static_cast<uint8_t>(c));
    bytes.push_back(big ? static_cast<uint8_t>(c) : 0);
  }
  return bytes;
}

const char kOemFile[] = "[General]\r\nManufacturer=Varnel Corporation\r\nSupportURL=https://example.com\r\n"
                        "Model=KIVO X90\r\n[Support Information]\r\nLine1=Serial 7XK2H53\r\nModel=Not this\r\n";
const char kOemKept[] = "[General]\r\nManufacturer=Varnel Corporation\r\nModel=KIVO X90\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, RedactOemInfo,
    ::testing::Values(OemInfoCase{"Utf16", Utf16(kOemFile), Utf16(kOemKept)},
                      OemInfoCase{"Utf16BigEndian", Utf16(kOemFile, true, true), Utf16(kOemKept, true, true)},
                      OemInfoCase{"Utf16WithoutMark", Utf16(kOemFile, false), Utf16(kOemKept, false)},
                      OemInfoCase{"Utf8", Utf8(kOemFile), Utf8(kOemKept)},
                      OemInfoCase{"Ansi", Ansi(kOemFile), Ansi(kOemKept)},
                      // A section further down stays off the first line, where a mark read as text would be.
                      OemInfoCase{"Utf8SectionFurtherDown", Utf8("; imaged 2024\r\n[general]\r\n  model = X \r\nSerial=1\r\n"),
                                  Utf8("\r\n[general]\r\n  model = X \r\n")},
                      // Every [General] section, any spacing and case, line feeds alone, 8-bit text, no last line
                      // feed; a key that only looks alike stays out.
                      OemInfoCase{"SectionsTwice",
                                  Ansi("[General]\nManufacturer=Caf\xE9\nMod\xE9l=1\n[Other]\nModel=No\n[ GENERAL ]\n"
                                       "\tMODEL\t= Yes"),
                                  Ansi("[General]\nManufacturer=Caf\xE9\n[ GENERAL ]\n\tMODEL\t= Yes\n")},
                      OemInfoCase{"NoGeneral", Utf16("[Support Information]\r\nLine1=x\r\n"), Utf16("")},
                      OemInfoCase{"Empty", {}, {}}),
    OemName);
#ifdef KCC_REAL_TABLES
capture::Bytes RealTable(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return capture::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What the program reads from a table, walked through the driver's requests as the dialog walks it.
struct Rows {
  std::wstring manufacturer, product, version, serial, bios, processor;
  uint16_t speed;
  int32_t memory, cache;
  int status;
};
Rows Walk(const capture::Bytes& dump) {
  tablebuilder::Driver device(dump);
  CMachineInfo info;
  const int status = info.WalkTable(device);
  return {info.m_strSysManufacturer, info.m_strSysProductName, info.m_strSysVersion, info.m_strSysSerialNumber,
          info.m_strBiosVersion, info.m_strCpuVersion, info.m_wCpuSpeed, info.m_nMemoryMB, info.m_nCacheKB, status};
}
#endif

// Every real table redacted: the program reads the same rows from it but the serial number, whose place holds
// as many asterisks (unless a row's string is the serial number's too); and no structure moves.
TEST(RedactRealTables, KeepEveryRowButTheSerialNumber) {
#ifndef KCC_REAL_TABLES
  GTEST_SKIP() << "the real tables are read by the native build";
#else
  const std::filesystem::path folder = KCC_REAL_TABLES;
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no real tables in " << folder << " (../shared)";
  unsigned tables = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".bin") continue;
    SCOPED_TRACE(entry.path().filename().string());
    capture::Bytes dump = RealTable(entry.path());
    const capture::Bytes original = dump;
    capture::RedactDump(dump);
    ++tables;
    ASSERT_EQ(original.size(), dump.size());
    DmiImage before{}, after{};
    ASSERT_TRUE(LocateDmiTable(original.data(), original.size(), &before));
    ASSERT_TRUE(LocateDmiTable(dump.data(), dump.size(), &after));
    EXPECT_EQ(CountDmiStructures(before.table, before.size), CountDmiStructures(after.table, after.size));
    const Rows machine = Walk(original), redacted = Walk(dump);
    EXPECT_EQ(machine.manufacturer, redacted.manufacturer);
    EXPECT_EQ(machine.product, redacted.product);
    EXPECT_EQ(machine.version, redacted.version);
    EXPECT_EQ(machine.bios, redacted.bios);
    EXPECT_EQ(machine.processor, redacted.processor);
    EXPECT_EQ(machine.speed, redacted.speed);
    EXPECT_EQ(machine.memory, redacted.memory);
    EXPECT_EQ(machine.cache, redacted.cache);
    EXPECT_EQ(machine.status, redacted.status);
    // Kept only where a row's string may be the same string.
    const bool asRow = machine.serial == machine.version || machine.serial == machine.product ||
                       machine.serial == machine.manufacturer;
    EXPECT_TRUE(redacted.serial == std::wstring(machine.serial.size(), L'*') ||
                (asRow && redacted.serial == machine.serial))
        << redacted.serial;
  }
  EXPECT_GE(tables, 150u);
#endif
}

// Two servers whose processors' and modules' identifiers dmidecode lists: none of them is left in the table.
TEST(RedactRealTables, LeaveNoIdentifierOfAServer) {
#ifndef KCC_REAL_TABLES
  GTEST_SKIP() << "the real tables are read by the native build";
#else
  struct Server {
    const char* file;
    std::vector<std::string> identifiers; // each serial number and asset tag, as dmidecode --from-dump gives it
  };
  const Server servers[] = {
      {"dell-poweredge-r630.bin",
       {"790H8D2", ".790H8D2.CN7475162M0382.", "12BDBF5D", "12BDC045", "00162030", "PH1629861A00D8",
        "PH1629861A00DA"}},
      {"supermicro-x9dbl.bin",
       {"9000116105", "VM147S018307", "62B5CED09D1D555C", "15C774EB", "15C774EF", "32730705", "5F730705",
        "ADEE0705", "AEEE0705", "Dimm0_AssetTag", "Dimm1_AssetTag", "Dimm2_AssetTag"}},
  };
  const std::filesystem::path folder = KCC_REAL_TABLES;
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no real tables in " << folder << " (../shared)";
  for (const Server& server : servers) {
    SCOPED_TRACE(server.file);
    capture::Bytes dump = RealTable(folder / server.file);
    ASSERT_FALSE(dump.empty());
    const std::string before(dump.begin(), dump.end());
    EXPECT_LE(server.identifiers.size(), capture::RedactDump(dump));
    const std::string after(dump.begin(), dump.end());
    for (const std::string& identifier : server.identifiers) {
      EXPECT_NE(std::string::npos, before.find(identifier)) << identifier;
      EXPECT_EQ(std::string::npos, after.find(identifier)) << identifier;
    }
  }
#endif
}

} // namespace

