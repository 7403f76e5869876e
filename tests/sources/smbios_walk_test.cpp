// The table walk against scripted and table-backed devices: requests sent, status codes, malformed replies.
#include "sources/machine_info.h"

#include <gtest/gtest.h>

#include <memory>

#include "sources/firmware_table.h"
#include "tests/support/table_server.h"
#include "tests/sources/smbios_bytes.h"

namespace {

using kcctest::Bytes;
using kcctest::InfoReply;
using kcctest::ScriptedDevice;
using kcctest::Structure;
using kcctest::StructureReply;

const Bytes kBios = Structure(0, 0x18, 0x0000).Byte(0x05, 1).WithStrings({"R0100J3"});
const Bytes kSystem = Structure(1, 0x1B, 0x0001).Byte(0x04, 1).Byte(0x05, 2).WithStrings({"Varnel Corporation", "VGN-X90"});
const Bytes kModule = Structure(6, 0x0C, 0x0002).Byte(0x09, 0x0A).WithStrings({"DIMM0"});

TEST(Walk, SendsTheInformationRequestThenStructureRequestsFromHandleZero) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 3, 64, 0x000F1230))
      .Then(StructureReply(0, 0x0001, kBios))
      .Then(StructureReply(0, 0x0002, kSystem))
      .Then(StructureReply(0, 0xFFFF, kModule));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));

  ASSERT_EQ(4u, device.requests.size());
  EXPECT_EQ((Bytes{0x50, 0x00, 0x00, 0x00}), device.requests[0].input);
  EXPECT_EQ(12u, device.requests[0].outputSize);
  // Function 51h, handle, table segment (address >> 4, low word), reserved; output largest + 3.
  EXPECT_EQ((Bytes{0x51, 0x00, 0x00, 0x00, 0x23, 0xF1, 0x00, 0x00}), device.requests[1].input);
  EXPECT_EQ(67u, device.requests[1].outputSize);
  EXPECT_EQ(0x0001, device.HandleOfStructureRequest(1));
  EXPECT_EQ(0x0002, device.HandleOfStructureRequest(2));

  EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
  EXPECT_EQ(L"Varnel Corporation", info.m_strSysManufacturer);
  EXPECT_EQ(L"VGN-X90", info.m_strSysProductName);
  EXPECT_EQ(1024, info.m_nMemoryMB);
}

TEST(Walk, ZeroStructuresSendsNoStructureRequest) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 0, 64));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(0u, device.StructureRequests());
  info.FormatTexts();
  EXPECT_EQ(L"Unknown", info.m_strCpuSpeed);
  EXPECT_TRUE(info.m_strSysManufacturer.empty());
}

TEST(Walk, FailedInformationRequestIs26) {
  ScriptedDevice device;
  device.ThenFail();
  CMachineInfo info;
  EXPECT_EQ(26, info.WalkTable(device));
  EXPECT_EQ(1u, device.requests.size());
}

TEST(Walk, InformationStatusOtherThanZeroIs27) {
  for (uint8_t status : {0x01, 0x83, 0xFF}) {
    ScriptedDevice device;
    device.Then(InfoReply(status, 3, 64));
    CMachineInfo info;
    EXPECT_EQ(27, info.WalkTable(device)) << int(status);
    EXPECT_EQ(0u, device.StructureRequests());
  }
}

TEST(Walk, FailedStructureRequestIs29AndKeepsWhatWasParsed) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 5, 64)).Then(StructureReply(0, 0x0001, kBios)).ThenFail();
  CMachineInfo info;
  EXPECT_EQ(29, info.WalkTable(device));
  EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
  EXPECT_EQ(2u, device.StructureRequests());
}

TEST(Walk, StructureStatusOtherThanZeroOr83Is30) {
  for (uint8_t status : {0x01, 0x82, 0x84, 0x85, 0xFF}) {
    ScriptedDevice device;
    device.Then(InfoReply(0, 5, 64)).Then(StructureReply(0, 0x0001, kBios)).Then(StructureReply(status, 0x0002, kSystem));
    CMachineInfo info;
    EXPECT_EQ(30, info.WalkTable(device)) << int(status);
    EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
    EXPECT_TRUE(info.m_strSysManufacturer.empty()); // the structure of a failed reply is not parsed
  }
}

TEST(Walk, Status83AsksForTheSameHandleAgain) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 3, 64))
      .Then(StructureReply(0, 0x0001, kBios))
      .Then(StructureReply(0x83, 0x0009, kModule)) // nothing of an 83h reply is used
      .Then(StructureReply(0, 0xFFFF, kSystem));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  ASSERT_EQ(3u, device.StructureRequests());
  EXPECT_EQ(0x0000, device.HandleOfStructureRequest(0));
  EXPECT_EQ(0x0001, device.HandleOfStructureRequest(1));
  EXPECT_EQ(0x0001, device.HandleOfStructureRequest(2));
  EXPECT_EQ(L"Varnel Corporation", info.m_strSysManufacturer);
  EXPECT_EQ(0, info.m_nMemoryMB);
}

TEST(Walk, Status83ForeverEndsWhenTheCountRunsOut) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 4, 64));
  for (int i = 0; i < 10; ++i) device.Then(StructureReply(0x83, 0x0005));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  ASSERT_EQ(4u, device.StructureRequests());
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(0x0000, device.HandleOfStructureRequest(i));
}

TEST(Walk, AtMostAsManyRequestsAsStructures) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 2, 64));
  for (int i = 0; i < 5; ++i) device.Then(StructureReply(0, static_cast<uint16_t>(i + 1), kModule));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(2u, device.StructureRequests());
  EXPECT_EQ(2048, info.m_nMemoryMB);
}

TEST(Walk, Handle0xFFFFEndsEarly) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 10, 64)).Then(StructureReply(0, 0x0001, kBios)).Then(StructureReply(0, 0xFFFF, kSystem));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(2u, device.StructureRequests());
  EXPECT_EQ(L"Varnel Corporation", info.m_strSysManufacturer); // the last structure is parsed too
}

TEST(Walk, FieldsOfEarlierStructuresAreOverwrittenByLaterOnes) {
  ScriptedDevice device;
  const Bytes second = Structure(0, 0x18, 0x0003).Byte(0x05, 1).WithStrings({"R0200"});
  device.Then(InfoReply(0, 2, 64)).Then(StructureReply(0, 0x0003, kBios)).Then(StructureReply(0, 0xFFFF, second));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(L"R0200", info.m_strBiosVersion);
}

TEST(Walk, MemoryOfManyModulesAddsUpBeyond16Bits) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 3, 64));
  const Bytes big = Structure(6, 0x0C, 0x0002).Byte(0x09, 0x0E).WithStrings({"DIMM"}); // 16 GB
  for (int i = 0; i < 3; ++i) device.Then(StructureReply(0, static_cast<uint16_t>(i == 2 ? 0xFFFF : i + 1), big));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(3 * 16384, info.m_nMemoryMB);
}

// Replies that do not hold together: each is skipped and the walk goes on with the next handle.
TEST(WalkHardening, AStructureLargerThanTheBufferIsSkipped) {
  const Bytes large = Structure(1, 0x40, 0x0001).Byte(0x04, 1).WithStrings({"too large"});
  ScriptedDevice device;
  device.Then(InfoReply(0, 3, 32)) // the driver's largest is smaller than what it sends
      .Then(StructureReply(0, 0x0001, large))
      .Then(StructureReply(0, 0xFFFF, kBios));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(2u, device.StructureRequests());
  EXPECT_EQ(0x0001, device.HandleOfStructureRequest(1));
  EXPECT_TRUE(info.m_strSysManufacturer.empty());
  EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
}

TEST(WalkHardening, LengthBelowFourIsSkipped) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 3, 64))
      .Then(StructureReply(0, 0x0001, Bytes{0x01, 0x02, 0x00, 0x00, 0x01, 'x', 0, 0}))
      .Then(StructureReply(0, 0xFFFF, kBios));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_TRUE(info.m_strSysManufacturer.empty());
  EXPECT_EQ(L"R0100J3", info.m_strBiosVersion);
}

TEST(WalkHardening, LargestZeroLeavesNoRoomForAnyStructure) {
  ScriptedDevice device;
  device.Then(InfoReply(0, 2, 0)).Then(StructureReply(0, 0x0001, kBios)).Then(StructureReply(0, 0xFFFF, kBios));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(3u, device.requests[1].outputSize);
  EXPECT_TRUE(info.m_strBiosVersion.empty());
}

TEST(WalkHardening, StringsRunningToTheEndOfTheBuffer) {
  // largest covers the formatted area and "Varnel" without its NUL: no string ends inside.
  const Bytes system = Structure(1, 0x1B, 0x0001).Byte(0x04, 1).Byte(0x05, 2).WithStrings({"Varnel", "VGN"});
  ScriptedDevice device;
  device.Then(InfoReply(0, 1, 0x1B + 6)).Then(StructureReply(0, 0xFFFF, system));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_TRUE(info.m_strSysManufacturer.empty());

  ScriptedDevice device2;
  device2.Then(InfoReply(0, 1, 0x1B + 7 + 2)).Then(StructureReply(0, 0xFFFF, system)); // "Varnel\0VG"
  CMachineInfo info2;
  EXPECT_EQ(31, info2.WalkTable(device2));
  EXPECT_EQ(L"Varnel", info2.m_strSysManufacturer);
  EXPECT_TRUE(info2.m_strSysProductName.empty());
}

TEST(WalkHardening, AShortReplyIsReadInsideTheBuffer) {
  // The second reply is shorter than the first: behind it the buffer still holds the first's
  // strings, which the set lookup then reads as part of the set (as the driver left them).
  ScriptedDevice device;
  const Bytes first = Structure(2, 0x08, 0x0001).WithStrings({"AAAA", "BBBB"});
  const Bytes second = Structure(1, 0x08, 0x0002).Byte(0x04, 1).WithRaw(std::string("M\0", 2));
  device.Then(InfoReply(0, 2, 32)).Then(StructureReply(0, 0x0002, first)).Then(StructureReply(0, 0xFFFF, second));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(L"M", info.m_strSysManufacturer);
}

// Forwards to a table device but claims more structures than its table holds.
class InflatedCount : public IDmiDevice {
public:
  InflatedCount(IDmiDevice& inner, uint16_t count) : m_inner(inner), m_count(count) {}
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    const bool ok = m_inner.Call(input, inputSize, output, outputSize);
    if (ok && static_cast<const uint8_t*>(input)[0] == 0x50) {
      static_cast<uint8_t*>(output)[2] = static_cast<uint8_t>(m_count);
      static_cast<uint8_t*>(output)[3] = static_cast<uint8_t>(m_count >> 8);
    }
    return ok;
  }

private:
  IDmiDevice& m_inner;
  uint16_t m_count;
};

// A dump of the structures, served by the driver's own table logic.
Bytes ImageOf(std::initializer_list<Bytes> structures) {
  return tablebuilder::SmDump(tablebuilder::Concat(structures), 2, 4, static_cast<uint16_t>(structures.size()));
}

TEST(WalkHardening, AStructureCountLargerThanTheTable) {
  tablebuilder::Driver table(ImageOf({kBios, kSystem, kModule}));
  InflatedCount device(table, 0xFFFF);
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(device));
  EXPECT_EQ(3u, table.StructureRequests()); // ended by 0xFFFF after the last structure
  EXPECT_EQ(1024, info.m_nMemoryMB);
}

TEST(WalkHardening, RepeatedHandlesReachEveryStructureOnce) {
  // Vendor structures sharing one handle around the others: the walk still gets to the processor.
  const Bytes vendor = Structure(218, 0x06, 0xDA00).WithStrings();
  const Bytes processor =
      Structure(4, 0x1A, 0x0400).Byte(0x05, 3).Byte(0x10, 1).Word(0x16, 2660).Byte(0x18, 0x41).WithStrings({"Xeon"});
  tablebuilder::Driver table(ImageOf({vendor, kBios, vendor, kSystem, vendor, processor}));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkTable(table));
  EXPECT_EQ(6u, table.StructureRequests());
  EXPECT_EQ(L"Xeon", info.m_strCpuVersion);
  EXPECT_EQ(2660, info.m_wCpuSpeed);
}

TEST(TableDevice, AnswersUnknownHandlesWith83) {
  tablebuilder::Driver device(ImageOf({kBios, kSystem}));
  const uint8_t request[8] = {0x51, 0x00, 0x34, 0x12, 0, 0, 0, 0};
  Bytes reply(80, 0xEE);
  ASSERT_TRUE(device.Call(request, sizeof(request), reply.data(), static_cast<uint32_t>(reply.size())));
  EXPECT_EQ(0x83, reply[0]);
}

} // namespace

// ---- Windows' firmware table: the reader and the walk over what it read ----

// What MSSmBios_RawSMBiosTables gives, property by property, as CWmiData takes it out of the VARIANTs.
struct WmiRaw {
  WmiValue data, size, major, minor, dmiRevision, used20;
};

WmiValue WmiBytes(const Bytes& bytes) {
  WmiValue value;
  value.type = kWmiByteArrayType;
  value.bytes = bytes;
  return value;
}
WmiValue WmiNumber(uint16_t type, int64_t number) {
  WmiValue value;
  value.type = type;
  value.number = number;
  value.isNumber = true;
  return value;
}
WmiValue WmiText(const wchar_t* text) {
  WmiValue value;
  value.type = 8; // VT_BSTR
  value.text = text;
  return value;
}
constexpr uint16_t kUi1 = 17, kI4 = 3, kBool = 11, kNull = 1;
WmiRaw Raw(const Bytes& table, WmiValue size) {
  return WmiRaw{WmiBytes(table), std::move(size), WmiNumber(kUi1, 2), WmiNumber(kUi1, 4), WmiNumber(kUi1, 0),
                WmiNumber(kBool, 0)};
}

// The two readers of Windows' own table, one case a line. GetSystemFirmwareTable: what it holds at each call, in
// turn (the last stays), an empty state failing the call. WMI's raw table, where `wmi` is set: its properties.
struct FirmwareCase {
  const char* name;
  std::vector<Bytes> states;
  size_t fetched;           // bytes the reader keeps (for WMI's: the RSMB blob it makes)
  int status;               // the firmware walk's; 0: nothing to walk, the driver's status stands
  const wchar_t* product;   // what the walk found, when it walked
  unsigned calls;           // calls the reader made
  std::shared_ptr<WmiRaw> wmi = nullptr;
};

class FirmwareTable : public testing::TestWithParam<FirmwareCase> {};

TEST_P(FirmwareTable, ReadsWithinWhatCameBackAndWalksIt) {
  const FirmwareCase& c = GetParam();
  unsigned calls = 0;
  const Bytes blob = c.wmi ? RsmbFromWmi(c.wmi->data, c.wmi->size, c.wmi->major, c.wmi->minor, c.wmi->dmiRevision,
                                         c.wmi->used20)
                           : FetchFirmwareTable([&](void* buffer, uint32_t size) -> uint32_t {
                               const Bytes& now = c.states[std::min<size_t>(calls++, c.states.size() - 1)];
                               if (now.empty()) return 0;
                               if (!buffer || size < now.size()) return static_cast<uint32_t>(now.size());
                               memcpy(buffer, now.data(), now.size());
                               return static_cast<uint32_t>(now.size());
                             });
  EXPECT_EQ(c.fetched, blob.size());
  EXPECT_EQ(c.calls, calls);
  CMachineInfo info;
  const TableSource source = c.wmi ? TableSource::kWmi : TableSource::kFirmware;
  // The blob in a vector of its own size: ASan sees any read past it.
  EXPECT_EQ(c.status, info.WalkFirmwareTable(blob, nullptr, source));
  EXPECT_EQ(c.status ? source : TableSource::kNone, info.m_tableSource);
  EXPECT_EQ(c.product, info.m_strSysProductName);
}

std::shared_ptr<WmiRaw> WmiCase(WmiRaw raw) { return std::make_shared<WmiRaw>(std::move(raw)); }

const Bytes kTable = tablebuilder::Concat({kBios, kSystem, kModule, tablebuilder::EndOfTable(3)});
const Bytes kBlob = tablebuilder::RsmbBlob(kTable);
const Bytes kGrown = tablebuilder::RsmbBlob(tablebuilder::Concat(
    {kBios, kSystem, kModule, Structure(6, 0x0C, 0x0004).Byte(0x09, 0x0A).WithStrings({"DIMM1"}), tablebuilder::EndOfTable(5)}));
// Its header claims 1000 bytes, but BIOS Information and half of System Information came back.
const Bytes kCut = tablebuilder::RsmbBlob(Bytes(kTable.begin(), kTable.begin() + kBios.size() + 10), 2, 4, 1000);
// SMBIOS 3 tables may pass 64 KB: 700 memory modules, then the system, past what a 16-bit size can say.
const Bytes kLarge = [] {
  std::vector<Bytes> parts(700, Structure(6, 0x60, 0x0100).Byte(0x09, 0x7F).WithStrings({std::string(8, 'm')}));
  for (size_t i = 0; i < parts.size(); ++i) tablebuilder::Put16(parts[i], 2, static_cast<uint16_t>(0x100 + i));
  parts.push_back(kSystem);
  parts.push_back(tablebuilder::EndOfTable(3));
  return tablebuilder::RsmbBlob(tablebuilder::Concat(parts), 3, 2);
}();

INSTANTIATE_TEST_SUITE_P(
    Blobs, FirmwareTable,
    testing::Values(FirmwareCase{"Read", {kBlob}, kBlob.size(), 31, L"VGN-X90", 2},
                    FirmwareCase{"NoTableAtAll", {{}}, 0, 0, L"", 1},
                    FirmwareCase{"TheReadFails", {kBlob, {}}, 0, 0, L"", 2},
                    FirmwareCase{"GrewBetweenTheCalls", {kBlob, kGrown}, kGrown.size(), 31, L"VGN-X90", 3},
                    FirmwareCase{"KeepsGrowing", {Bytes(10), Bytes(20), Bytes(30), Bytes(40), Bytes(50)}, 0, 0, L"", 4},
                    FirmwareCase{"ShrankBetweenTheCalls", {kGrown, kBlob}, kBlob.size(), 31, L"VGN-X90", 2},
                    FirmwareCase{"OverTheLimit", {Bytes(kMaxFirmwareTableBytes + 1)}, 0, 0, L"", 1},
                    FirmwareCase{"ShorterThanItsHeader", {Bytes{0, 2, 4, 0, 10}}, 5, 0, L"", 2},
                    FirmwareCase{"HeaderWithoutTable", {tablebuilder::RsmbBlob({})}, 8, 0, L"", 2},
                    FirmwareCase{"LengthPastWhatCameBack", {kCut}, kCut.size(), 31, L"", 2},
                    FirmwareCase{"LargerThan64KB", {kLarge}, kLarge.size(), 31, L"VGN-X90", 2},
                    // WMI's copy, as XP hands it out: Size agreeing with the array, or no Size at all.
                    FirmwareCase{"WmiRead", {}, kBlob.size(), 31, L"VGN-X90", 0,
                                 WmiCase(Raw(kTable, WmiNumber(kI4, static_cast<int64_t>(kTable.size()))))},
                    FirmwareCase{"WmiWithoutSize", {}, kBlob.size(), 31, L"VGN-X90", 0, WmiCase(Raw(kTable, {}))},
                    // A Size past the array reads nothing past it; one short of it cuts the table there.
                    FirmwareCase{"WmiSizePastTheArray", {}, kBlob.size(), 31, L"VGN-X90", 0,
                                 WmiCase(Raw(kTable, WmiNumber(kI4, 100000)))},
                    FirmwareCase{"WmiSizeCutsTheTable", {}, 8 + kBios.size() + 10, 31, L"", 0,
                                 WmiCase(Raw(kTable, WmiNumber(kI4, static_cast<int64_t>(kBios.size() + 10))))},
                    FirmwareCase{"WmiSizeNegative", {}, kBlob.size(), 31, L"VGN-X90", 0,
                                 WmiCase(Raw(kTable, WmiNumber(kI4, -1)))},
                    // 0 is no size given: the array is the table.
                    FirmwareCase{"WmiSizeZero", {}, kBlob.size(), 31, L"VGN-X90", 0,
                                 WmiCase(Raw(kTable, WmiNumber(kI4, 0)))},
                    FirmwareCase{"WmiSizeAsText", {}, kBlob.size(), 31, L"VGN-X90", 0,
                                 WmiCase(Raw(kTable, WmiText(L"12")))},
                    // Wine's WMI: SMBiosData is null. No array, an empty one, or bytes of another type: nothing.
                    FirmwareCase{"WmiDataNull", {}, 0, 0, L"", 0,
                                 WmiCase(WmiRaw{WmiNumber(kNull, 0), {}, {}, {}, {}, {}})},
                    FirmwareCase{"WmiDataEmpty", {}, 0, 0, L"", 0, WmiCase(Raw({}, {}))},
                    FirmwareCase{"WmiDataAsText", {}, 0, 0, L"", 0,
                                 WmiCase(WmiRaw{WmiText(L"\x00\x18"), {}, {}, {}, {}, {}})},
                    FirmwareCase{"WmiDataOverTheLimit", {}, 0, 0, L"", 0,
                                 WmiCase(Raw(Bytes(kMaxFirmwareTableBytes + 1), {}))},
                    FirmwareCase{"WmiDataWithoutStructure", {}, 8 + 3, 0, L"", 0, WmiCase(Raw(Bytes{1, 2, 3}, {}))}),
    [](const testing::TestParamInfo<FirmwareCase>& info) { return std::string(info.param.name); });

// The header of WMI's blob says what the properties say, where they are numbers that fit a byte.
TEST(FirmwareTableFromWmi, HeaderOfTheBlob) {
  const Bytes blob = RsmbFromWmi(WmiBytes(kTable), {}, WmiNumber(kUi1, 3), WmiNumber(kI4, 300), WmiText(L"2"),
                                 WmiNumber(kBool, 1));
  ASSERT_EQ(8 + kTable.size(), blob.size());
  EXPECT_EQ((Bytes{1, 3, 0, 0}), Bytes(blob.begin(), blob.begin() + 4)) << "300 is no byte, a text no number";
  EXPECT_EQ(kTable.size(), static_cast<size_t>(blob[4] | blob[5] << 8 | blob[6] << 16 | blob[7] << 24));
}

// The sources after the driver, in their order: each is asked only when the one before gave nothing.
struct SourceOrderCase {
  const char* name;
  int driverStatus;
  Bytes firmware, wmi;
  int status;
  TableSource source;
  unsigned firmwareAsked, wmiAsked;
};

class TableSourceOrder : public testing::TestWithParam<SourceOrderCase> {};

TEST_P(TableSourceOrder, FirstTheDriverThenFirmwareThenWmi) {
  const SourceOrderCase& c = GetParam();
  unsigned firmwareAsked = 0, wmiAsked = 0;
  CMachineInfo info;
  if (c.driverStatus > kWalkNoDevice) info.m_tableSource = TableSource::kDriver; // as the driver's walk leaves it
  EXPECT_EQ(c.status, info.WalkWindowsTables(
                          c.driverStatus, [&] { return ++firmwareAsked, c.firmware; },
                          [&] { return ++wmiAsked, c.wmi; }));
  EXPECT_EQ(c.source, info.m_tableSource);
  EXPECT_EQ(c.firmwareAsked, firmwareAsked);
  EXPECT_EQ(c.wmiAsked, wmiAsked);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, TableSourceOrder,
    testing::Values(SourceOrderCase{"ADriverThatOpened", 31, kBlob, kBlob, 31, TableSource::kDriver, 0, 0},
                    SourceOrderCase{"ADriverWhoseWalkFailed", 29, kBlob, kBlob, 29, TableSource::kDriver, 0, 0},
                    SourceOrderCase{"TheFirmwareTable", 25, kBlob, kBlob, 31, TableSource::kFirmware, 1, 0},
                    SourceOrderCase{"WmiWhereNoFirmwareTable", 21, {}, kBlob, 31, TableSource::kWmi, 1, 1},
                    SourceOrderCase{"WmiWhereTheFirmwareTableHoldsNothing", 22, tablebuilder::RsmbBlob({}), kBlob,
                                    31, TableSource::kWmi, 1, 1},
                    SourceOrderCase{"None", 25, {}, {}, 25, TableSource::kNone, 1, 1}),
    [](const testing::TestParamInfo<SourceOrderCase>& info) { return std::string(info.param.name); });
