// SMBIOS parsing: string lookup, the fields of types 0, 1, 4, 6 and 7, and data that does not hold together.
#include "sources/machine_info.h"

#include <gtest/gtest.h>

#include "tests/sources/smbios_bytes.h"

namespace {

using kcctest::Bytes;
using kcctest::Structure;

// Parses a structure held in a buffer of exactly its own size, so that AddressSanitizer sees any
// read past it.
class Parsed {
public:
  explicit Parsed(const Bytes& bytes) : m_bytes(bytes) {}
  std::optional<SmbiosStructure> View() const { return SmbiosStructure::At(m_bytes.data(), m_bytes.size()); }
  void Into(CMachineInfo& info) const {
    const std::optional<SmbiosStructure> structure = View();
    ASSERT_TRUE(structure.has_value());
    info.DispatchStructure(*structure);
  }

private:
  Bytes m_bytes;
};

std::optional<std::string> StringOf(const std::string& set, unsigned number) {
  const std::optional<std::string_view> found = CMachineInfo::GetDmiString(set, number);
  if (!found) return std::nullopt;
  return std::string(*found);
}

TEST(DmiString, NumbersCountFromOne) {
  const std::string set("first\0second\0third\0\0", 20);
  EXPECT_EQ(std::nullopt, StringOf(set, 0));
  EXPECT_EQ("first", StringOf(set, 1));
  EXPECT_EQ("second", StringOf(set, 2));
  EXPECT_EQ("third", StringOf(set, 3));
  EXPECT_EQ(std::nullopt, StringOf(set, 4)); // past the last: the final NUL is reached
  EXPECT_EQ(std::nullopt, StringOf(set, 255));
}

TEST(DmiString, StringOneOfAnEmptySetIsEmpty) {
  const std::string set("\0\0", 2);
  EXPECT_EQ("", StringOf(set, 1));
  EXPECT_EQ(std::nullopt, StringOf(set, 2));
}

TEST(DmiString, OnlyStringsEndingInsideTheBufferExist) {
  EXPECT_EQ(std::nullopt, StringOf("abc", 1));               // no NUL at all
  EXPECT_EQ(std::nullopt, StringOf(std::string(), 1));       // nothing after the formatted area
  const std::string cut("ab\0cd", 5);
  EXPECT_EQ("ab", StringOf(cut, 1));
  EXPECT_EQ(std::nullopt, StringOf(cut, 2));                 // "cd" runs off the end
  const std::string noFinal("ab\0", 3);
  EXPECT_EQ("ab", StringOf(noFinal, 1));
  EXPECT_EQ(std::nullopt, StringOf(noFinal, 2));             // the end comes where the final NUL should be
}

TEST(BiosInfo, VersionStringAt05) {
  CMachineInfo info;
  Parsed(Structure(0, 0x18, 0).Byte(0x04, 1).Byte(0x05, 2).WithStrings({"Vendor", "R0100J3", "07/01/2005"})).Into(info);
  EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
}

TEST(SystemInfo, FourStringsEachLookedUpByItself) {
  CMachineInfo info;
  Parsed(Structure(1, 0x1B, 1).Byte(0x04, 1).Byte(0x05, 2).Byte(0x06, 3).Byte(0x07, 4)
             .WithStrings({"Varnel Corporation", "VGN-X90", "J001", "28291234-5007123"}))
      .Into(info);
  EXPECT_EQ(L"Varnel Corporation", info.m_strSysManufacturer);
  EXPECT_EQ(L"VGN-X90", info.m_strSysProductName);
  EXPECT_EQ(L"J001", info.m_strSysVersion);
  EXPECT_EQ(L"28291234-5007123", info.m_strSysSerialNumber);
}

TEST(SystemInfo, AStringNumberPastTheLastKeepsTheField) {
  CMachineInfo info;
  info.m_strSysVersion = L"earlier";
  info.m_strSysSerialNumber = L"earlier";
  Parsed(Structure(1, 0x1B, 1).Byte(0x04, 1).Byte(0x05, 2).Byte(0x06, 3).Byte(0x07, 0)
             .WithStrings({"Maker", "Model"}))
      .Into(info);
  EXPECT_EQ(L"Maker", info.m_strSysManufacturer);
  EXPECT_EQ(L"Model", info.m_strSysProductName);
  EXPECT_EQ(L"earlier", info.m_strSysVersion);      // number 3 of 2 strings
  EXPECT_EQ(L"earlier", info.m_strSysSerialNumber); // number 0: no string
}

TEST(SystemInfo, StringsAreWidenedByteForByte) {
  CMachineInfo info;
  Parsed(Structure(1, 0x1B, 1).Byte(0x04, 1).WithStrings({"Caf\xE9"})).Into(info);
  EXPECT_EQ(L"Caf\u00E9", info.m_strSysManufacturer); // Latin-1 natively, the ANSI code page on Windows
}

// Status byte 18h: bit 6 socket populated, bits 2..0 the processor's state (1 enabled, 3 disabled by the BIOS).
Bytes Processor(uint8_t type, uint8_t version, uint16_t speed, std::initializer_list<const char*> strings,
                uint8_t status = 0x41, uint16_t maximum = 0) {
  return Structure(4, 0x23, 2)
      .Byte(0x05, type)
      .Byte(0x10, version)
      .Word(0x14, maximum)
      .Word(0x16, speed)
      .Byte(0x18, status)
      .WithStrings(strings);
}

struct ProcessorCase {
  const char* name;
  std::vector<Bytes> structures;
  const wchar_t* version;
  uint16_t speed;
  WindowsProcessor windows = {}; // what Windows' registry says, taken after the walk
  bool versionFromWindows = false, speedFromWindows = false;
};

const WindowsProcessor kWindows{L"  Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz ", 1800u};

class ProcessorInfo : public testing::TestWithParam<ProcessorCase> {};

// Central processors (type 3) in populated sockets only; the last one's speed wins, its version only when it
// names one. Then Windows' name and speed where the table gave none.
TEST_P(ProcessorInfo, TakesTheLastCentralProcessor) {
  CMachineInfo info;
  for (const Bytes& structure : GetParam().structures) Parsed(structure).Into(info);
  info.TakeWindowsProcessor(GetParam().windows);
  EXPECT_EQ(GetParam().version, info.m_strCpuVersion);
  EXPECT_EQ(GetParam().speed, info.m_wCpuSpeed);
  EXPECT_EQ(GetParam().versionFromWindows, info.m_bCpuVersionFromWindows);
  EXPECT_EQ(GetParam().speedFromWindows, info.m_bCpuSpeedFromWindows);
}

INSTANTIATE_TEST_SUITE_P(
    Structures, ProcessorInfo,
    testing::Values(
        ProcessorCase{"Central", {Processor(3, 2, 1600, {"CPU 1", "Intel(R) Pentium(R) M processor 1.60GHz"})},
                      L"Intel(R) Pentium(R) M processor 1.60GHz", 1600},
        ProcessorCase{"MathCoprocessorIgnored",
                      {Processor(3, 1, 2000, {"CPU"}), Processor(4, 1, 1000, {"Math coprocessor"})}, L"CPU", 2000},
        ProcessorCase{"LastWinsWithSpeedZero", {Processor(3, 1, 2997, {"first"}), Processor(3, 0, 0, {"unused"})},
                      L"first", 0},
        ProcessorCase{"EmptySocketChangesNothing",
                      {Processor(3, 1, 2400, {"Xeon"}), Processor(3, 1, 0, {"0000000000"}, 0x00)}, L"Xeon", 2400},
        ProcessorCase{"DisabledProcessorCounts", {Processor(3, 1, 2400, {"first"}), Processor(3, 1, 2200, {"second"}, 0x43)},
                      L"second", 2200},
        // A speed no processor has keeps the speed before it; the name counts all the same.
        ProcessorCase{"SpeedOf32768OrMoreIsIgnored",
                      {Processor(3, 1, 2300, {"first"}), Processor(3, 1, 58141, {"second"}, 0x41, 2200)}, L"second", 2300},
        ProcessorCase{"SpeedOfMoreThanTwiceTheMaximumIsIgnored",
                      {Processor(3, 1, 2300, {"first"}), Processor(3, 1, 6509, {"second"}, 0x41, 2300)}, L"second", 2300},
        ProcessorCase{"TwiceTheMaximumCounts",
                      {Processor(3, 1, 2300, {"first"}), Processor(3, 1, 4600, {"second"}, 0x41, 2300)}, L"second", 4600},
        ProcessorCase{"WithoutMaximumAnySpeedBelow32768Counts",
                      {Processor(3, 1, 2300, {"first"}), Processor(3, 1, 32767, {"second"})}, L"second", 32767},
        // Windows' name and speed stand in only for what the table left out, the name without spaces around it.
        ProcessorCase{"FirmwareNameAndSpeedWin", {Processor(3, 1, 2400, {"Xeon"})}, L"Xeon", 2400, kWindows},
        ProcessorCase{"NameOnlyTakesWindowsSpeed", {Processor(3, 1, 0, {"Xeon"})}, L"Xeon", 1800, kWindows, false, true},
        ProcessorCase{"SpeedOnlyTakesWindowsName", {Processor(3, 0, 2400, {})},
                      L"Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz", 2400, kWindows, true, false},
        ProcessorCase{"NeitherTakesBoth", {}, L"Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz", 1800, kWindows, true, true},
        ProcessorCase{"FirmwareNameOfSpacesIsNone", {Processor(3, 1, 2400, {"   "})},
                      L"Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz", 2400, kWindows, true, false},
        ProcessorCase{"WindowsNameEmpty", {}, L"", 1800, WindowsProcessor{L"", 1800u}, false, true},
        ProcessorCase{"WindowsNameOfSpaces", {}, L"", 0, WindowsProcessor{L"  ", std::nullopt}},
        ProcessorCase{"WindowsValuesMissing", {}, L"", 0, WindowsProcessor{}},
        ProcessorCase{"WindowsSpeedZero", {}, L"AMD EPYC", 0, WindowsProcessor{L"AMD EPYC", 0u}, true, false},
        ProcessorCase{"WindowsSpeedNoProcessorRunsAt", {}, L"", 0, WindowsProcessor{std::nullopt, 40000u}}),
    [](const testing::TestParamInfo<ProcessorCase>& info) { return std::string(info.param.name); });

Bytes Module(uint8_t installed) { return Structure(6, 0x0C, 9).Byte(0x09, installed).Byte(0x0A, installed).WithStrings({"DIMM"}); }

struct ModuleCase {
  uint8_t code;
  uint16_t megabytes;
};

class ModuleSize : public testing::TestWithParam<ModuleCase> {};

TEST_P(ModuleSize, PowerOfTwoOfTheLowSevenBitsModulo32) {
  const Parsed module(Module(GetParam().code));
  EXPECT_EQ(GetParam().megabytes, CMachineInfo::GetMemoryModuleSize(*module.View())) << int(GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Codes, ModuleSize,
                         testing::Values(ModuleCase{0x00, 1}, ModuleCase{0x09, 512}, ModuleCase{0x0A, 1024},
                                         ModuleCase{0x0B, 2048}, ModuleCase{0x0F, 32768},
                                         ModuleCase{0x10, 0},   // 64 GB no longer fits 16 bits
                                         ModuleCase{0x7F, 0},   // not installed
                                         ModuleCase{0x7D, 0},   // not determinable: 2^29
                                         ModuleCase{0x7E, 0},   // not enabled: 2^30
                                         ModuleCase{0x89, 512}, // double-bank 2^9
                                         ModuleCase{0x8F, 32768}, ModuleCase{0xFF, 0},
                                         ModuleCase{0x20, 1}, ModuleCase{0x29, 512})); // modulo 32

TEST(MemoryModules, SizesAddUp) {
  CMachineInfo info;
  for (uint8_t code : {0x09, 0x0A, 0x7F, 0x89}) Parsed(Module(code)).Into(info);
  EXPECT_EQ(512 + 1024 + 0 + 512, info.m_nMemoryMB);
}

TEST(MemoryModules, TheSumGoesPast32767WithoutWrapping) {
  CMachineInfo info;
  for (int i = 0; i < 3; ++i) Parsed(Module(0x0F)).Into(info); // three 32 GB modules
  EXPECT_EQ(3 * 32768, info.m_nMemoryMB);
  info.FormatTexts();
  EXPECT_EQ(L"98304 MBytes", info.m_strMemory);
}

TEST(MemoryModules, TheSumStopsAtTheFieldsLimit) {
  CMachineInfo info;
  info.m_nMemoryMB = 2147483647 - 100;
  Parsed(Module(0x0F)).Into(info);
  EXPECT_EQ(2147483647, info.m_nMemoryMB);
}

Bytes Cache(uint16_t configuration, uint16_t installed) {
  return Structure(7, 0x13, 5).Word(0x05, configuration).Word(0x07, installed).Word(0x09, installed).WithStrings({"L2"});
}

struct CacheCase {
  uint16_t configuration;
  uint16_t installed;
  uint16_t kilobytes;
};

class L2CacheSize : public testing::TestWithParam<CacheCase> {};

TEST_P(L2CacheSize, SecondLevelOnlyWithGranularity) {
  const Parsed cache(Cache(GetParam().configuration, GetParam().installed));
  EXPECT_EQ(GetParam().kilobytes, CMachineInfo::GetL2CacheSize(*cache.View()));
}

INSTANTIATE_TEST_SUITE_P(Cases, L2CacheSize,
                         testing::Values(CacheCase{0x0181, 0x8010, 1024}, // level 01, 16 x 64K
                                         CacheCase{0x0181, 0x0200, 512},   // 1K units
                                         CacheCase{0x0180, 0x8010, 0},     // level 00: first level
                                         CacheCase{0x0182, 0x8100, 0},     // level 10: third level
                                         CacheCase{0x0183, 0x0100, 0},
                                         CacheCase{0x0005, 0x0080, 128},   // only bits 1..0 count
                                         CacheCase{0x0181, 0x8200, 32768}, // 32 MB: positive in the 32-bit field
                                         CacheCase{0x0181, 0x8400, 0},     // 64 MB cut to 16 bits
                                         CacheCase{0x0181, 0xFFFF, 0xFFC0})); // 0x7FFF * 64 cut to 16 bits

TEST(Caches, ALaterSecondLevelOfSizeZeroDoesNotErase) {
  CMachineInfo info;
  Parsed(Cache(0x0181, 0x8010)).Into(info);
  Parsed(Cache(0x0180, 0x0020)).Into(info); // first level ignored
  Parsed(Cache(0x0181, 0x0000)).Into(info);
  EXPECT_EQ(1024, info.m_nCacheKB);
  Parsed(Cache(0x0181, 0x8060)).Into(info); // the last non-zero wins
  EXPECT_EQ(6144, info.m_nCacheKB);
}

TEST(Caches, ThirtyTwoMegabytesPrintPositive) {
  CMachineInfo info;
  Parsed(Cache(0x0181, 0x8200)).Into(info);
  info.FormatTexts();
  EXPECT_EQ(L"32768 KBytes", info.m_strCache);
}

TEST(Dispatch, OtherTypesAreSkipped) {
  CMachineInfo info;
  for (uint8_t type : {2, 3, 5, 8, 17, 127, 255})
    Parsed(Structure(type, 0x20, 1).Byte(0x04, 1).Byte(0x05, 3).Byte(0x09, 0x0A).WithStrings({"x"})).Into(info);
  EXPECT_TRUE(info.m_strBiosVersion.empty());
  EXPECT_TRUE(info.m_strSysManufacturer.empty());
  EXPECT_EQ(0, info.m_nMemoryMB);
  EXPECT_EQ(0, info.m_nCacheKB);
}

// Malformed structures: nothing may be read outside the buffer or the formatted area.
TEST(Hardening, LengthBelowFourIsNotParsed) {
  for (uint8_t length : {0, 1, 2, 3}) {
    const Bytes bytes = Structure(1, length, 1).Byte(4, 1).WithStrings({"x"});
    EXPECT_FALSE(SmbiosStructure::At(bytes.data(), bytes.size()).has_value()) << int(length);
  }
}

TEST(Hardening, AFormattedAreaLargerThanTheBufferIsNotParsed) {
  const Bytes bytes = Structure(1, 0x1B, 1).Byte(0x04, 1).WithStrings({"x"});
  EXPECT_TRUE(SmbiosStructure::At(bytes.data(), bytes.size()).has_value());
  EXPECT_FALSE(SmbiosStructure::At(bytes.data(), 0x1A).has_value());
  EXPECT_TRUE(SmbiosStructure::At(bytes.data(), 0x1B).has_value()); // area fits, set empty
  EXPECT_FALSE(SmbiosStructure::At(bytes.data(), 3).has_value());
  EXPECT_FALSE(SmbiosStructure::At(bytes.data(), 0).has_value());
}

TEST(Hardening, FieldsReachNoFurtherThanTheFormattedArea) {
  const Bytes bytes = Structure(17, 0x20, 1).Word(0x1C, 0x8000).Word(0x1E, 0x0001).WithStrings({"x"});
  const std::optional<SmbiosStructure> s = SmbiosStructure::At(bytes.data(), bytes.size());
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(0x00018000u, s->Dword(0x1C));
  EXPECT_FALSE(s->Dword(0x1D).has_value()); // its last byte would be the first string's
  EXPECT_FALSE(s->Word(0x1F).has_value());
}

TEST(Hardening, AStructureEndingWithItsAreaHasNoStrings) {
  const Bytes bytes = Structure(1, 0x08, 1).Byte(0x04, 1).Byte(0x05, 1).Byte(0x06, 1).Byte(0x07, 1).WithRaw("");
  CMachineInfo info;
  info.m_strSysManufacturer = L"kept";
  Parsed(bytes).Into(info);
  EXPECT_EQ(L"kept", info.m_strSysManufacturer);
}

TEST(Hardening, FieldsAtOrBeyondTheLengthAreAbsent) {
  CMachineInfo info;
  info.m_strSysProductName = L"kept";
  // SMBIOS 2.0-style System Information of 6 bytes: Manufacturer only; 05h would be the first string's byte.
  Parsed(Structure(1, 0x05, 1).Byte(0x04, 1).WithStrings({"Maker"})).Into(info);
  EXPECT_EQ(L"Maker", info.m_strSysManufacturer);
  EXPECT_EQ(L"kept", info.m_strSysProductName);

  CMachineInfo processor;
  processor.m_wCpuSpeed = 1234;
  // Length 17h: the low byte of the speed word lies inside, the high byte would be the first string's.
  Parsed(Structure(4, 0x17, 2).Byte(0x05, 3).Byte(0x10, 1).Byte(0x16, 0x40).WithStrings({"CPU"})).Into(processor);
  EXPECT_EQ(L"CPU", processor.m_strCpuVersion);
  EXPECT_EQ(1234, processor.m_wCpuSpeed);

  CMachineInfo shortProcessor;
  Parsed(Structure(4, 0x05, 2).WithRaw(std::string("\x03\0\0", 3))).Into(shortProcessor); // type byte at 05h absent
  EXPECT_TRUE(shortProcessor.m_strCpuVersion.empty());

  const Parsed module(Structure(6, 0x09, 3).WithRaw(std::string("\x0A\0\0", 3)));
  EXPECT_EQ(0, CMachineInfo::GetMemoryModuleSize(*module.View()));
  const Parsed cache(Structure(7, 0x0A, 4).Byte(0x05, 0x81).WithRaw(std::string("\x10\0\0", 3)));
  EXPECT_EQ(0, CMachineInfo::GetL2CacheSize(*cache.View())); // the word at 09h is cut by the length
}

TEST(Hardening, TruncatedStringSets) {
  CMachineInfo info;
  info.m_strSysProductName = L"kept";
  info.m_strSysVersion = L"kept";
  Parsed(Structure(1, 0x08, 1).Byte(0x04, 1).Byte(0x05, 2).Byte(0x06, 3).WithRaw(std::string("Maker\0Mod", 9))).Into(info);
  EXPECT_EQ(L"Maker", info.m_strSysManufacturer);
  EXPECT_EQ(L"kept", info.m_strSysProductName); // ends with the buffer, not with a NUL
  EXPECT_EQ(L"kept", info.m_strSysVersion);
}

} // namespace
