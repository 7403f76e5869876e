// Native tests of the WMI fixture format: decoding, values, WQL, sections and selection.
#include "tools/wmifixture/fixture_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

namespace wmifixture {
namespace {

Query From(std::u16string className) {
  Query query;
  query.className = std::move(className);
  return query;
}

// --- decoding

TEST(FixtureDecode, Utf8WithBomKeepsJapanese) {
  // "日本" in UTF-8 after the BOM.
  EXPECT_EQ(u"a=\u65E5\u672C", DecodeText("\xEF\xBB\xBF" "a=\xE6\x97\xA5\xE6\x9C\xAC"));
}

TEST(FixtureDecode, Utf16LittleAndBigEndian) {
  EXPECT_EQ(u"A\u65E5", DecodeText(std::string("\xFF\xFE" "A\0\xE5\x65", 6)));
  EXPECT_EQ(u"A\u65E5", DecodeText(std::string("\xFE\xFF" "\0A\x65\xE5", 6)));
}

TEST(FixtureDecode, OddTrailingByteOfUtf16IsDropped) {
  EXPECT_EQ(u"A", DecodeText(std::string("\xFF\xFE" "A\0B", 5)));
}

TEST(FixtureDecode, WithoutBomUtf8IsAssumed) { EXPECT_EQ(u"x=\u00E9", DecodeText("x=\xC3\xA9")); }

TEST(FixtureDecode, FourByteSequenceBecomesSurrogatePair) {
  EXPECT_EQ(std::u16string(u"\xD83D\xDE00"), DecodeText("\xF0\x9F\x98\x80"));
}

struct BadUtf8 {
  const char* bytes;
  std::u16string expected;
};

class FixtureDecodeInvalid : public ::testing::TestWithParam<BadUtf8> {};

TEST_P(FixtureDecodeInvalid, EachBadByteBecomesReplacement) {
  EXPECT_EQ(GetParam().expected, DecodeText(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(Sequences, FixtureDecodeInvalid,
                         ::testing::Values(BadUtf8{"\x80", u"\uFFFD"},            // lone continuation
                                           BadUtf8{"\xC0\xAF", u"\uFFFD\uFFFD"},  // overlong '/'
                                           BadUtf8{"\xE6\x97", u"\uFFFD\uFFFD"},  // truncated at the end
                                           BadUtf8{"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // surrogate
                                           BadUtf8{"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                                           BadUtf8{"\xE6x", u"\uFFFDx"}));

// --- values

struct ValueCase {
  std::u16string text;
  bool valid;
  ValueType type;
  int64_t number;
  std::u16string bstr;
};

class FixtureValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FixtureValue, ParsesTypeTagAndValue) {
  const ValueCase& c = GetParam();
  const std::optional<Value> value = ParseValue(c.text);
  ASSERT_EQ(c.valid, value.has_value());
  if (!value) return;
  EXPECT_EQ(c.type, value->type);
  EXPECT_EQ(c.number, value->number);
  EXPECT_EQ(c.bstr, value->text);
}

constexpr int64_t kI64Min = std::numeric_limits<int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Tags, FixtureValue,
    ::testing::Values(
        ValueCase{u"VT_BSTR:536870912", true, ValueType::Bstr, 0, u"536870912"},
        ValueCase{u"VT_BSTR:", true, ValueType::Bstr, 0, u""},
        ValueCase{u"VT_BSTR:a:b = c", true, ValueType::Bstr, 0, u"a:b = c"},
        ValueCase{u"VT_BSTR:  padded", true, ValueType::Bstr, 0, u"  padded"},
        ValueCase{u"VT_BSTR:\"O41    \"", true, ValueType::Bstr, 0, u"O41    "},
        ValueCase{u"VT_BSTR:\"\"", true, ValueType::Bstr, 0, u""},
        ValueCase{u"VT_BSTR:\"\"quoted\"\"", true, ValueType::Bstr, 0, u"\"quoted\""},
        ValueCase{u"VT_BSTR:\"", true, ValueType::Bstr, 0, u"\""},
        ValueCase{u"vt_bstr:lower tag", true, ValueType::Bstr, 0, u"lower tag"},
        ValueCase{u"VT_I2:-5", true, ValueType::I2, -5, u""},
        ValueCase{u"VT_I2:32767", true, ValueType::I2, 32767, u""},
        ValueCase{u"VT_I2:-32768", true, ValueType::I2, -32768, u""},
        ValueCase{u"VT_I2:32768", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_I4:42", true, ValueType::I4, 42, u""},
        ValueCase{u"VT_I4: +1536 ", true, ValueType::I4, 1536, u""},
        ValueCase{u"VT_I4:2147483648", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_I4:12abc", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_I4:", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_I8:8589934592", true, ValueType::I8, 8589934592, u""},
        ValueCase{u"VT_I8:-9223372036854775808", true, ValueType::I8, kI64Min, u""},
        ValueCase{u"VT_I8:9223372036854775808", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_I8:99999999999999999999999", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_BOOL:true", true, ValueType::Bool, 1, u""},
        ValueCase{u"VT_BOOL:FALSE", true, ValueType::Bool, 0, u""},
        ValueCase{u"VT_BOOL:1", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_NULL", true, ValueType::Null, 0, u""},
        ValueCase{u"VT_NULL:", true, ValueType::Null, 0, u""},
        ValueCase{u"VT_NULL:x", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_UI1:255", true, ValueType::UI1, 255, u""},
        ValueCase{u"VT_UI1:256", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_UI1_ARRAY:", true, ValueType::UI1Array, 0, u""},
        ValueCase{u"VT_UI1_ARRAY:0 1", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_UI1_ARRAY:abc", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_UI1_ARRAY:0g", false, ValueType::Null, 0, u""},
        ValueCase{u"VT_R8:1.5", false, ValueType::Null, 0, u""},
        ValueCase{u"536870912", false, ValueType::Null, 0, u""},
        ValueCase{u"", false, ValueType::Null, 0, u""}));

// --- queries

struct QueryCase {
  std::u16string text;
  bool valid;
  std::u16string className;
  bool filtered;
  std::u16string property;
  int64_t value;
};

class FixtureQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(FixtureQuery, ParsesSelectFromWhere) {
  const QueryCase& c = GetParam();
  const std::optional<Query> query = ParseQuery(c.text);
  ASSERT_EQ(c.valid, query.has_value()) << "query parsed wrongly";
  if (!query) return;
  EXPECT_EQ(c.className, query->className);
  EXPECT_EQ(c.filtered, query->filtered);
  EXPECT_EQ(c.property, query->property);
  EXPECT_EQ(c.value, query->value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FixtureQuery,
    ::testing::Values(QueryCase{u"Select * From Win32_BIOS", true, u"Win32_BIOS", false, u"", 0},
                      QueryCase{u"Select * From  Win32_BIOS", true, u"Win32_BIOS", false, u"", 0},
                      QueryCase{u"SELECT * FROM win32_bios  ", true, u"win32_bios", false, u"", 0},
                      QueryCase{u"select *from Win32_BIOS", true, u"Win32_BIOS", false, u"", 0},
                      QueryCase{u"Select * From Win32_CacheMemory Where level = 4", true, u"Win32_CacheMemory", true,
                                u"level", 4},
                      QueryCase{u"Select * From X where Level=-3", true, u"X", true, u"Level", -3},
                      QueryCase{u"Select * From Win32_BIOS Where", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS Where level", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS Where level = ", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS Where level = 4x", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS Where level = 'a'", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS Where level = 4 and x = 1", false, u"", false, u"", 0},
                      QueryCase{u"Select * From Win32_BIOS extra", false, u"", false, u"", 0},
                      QueryCase{u"Select Name From Win32_BIOS", false, u"", false, u"", 0},
                      QueryCase{u"Select * From ", false, u"", false, u"", 0},
                      QueryCase{u"Select * FromWin32_BIOS", false, u"", false, u"", 0},
                      QueryCase{u"Selectx * From Win32_BIOS", false, u"", false, u"", 0},
                      QueryCase{u"", false, u"", false, u"", 0}));

// --- sections and selection

const char16_t kSample[] = u"[Win32_PhysicalMemory#1]\r\n"
                           u"Capacity=VT_BSTR:1073741824\r\n"
                           u"[Win32_PhysicalMemory#0]\r\n"
                           u"Capacity=VT_BSTR:536870912\r\n"
                           u"[Win32_CacheMemory#0]\r\n"
                           u"Level=VT_I4:4\r\n"
                           u"MaxCacheSize=VT_I4:1536\r\n"
                           u"[Win32_CacheMemory#1]\r\n"
                           u"Level=VT_I4:3\r\n"
                           u"MaxCacheSize=VT_I4:64\r\n"
                           u"[Win32_CacheMemory#2]\r\n"
                           u"level=VT_BSTR:4\r\n"
                           u"MaxCacheSize=VT_I4:512\r\n"
                           u"[Win32_OperatingSystem#0]\r\n"
                           u"Caption=VT_BSTR:Microsoft Windows XP Professional\r\n"
                           u"CSDVersion=VT_NULL\r\n";

TEST(FixtureSections, InstancesComeInNumberOrder) {
  const Fixture fixture = Fixture::FromText(kSample);
  const auto memory = fixture.Select(From(u"Win32_PhysicalMemory"));
  ASSERT_EQ(2u, memory.size());
  EXPECT_EQ(u"536870912", memory[0]->Find(u"Capacity")->value.text);
  EXPECT_EQ(u"1073741824", memory[1]->Find(u"Capacity")->value.text);
}

TEST(FixtureSections, ClassAndPropertyNamesIgnoreCase) {
  const Fixture fixture = Fixture::FromText(kSample);
  const auto os = fixture.Select(From(u"WIN32_operatingsystem"));
  ASSERT_EQ(1u, os.size());
  EXPECT_EQ(u"Win32_OperatingSystem", os[0]->className);
  ASSERT_NE(nullptr, os[0]->Find(u"csdversion"));
  EXPECT_EQ(ValueType::Null, os[0]->Find(u"csdversion")->value.type);
  EXPECT_EQ(nullptr, os[0]->Find(u"Version"));
}

TEST(FixtureSections, ClassWithoutSectionHasNoInstances) {
  EXPECT_TRUE(Fixture::FromText(kSample).Select(From(u"Win32_BIOS")).empty());
}

TEST(FixtureSections, WhereFiltersOnIntegerValueOfAnyIntegerTypeOrDecimalText) {
  const Fixture fixture = Fixture::FromText(kSample);
  const std::optional<Query> query = ParseQuery(u"Select * From Win32_CacheMemory Where level = 4");
  ASSERT_TRUE(query);
  const auto level4 = fixture.Select(*query);
  ASSERT_EQ(2u, level4.size());
  EXPECT_EQ(1536, level4[0]->Find(u"MaxCacheSize")->value.number);
  EXPECT_EQ(512, level4[1]->Find(u"MaxCacheSize")->value.number);
  EXPECT_TRUE(fixture.Select(*ParseQuery(u"Select * From Win32_CacheMemory Where level = 5")).empty());
  // Instances without the property never match.
  EXPECT_TRUE(fixture.Select(*ParseQuery(u"Select * From Win32_PhysicalMemory Where level = 4")).empty());
}

TEST(FixtureSections, FailSectionKeysWhateverTheirValue) {
  const Fixture quiet = Fixture::FromText(kSample);
  EXPECT_FALSE(quiet.FailsConnectServer());
  EXPECT_FALSE(quiet.FailsProxyBlanket());
  EXPECT_FALSE(quiet.FailsExecQuery(u"Win32_BIOS"));

  const Fixture failing = Fixture::FromText(u"[FAIL]\nconnectserver=\nProxyBlanket=no\nExecQuery= Win32_BIOS , ,win32_os\n");
  EXPECT_TRUE(failing.FailsConnectServer());
  EXPECT_TRUE(failing.FailsProxyBlanket());
  EXPECT_TRUE(failing.FailsExecQuery(u"win32_bios"));
  EXPECT_TRUE(failing.FailsExecQuery(u"Win32_OS"));
  EXPECT_FALSE(failing.FailsExecQuery(u""));
  EXPECT_FALSE(failing.FailsExecQuery(u"Win32_BIOS2"));
}

TEST(FixtureSections, ByteArraysAndTheirNamespace) {
  const Fixture fixture = Fixture::FromText(u"[root\\WMI\\MSSmBios_RawSMBiosTables#0]\n"
                                            u"SMBiosData=VT_UI1_ARRAY:00 7F ff0A\nSmbiosMajorVersion=VT_UI1:3\n"
                                            u"[Win32_BIOS#0]\nSerialNumber=VT_BSTR:1\n");
  const auto raw = fixture.Select(From(u"mssmbios_rawsmbiostables"), u"ROOT\\wmi");
  ASSERT_EQ(1u, raw.size());
  EXPECT_EQ(u"MSSmBios_RawSMBiosTables", raw[0]->className);
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x7F, 0xFF, 0x0A}), raw[0]->Find(u"SMBiosData")->value.bytes);
  EXPECT_EQ(3, raw[0]->Find(u"SmbiosMajorVersion")->value.number);
  // Each class in its own namespace only; none named is root\cimv2.
  EXPECT_TRUE(fixture.Select(From(u"MSSmBios_RawSMBiosTables")).empty());
  EXPECT_TRUE(fixture.Select(From(u"Win32_BIOS"), u"root\\WMI").empty());
  EXPECT_EQ(1u, fixture.Select(From(u"Win32_BIOS"), u"root\\CIMV2").size());
}

TEST(FixtureSections, HangSectionSaysWhereWmiStopsAnswering) {
  const Fixture quiet = Fixture::FromText(kSample);
  EXPECT_FALSE(quiet.HangsConnectServer() || quiet.HangsExecQuery(u"Win32_BIOS") || quiet.HangsNext(u"Win32_BIOS"));
  const Fixture hung = Fixture::FromText(u"[hang]\nConnectServer=yes\nExecQuery=Win32_BIOS\nNext=win32_cachememory\n"
                                         u"ProxyBlanket=yes\n");
  EXPECT_TRUE(hung.HangsConnectServer());
  EXPECT_FALSE(hung.FailsConnectServer()) << "hanging is not failing";
  EXPECT_TRUE(hung.HangsExecQuery(u"WIN32_BIOS"));
  EXPECT_FALSE(hung.HangsNext(u"Win32_BIOS"));
  EXPECT_TRUE(hung.HangsNext(u"Win32_CacheMemory"));
  EXPECT_FALSE(hung.FailsProxyBlanket()) << "a blanket fails, it does not hang";
}

TEST(FixtureSections, UnparsablePartsAreAbsent) {
  const Fixture fixture = Fixture::FromText(u"Orphan=VT_I4:1\n"
                                            u"[Broken#0\n"
                                            u"Lost=VT_I4:1\n"
                                            u"[NoNumber]\nA=VT_I4:1\n"
                                            u"[Bad#x]\nA=VT_I4:1\n"
                                            u"[#0]\nA=VT_I4:1\n"
                                            u"[Good#0]\n"
                                            u"; a comment=VT_I4:1\n"
                                            u"no equals sign\n"
                                            u"=VT_I4:1\n"
                                            u"Bad=VT_I4:x\n"
                                            u"Ok=VT_I4:7\n"
                                            u"Ok=VT_I4:8\n"
                                            u"  Spaced  =  VT_BSTR:text  \n"
                                            u"Kept=VT_BSTR:\"  O41    \"  \n");
  EXPECT_TRUE(fixture.Select(From(u"Broken")).empty());
  EXPECT_TRUE(fixture.Select(From(u"NoNumber")).empty());
  EXPECT_TRUE(fixture.Select(From(u"Bad")).empty());
  const auto good = fixture.Select(From(u"Good"));
  ASSERT_EQ(1u, good.size());
  EXPECT_EQ(nullptr, good[0]->Find(u"Bad"));
  EXPECT_EQ(nullptr, good[0]->Find(u"Lost"));
  ASSERT_NE(nullptr, good[0]->Find(u"Ok"));
  EXPECT_EQ(7, good[0]->Find(u"Ok")->value.number) << "the first line of a name wins";
  ASSERT_NE(nullptr, good[0]->Find(u"Spaced"));
  EXPECT_EQ(u"text", good[0]->Find(u"Spaced")->value.text);
  ASSERT_NE(nullptr, good[0]->Find(u"Kept"));
  EXPECT_EQ(u"  O41    ", good[0]->Find(u"Kept")->value.text) << "quotes keep the spaces the line's trimming drops";
  EXPECT_EQ(3u, good[0]->properties.size());
}

TEST(FixtureSections, RepeatedSectionMergesKeys) {
  const Fixture fixture = Fixture::FromText(u"[C#0]\nA=VT_I4:1\n[c#0]\nA=VT_I4:2\nB=VT_I4:3\n");
  const auto instances = fixture.Select(From(u"C"));
  ASSERT_EQ(1u, instances.size());
  EXPECT_EQ(1, instances[0]->Find(u"A")->value.number);
  EXPECT_EQ(3, instances[0]->Find(u"B")->value.number);
}

TEST(FixtureSections, Utf16FileWithJapaneseValue) {
  std::u16string text = u"[Win32_ComputerSystem#0]\r\nManufacturer=VT_BSTR:\u65E5\u672C\u96FB\u6C17\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  const Fixture fixture = Fixture::FromBytes(bytes);
  const auto cs = fixture.Select(From(u"Win32_ComputerSystem"));
  ASSERT_EQ(1u, cs.size());
  EXPECT_EQ(u"\u65E5\u672C\u96FB\u6C17", cs[0]->Find(u"Manufacturer")->value.text);
}

TEST(FixtureSections, LargeSectionNumbersKeepTheirOrder) {
  const Fixture fixture = Fixture::FromText(u"[C#999999999]\nA=VT_I4:2\n[C#10]\nA=VT_I4:1\n[C#1000000000]\nA=VT_I4:3\n");
  const auto instances = fixture.Select(From(u"C"));
  ASSERT_EQ(2u, instances.size()) << "a number of ten digits is refused";
  EXPECT_EQ(1, instances[0]->Find(u"A")->value.number);
  EXPECT_EQ(2, instances[1]->Find(u"A")->value.number);
}

TEST(FixtureSections, RandomBytesNeverBreakTheParser) {
  std::mt19937 random(1234);
  const std::string alphabet = "[]#=:;,\r\n VT_BSTRI248OLNUfail0123456789\xEF\xBB\xBF\xFF\xFE\x80\xC3";
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const size_t length = random() % 200;
    for (size_t i = 0; i < length; ++i)
      bytes += round % 2 ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
    const Fixture fixture = Fixture::FromBytes(bytes);
    for (const Instance* instance : fixture.Select(From(u"VT")))
      EXPECT_FALSE(instance->className.empty());
  }
}

} // namespace
} // namespace wmifixture
