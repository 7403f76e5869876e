// Tests of the real boardinfo driver under wine: device names, request checks, tables from files and from the
// firmware, malformed tables and the fault settings. Each test starts the driver with the settings it needs;
// at the end the service is back in its default state (no Parameters values).
#include "smbios/boardinfo_protocol.h"
#include "tests/driver/boardinfo_client.h"
#include "tests/driver/driver_service.h"
#include "tests/driver/smbios_reference.h"
#include "tests/support/table_builder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "framework/handles.h"

using drivertest::BoardInfoClient;
using drivertest::DriverSettings;
using drivertest::IoResult;
using namespace tablebuilder;

namespace {

class DefaultDriverEnvironment : public testing::Environment {
public:
  void TearDown() override {
    std::string error;
    if (!drivertest::RestoreDefaultDriver(&error)) ADD_FAILURE() << "restoring the default driver: " << error;
  }
};
testing::Environment* const kDefaultDriver = testing::AddGlobalTestEnvironment(new DefaultDriverEnvironment);

#define ASSERT_DRIVER(settings)                                                                                     \
  do {                                                                                                             \
    std::string driverError;                                                                                       \
    ASSERT_TRUE(drivertest::EnsureDriver(settings, &driverError)) << driverError;                                 \
  } while (0)

const DWORD kMaxReply = 0x10000 + 3;

DriverSettings Table(const std::wstring& file, std::vector<std::pair<std::wstring, DWORD>> values = {}) {
  return DriverSettings{file, std::move(values)};
}

DriverSettings Generic(std::vector<std::pair<std::wstring, DWORD>> values = {}) {
  return Table(drivertest::SamplePath("generic-desktop.bin"), std::move(values));
}

std::vector<Bytes> BytesOf(const reference::Table& table) {
  std::vector<Bytes> all;
  for (const auto& s : table.structures) all.push_back(s.bytes);
  return all;
}

uint16_t HandleNotIn(const std::vector<Bytes>& structures) {
  for (uint16_t h = 0x1234;; ++h) {
    bool used = std::any_of(structures.begin(), structures.end(),
                            [h](const Bytes& s) { return static_cast<uint16_t>(s[2] | (s[3] << 8)) == h; });
    if (!used) return h;
  }
}

// What the driver must serve for a table holding `structures`: the information reply, the walk, each handle.
void ExpectServes(const std::vector<Bytes>& structures, uint8_t major) {
  BoardInfoClient device;
  ASSERT_TRUE(device.IsOpen()) << device.OpenError();
  size_t largest = 0;
  size_t size = 0;
  for (const Bytes& s : structures) {
    largest = std::max(largest, s.size());
    size += s.size();
  }

  IoResult info = device.Info();
  ASSERT_TRUE(info.ok) << info.error;
  ASSERT_EQ(12u, info.returned);
  EXPECT_TRUE(info.guardIntact);
  EXPECT_EQ(BOARDINFO_STATUS_OK, info.Status());
  EXPECT_EQ(major, info.out[1]);
  EXPECT_EQ(structures.size(), info.Word(2));
  EXPECT_EQ(largest, info.Word(4));
  EXPECT_EQ(std::min<size_t>(size, 0xFFFF), info.Word(10));
  const uint32_t address = info.Dword(6);
  EXPECT_GE(address, 0x000E0000u);
  EXPECT_LT(address, 0x00100000u);

  const DWORD replySize = static_cast<DWORD>(largest + 3);
  bool endedAtLast = false;
  std::vector<Bytes> walked = device.Walk(replySize, static_cast<unsigned>(structures.size()), &endedAtLast);
  EXPECT_EQ(structures, walked);
  EXPECT_EQ(!structures.empty(), endedAtLast);

  // The handles asked for in table order give each structure, a repeated handle's too: after the first (the
  // first holding its handle), each is the handle of the structure after the last one served.
  for (size_t i = 0; i < structures.size(); ++i) {
    const uint16_t handle = static_cast<uint16_t>(structures[i][2] | (structures[i][3] << 8));
    IoResult r = device.Structure(handle, replySize);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.guardIntact);
    EXPECT_EQ(3 + structures[i].size(), r.returned);
    EXPECT_EQ(structures[i], r.Structure()) << "handle " << handle;
    uint16_t next = i + 1 < structures.size()
                        ? static_cast<uint16_t>(structures[i + 1][2] | (structures[i + 1][3] << 8))
                        : BOARDINFO_LAST_HANDLE;
    EXPECT_EQ(next, r.Word(1)) << "handle " << handle;
  }

  IoResult unknown = device.Structure(HandleNotIn(structures), std::max<DWORD>(replySize, 3));
  ASSERT_TRUE(unknown.ok) << unknown.error;
  EXPECT_EQ(BOARDINFO_STATUS_NO_STRUCTURE, unknown.Status());
  EXPECT_EQ(3u, unknown.returned);

  // Past a walk's first request, handle 0 is the structure whose handle is 0; a new walk's first is the first.
  const auto withZero = std::find_if(structures.begin(), structures.end(),
                                     [](const Bytes& s) { return s[2] == 0 && s[3] == 0; });
  IoResult zero = device.Structure(0, std::max<DWORD>(replySize, 3));
  ASSERT_TRUE(zero.ok) << zero.error;
  if (withZero == structures.end()) {
    EXPECT_EQ(BOARDINFO_STATUS_NO_STRUCTURE, zero.Status());
  } else {
    EXPECT_EQ(*withZero, zero.Structure());
  }
  ASSERT_TRUE(device.Info().ok);
  IoResult first = device.Structure(0, std::max<DWORD>(replySize, 3));
  ASSERT_TRUE(first.ok) << first.error;
  if (structures.empty()) {
    EXPECT_EQ(BOARDINFO_STATUS_NO_STRUCTURE, first.Status());
  } else {
    EXPECT_EQ(structures.front(), first.Structure());
  }
}

// ---- Device names

TEST(DeviceNames, BothNamesOpenAsTheCollectorOpensThem) {
  ASSERT_DRIVER(DriverSettings());
  for (const char* path : {"\\\\.\\boardinfo", "\\\\.\\boardinfo.vxd", "\\\\.\\BOARDINFO"}) {
    BoardInfoClient device(path);
    ASSERT_TRUE(device.IsOpen()) << path << ": error " << device.OpenError();
    IoResult info = device.Info();
    ASSERT_TRUE(info.ok) << path << ": error " << info.error;
    EXPECT_EQ(BOARDINFO_STATUS_OK, info.Status());
  }
}

TEST(DeviceNames, OtherNamesDoNotOpen) {
  ASSERT_DRIVER(DriverSettings());
  for (const char* path : {"\\\\.\\boardinfo2", "\\\\.\\boardinf", "\\\\.\\boardinfo.sys"}) {
    BoardInfoClient device(path);
    EXPECT_FALSE(device.IsOpen()) << path;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), device.OpenError()) << path;
  }
}

// Each open handle walks on its own: another program's walk between two requests does not move it.
TEST(DeviceNames, EachHandleHasAWalkOfItsOwn) {
  const std::vector<Bytes> table = {Structure(218, 0xDA00, {1, 2}), Structure(0, 0x0000, {1, 2, 0, 0xE8, 3, 0x0F}, {"V", "B1"}),
                                    EndOfTable(0x0001)};
  std::wstring path = drivertest::WriteTempFile(L"boardinfo-two-walks.bin", SmDump(Concat(table)));
  ASSERT_DRIVER(Table(path));
  BoardInfoClient first;
  BoardInfoClient second;
  ASSERT_TRUE(first.Info().ok);
  EXPECT_EQ(table[0], first.Structure(0, 100).Structure());
  bool endedAtLast = false;
  EXPECT_EQ(table, second.Walk(100, 10, &endedAtLast));
  EXPECT_TRUE(endedAtLast);
  ASSERT_TRUE(second.Info().ok);
  // The first handle is past its start: 0 is the BIOS structure; the second has just started again.
  EXPECT_EQ(table[1], first.Structure(0, 100).Structure());
  EXPECT_EQ(table[0], second.Structure(0, 100).Structure());
}

TEST(DeviceNames, SeveralHandlesAtOnceServeTheSameTable) {
  ASSERT_DRIVER(Generic());
  BoardInfoClient first("\\\\.\\boardinfo");
  BoardInfoClient second("\\\\.\\boardinfo.vxd");
  BoardInfoClient third("\\\\.\\boardinfo");
  ASSERT_TRUE(first.IsOpen() && second.IsOpen() && third.IsOpen());
  IoResult a = first.Info();
  IoResult b = second.Info();
  IoResult c = third.Info();
  ASSERT_TRUE(a.ok && b.ok && c.ok);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(a.out, c.out);
  EXPECT_EQ(14, a.Word(2));
}

// ---- Request checks

struct CheckCase {
  const char* name;
  DWORD code;
  Bytes input;
  DWORD outSize;
  bool ok;
  DWORD error;    // when !ok
  Bytes expected; // when ok: the reply, or its first bytes
  DWORD returned; // when ok
};

class RequestChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(RequestChecks, AnswerOrFail) {
  ASSERT_DRIVER(Generic());
  const CheckCase& c = GetParam();
  BoardInfoClient device;
  ASSERT_TRUE(device.IsOpen()) << device.OpenError();
  IoResult r = device.Call(c.code, c.input, c.outSize);
  EXPECT_TRUE(r.guardIntact);
  ASSERT_EQ(c.ok, !!r.ok) << "error " << r.error;
  if (!c.ok) {
    EXPECT_EQ(c.error, r.error);
    return;
  }
  EXPECT_EQ(c.returned, r.returned);
  ASSERT_GE(r.out.size(), c.expected.size());
  EXPECT_EQ(c.expected, Bytes(r.out.begin(), r.out.begin() + c.expected.size()));
}

// The first structure of generic-desktop.bin is the BIOS information, 24 bytes plus strings, handle 0.
INSTANTIATE_TEST_SUITE_P(
    Cases, RequestChecks,
    testing::Values(
        CheckCase{"OtherControlCode", 0x220004, {0x50, 0, 0, 0}, 12, false, ERROR_INVALID_FUNCTION, {}, 0},
        CheckCase{"OtherDeviceType", 0x00090000, {0x50, 0, 0, 0}, 12, false, ERROR_INVALID_FUNCTION, {}, 0},
        CheckCase{"InfoNoInput", IOCTL_BOARDINFO_CALL, {}, 12, false, ERROR_INVALID_PARAMETER, {}, 0},
        CheckCase{"InfoInputCut", IOCTL_BOARDINFO_CALL, {0x50, 0, 0}, 12, false, ERROR_INVALID_PARAMETER, {}, 0},
        CheckCase{"InfoOutputCut", IOCTL_BOARDINFO_CALL, {0x50, 0, 0, 0}, 11, false, ERROR_INSUFFICIENT_BUFFER, {}, 0},
        CheckCase{"InfoNoOutput", IOCTL_BOARDINFO_CALL, {0x50, 0, 0, 0}, 0, false, ERROR_INSUFFICIENT_BUFFER, {}, 0},
        CheckCase{"InfoBiggerBuffers", IOCTL_BOARDINFO_CALL, {0x50, 0, 0, 0, 1, 2, 3, 4}, 100, true, 0,
                  {0, 2, 14, 0}, 12},
        CheckCase{"StructureInputCut", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0}, 64, false, ERROR_INVALID_PARAMETER, {},
                  0},
        CheckCase{"StructureInputSeven", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0, 0, 0xF1, 0}, 64, false,
                  ERROR_INVALID_PARAMETER, {}, 0},
        CheckCase{"StructureOutputCut", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0, 0, 0xF1, 0, 0}, 2, false,
                  ERROR_INSUFFICIENT_BUFFER, {}, 0},
        CheckCase{"StructureTooBigForBuffer", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0, 0, 0xF1, 0, 0}, 20, true, 0,
                  {0x8C, 0xFF, 0xFF}, 3},
        CheckCase{"StructureFirst", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0, 0, 0xF1, 0, 0}, 200, true, 0,
                  {0, 1, 0, 0, 0x18, 0, 0}, 3 + 24 + 18 + 5 + 11 + 1},
        CheckCase{"StructureAnySegment", IOCTL_BOARDINFO_CALL, {0x51, 0, 0, 0, 0x34, 0x12, 0, 0}, 200, true, 0,
                  {0, 1, 0, 0, 0x18, 0, 0}, 3 + 24 + 18 + 5 + 11 + 1},
        CheckCase{"UnknownFunction", IOCTL_BOARDINFO_CALL, {0x52, 0}, 16, true, 0, {0x81}, 1},
        CheckCase{"FunctionHighByte", IOCTL_BOARDINFO_CALL, {0x50, 1, 0, 0}, 16, true, 0, {0x81}, 1}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// ---- The firmware's table

std::vector<uint8_t> FirmwareBlob() {
  const DWORD rsmb = 'R' << 24 | 'S' << 16 | 'M' << 8 | 'B';
  UINT size = ::GetSystemFirmwareTable(rsmb, 0, nullptr, 0);
  std::vector<uint8_t> blob(size);
  if (size == 0 || ::GetSystemFirmwareTable(rsmb, 0, blob.data(), size) != size) blob.clear();
  return blob;
}

TEST(FirmwareTable, WithoutTableFileTheFirmwaresTableIsServed) {
  ASSERT_DRIVER(DriverSettings());
  std::vector<uint8_t> blob = FirmwareBlob();
  ASSERT_GE(blob.size(), 8u) << "GetSystemFirmwareTable error " << ::GetLastError();
  reference::Table table = reference::FromRsmb(blob);
  ASSERT_TRUE(table.valid);
  ASSERT_FALSE(table.structures.empty());
  ExpectServes(BytesOf(table), blob[1]);
}

// ---- The sample dumps, named by each kind of path TableFile accepts

struct Sample {
  const char* file;
  unsigned count; // as `dmidecode --from-dump` reports it (for the RSMB blob: its structures)
  unsigned size;
};

enum class PathKind { ZDrive, NtPath, CDrive };

struct SampleCase {
  Sample sample;
  PathKind kind;
};

class SampleTables : public testing::TestWithParam<SampleCase> {};

TEST_P(SampleTables, ServedByteForByte) {
  const SampleCase& c = GetParam();
  std::wstring unixSeen = drivertest::SamplePath(c.sample.file);
  std::vector<uint8_t> image = drivertest::ReadFileBytes(unixSeen);
  ASSERT_FALSE(image.empty()) << "missing sample " << c.sample.file;
  reference::Table table = reference::FromImage(image);
  ASSERT_TRUE(table.valid);
  ASSERT_EQ(c.sample.count, table.structures.size());
  ASSERT_EQ(c.sample.size, table.Size());

  std::wstring path = unixSeen;
  if (c.kind == PathKind::NtPath) path = L"\\??\\" + unixSeen;
  if (c.kind == PathKind::CDrive) {
    std::wstring name = L"boardinfo-sample-" + std::wstring(unixSeen.substr(unixSeen.rfind(L'\\') + 1));
    path = drivertest::WriteTempFile(name, image);
    ASSERT_EQ(L"C:", path.substr(0, 2));
  }
  ASSERT_DRIVER(Table(path));
  ExpectServes(BytesOf(table), table.major);
}

const Sample kSamples[] = {
    {"generic-desktop.bin", 14, 590},
    {"varnel-notebook.bin", 8, 325},
    {"wine-rsmb-blob.bin", 6, 123},
};

std::vector<SampleCase> SampleCases() {
  std::vector<SampleCase> cases;
  for (PathKind kind : {PathKind::ZDrive, PathKind::NtPath, PathKind::CDrive})
    for (const Sample& s : kSamples) cases.push_back({s, kind});
  return cases;
}

std::string SampleCaseName(const testing::TestParamInfo<SampleCase>& info) {
  std::string name = info.param.sample.file;
  name = name.substr(0, name.find('.'));
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  static const char* const kKinds[] = {"Z", "Nt", "C"};
  return name + "_" + kKinds[static_cast<int>(info.param.kind)];
}

INSTANTIATE_TEST_SUITE_P(Dumps, SampleTables, testing::ValuesIn(SampleCases()), SampleCaseName);

// ---- Generated and malformed tables

struct GeneratedCase {
  const char* name;
  Bytes image;
  std::vector<Bytes> served;
  uint8_t major;
};

class GeneratedTables : public testing::TestWithParam<GeneratedCase> {};

TEST_P(GeneratedTables, ServesTheCompleteStructures) {
  const GeneratedCase& c = GetParam();
  std::wstring path = drivertest::WriteTempFile(L"boardinfo-generated.bin", c.image);
  ASSERT_FALSE(path.empty());
  // The same path each time: restart whatever this process last started.
  std::string error;
  ASSERT_TRUE(drivertest::RestartDriver(Table(path), &error)) << error;
  ExpectServes(c.served, c.major);
}

const Bytes kA = Structure(0, 0x0010, {1, 2, 0, 0xE8, 3, 0x0F}, {"Vendor", "2.01"});
const Bytes kB = Structure(1, 0x0011, {1, 2, 3, 4}, {"Maker", "Model", "v1", "SN 1234"});
const Bytes kC = Structure(4, 0x0012, Bytes(0x1E, 3));
const Bytes kEnd = EndOfTable(0x0013);
const Bytes kVendor = Structure(218, 0xDA00, {1, 2, 3, 4, 5, 6});
const Bytes kVendor2 = Structure(218, 0xDA01, {7}, {"vendor"});
const Bytes kZeroBios = Structure(0, 0x0000, {1, 2, 0, 0xE8, 3, 0x0F}, {"Dell Inc.", "1.21.0"});
const std::vector<Bytes> kMany = ManyStructures(200);

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratedTables,
    testing::Values(
        GeneratedCase{"WellFormed", SmDump(Concat({kA, kB, kC, kEnd})), {kA, kB, kC, kEnd}, 2},
        GeneratedCase{"NoEndOfTable", SmDump(Concat({kA, kB, kC})), {kA, kB, kC}, 2},
        GeneratedCase{"BytesAfterEndOfTable", SmDump(Concat({kA, kEnd, kB, kC})), {kA, kEnd}, 2},
        GeneratedCase{"LengthBelowFour", SmDump(Concat({kA, Bytes{2, 3, 0x20, 0, 0, 0}, kB})), {kA}, 2},
        GeneratedCase{"StringSetCut", SmDump(Concat({kA, kC, Bytes(kB.begin(), kB.end() - 1)})), {kA, kC}, 2},
        GeneratedCase{"FormattedAreaCut", SmDump(Concat({kA, Bytes(kC.begin(), kC.begin() + 10)})), {kA}, 2},
        GeneratedCase{"LengthBeyondFile", SmDump(Concat({kA, kB}), 2, 6, 0, 0x4000), {kA, kB}, 2},
        GeneratedCase{"LengthShorterThanTable", SmDump(Concat({kA, kB, kEnd}), 2, 6, 0, kA.size() + 3), {kA}, 2},
        GeneratedCase{"EmptyTable", SmDump({}), {}, 2},
        GeneratedCase{"Sm3", Sm3Dump(Concat({kA, kB, kEnd}), 3, 4), {kA, kB, kEnd}, 3},
        GeneratedCase{"Sm3MaxBeyondFile", Sm3Dump(Concat({kA, kC}), 3, 0, 0x10000), {kA, kC}, 3},
        GeneratedCase{"LegacyDmi", DmiDump(Concat({kB, kEnd}), 0x21), {kB, kEnd}, 2},
        GeneratedCase{"RsmbBlob", RsmbBlob(Concat({kC, kA, kEnd}), 3, 1), {kC, kA, kEnd}, 3},
        GeneratedCase{"RsmbLengthBeyond", RsmbBlob(Concat({kC, kA}), 2, 8, 0x1000000), {kC, kA}, 2},
        GeneratedCase{"VendorStructuresBeforeHandleZero",
                      SmDump(Concat({kVendor, kVendor2, kZeroBios, kB, kEnd}), 2, 8),
                      {kVendor, kVendor2, kZeroBios, kB, kEnd}, 2},
        // Vendor structures sharing one handle between the others, as on an HP ProLiant DL580 G5.
        GeneratedCase{"RepeatedHandles", SmDump(Concat({kVendor, kA, kVendor, kB, kVendor, kC, kEnd}), 2, 5),
                      {kVendor, kA, kVendor, kB, kVendor, kC, kEnd}, 2},
        GeneratedCase{"TwoHundredStructures", SmDump(Concat(kMany), 2, 8), kMany, 2}),
    [](const testing::TestParamInfo<GeneratedCase>& info) { return std::string(info.param.name); });

// ---- Table files the driver refuses: it does not start, and the device does not open

struct RefusedCase {
  const char* name;
  std::wstring path; // empty: write `image` to a temporary file
  Bytes image;
};

Bytes AddressOutside() {
  Bytes image = SmDump(Concat({kA, kEnd}));
  Put32(image, 0x18, 0x10000);
  return image;
}

class RefusedTableFiles : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTableFiles, KeepTheDriverFromStarting) {
  const RefusedCase& c = GetParam();
  std::wstring path = c.path.empty() ? drivertest::WriteTempFile(L"boardinfo-refused.bin", c.image) : c.path;
  ASSERT_FALSE(path.empty());
  std::string error;
  EXPECT_FALSE(drivertest::RestartDriver(Table(path), &error));
  BoardInfoClient device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), device.OpenError());
  ASSERT_TRUE(drivertest::RestartDriver(DriverSettings(), &error)) << "cannot start again: " << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTableFiles,
    testing::Values(RefusedCase{"Missing", L"Z:\\nonexistent\\table.bin", {}},
                    RefusedCase{"Relative", L"table.bin", {}},
                    RefusedCase{"Directory", L"C:\\windows", {}},
                    RefusedCase{"TooShortForAnything", L"", Bytes{1, 2, 3}},
                    RefusedCase{"EntryPointCut", L"", Bytes{'_', 'S', 'M', '_', 0, 0x1F, 2, 4}},
                    RefusedCase{"TableAddressOutside", L"", AddressOutside()},
                    RefusedCase{"OverOneMegabyte", L"", RsmbBlob(Bytes(1024 * 1024, 0))}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// ---- Fault settings (over generic-desktop.bin: handles 0..13, the second structure has handle 1)

TEST(Faults, FailInfoFailsTheInformationRequestOnly) {
  ASSERT_DRIVER(Generic({{L"FailInfo", 1}}));
  BoardInfoClient device;
  IoResult info = device.Info();
  EXPECT_FALSE(info.ok);
  EXPECT_EQ(static_cast<DWORD>(ERROR_IO_DEVICE), info.error);
  IoResult first = device.Structure(0, kMaxReply);
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(BOARDINFO_STATUS_OK, first.Status());
}

TEST(Faults, InfoStatusIsTheReplysStatusByte) {
  ASSERT_DRIVER(Generic({{L"InfoStatus", 0x27}}));
  BoardInfoClient device;
  IoResult info = device.Info();
  ASSERT_TRUE(info.ok) << info.error;
  EXPECT_EQ(0x27, info.Status());
  EXPECT_EQ(14, info.Word(2));
  EXPECT_EQ(590, info.Word(10));
}

struct CountCase {
  DWORD setting;
  uint16_t reported;
};

class StructureCountFault : public testing::TestWithParam<CountCase> {};

TEST_P(StructureCountFault, OverridesTheCountOnly) {
  ASSERT_DRIVER(Generic({{L"StructureCount", GetParam().setting}}));
  BoardInfoClient device;
  IoResult info = device.Info();
  ASSERT_TRUE(info.ok) << info.error;
  EXPECT_EQ(BOARDINFO_STATUS_OK, info.Status());
  EXPECT_EQ(GetParam().reported, info.Word(2));
  EXPECT_EQ(590, info.Word(10));
  bool endedAtLast = false;
  EXPECT_EQ(14u, device.Walk(kMaxReply, 100, &endedAtLast).size());
  EXPECT_TRUE(endedAtLast);
}

INSTANTIATE_TEST_SUITE_P(Counts, StructureCountFault,
                         testing::Values(CountCase{0, 0}, CountCase{3, 3}, CountCase{40, 40},
                                         CountCase{70000, 0xFFFF}));

TEST(Faults, LargestStructureMakesBigStructuresNotFit) {
  ASSERT_DRIVER(Generic({{L"LargestStructure", 10}}));
  BoardInfoClient device;
  IoResult info = device.Info();
  ASSERT_TRUE(info.ok);
  ASSERT_EQ(10, info.Word(4));
  IoResult r = device.Structure(0, 13);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(3u, r.returned);
  EXPECT_EQ(0x8C, r.Status());
  EXPECT_EQ(BOARDINFO_LAST_HANDLE, r.Word(1));
  EXPECT_TRUE(r.guardIntact);
}

TEST(Faults, CopyTruncatedCutsTheStructureToTheBuffer) {
  ASSERT_DRIVER(Generic({{L"LargestStructure", 10}, {L"CopyTruncated", 1}}));
  reference::Table table = reference::FromImage(drivertest::ReadFileBytes(drivertest::SamplePath("generic-desktop.bin")));
  ASSERT_EQ(14u, table.structures.size());
  BoardInfoClient device;
  IoResult r = device.Structure(0, 13);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(13u, r.returned);
  EXPECT_EQ(BOARDINFO_STATUS_OK, r.Status());
  EXPECT_EQ(table.structures[1].handle, r.Word(1));
  EXPECT_EQ(Bytes(table.structures[0].bytes.begin(), table.structures[0].bytes.begin() + 10), r.Structure());
  EXPECT_TRUE(r.guardIntact);
}

struct NoStructureCase {
  const char* name;
  std::vector<std::pair<std::wstring, DWORD>> values;
  unsigned answers83; // of 8 requests for handle 1 in one walk
};

class NoStructureFault : public testing::TestWithParam<NoStructureCase> {};

TEST_P(NoStructureFault, Answers83ForTheHandleThatManyTimesPerWalk) {
  ASSERT_DRIVER(Generic(GetParam().values));
  BoardInfoClient device;
  for (int walk = 0; walk < 2; ++walk) {
    ASSERT_TRUE(device.Info().ok);
    unsigned seen = 0;
    for (int i = 0; i < 8; ++i) {
      IoResult r = device.Structure(1, kMaxReply);
      ASSERT_TRUE(r.ok) << r.error;
      if (r.Status() == BOARDINFO_STATUS_NO_STRUCTURE) {
        ++seen;
        EXPECT_EQ(3u, r.returned);
      } else {
        EXPECT_EQ(BOARDINFO_STATUS_OK, r.Status());
        EXPECT_EQ(2, r.Word(1));
      }
      IoResult other = device.Structure(2, kMaxReply);
      EXPECT_EQ(BOARDINFO_STATUS_OK, other.Status());
    }
    EXPECT_EQ(GetParam().answers83, seen) << "walk " << walk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, NoStructureFault,
    testing::Values(NoStructureCase{"Once", {{L"NoStructureHandle", 1}}, 1},
                    NoStructureCase{"Three", {{L"NoStructureHandle", 1}, {L"NoStructureCount", 3}}, 3},
                    NoStructureCase{"Always", {{L"NoStructureHandle", 1}, {L"NoStructureCount", 0xFFFFFFFF}}, 8},
                    NoStructureCase{"Never", {{L"NoStructureHandle", 1}, {L"NoStructureCount", 0}}, 0}),
    [](const testing::TestParamInfo<NoStructureCase>& info) { return std::string(info.param.name); });

TEST(Faults, StructureStatusForEveryHandle) {
  ASSERT_DRIVER(Generic({{L"StructureStatus", 0x85}}));
  BoardInfoClient device;
  ASSERT_TRUE(device.Info().ok);
  for (uint16_t handle : {0, 1, 13, 0x4444}) {
    IoResult r = device.Structure(handle, kMaxReply);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Bytes({0x85, 0xFF, 0xFF}), r.out) << handle;
  }
}

TEST(Faults, StructureStatusForOneHandle) {
  ASSERT_DRIVER(Generic({{L"StructureStatus", 0x85}, {L"StructureStatusHandle", 3}}));
  BoardInfoClient device;
  bool endedAtLast = false;
  std::vector<Bytes> walked = device.Walk(kMaxReply, 100, &endedAtLast);
  EXPECT_EQ(3u, walked.size());
  EXPECT_FALSE(endedAtLast);
  EXPECT_EQ(0x85, device.Structure(3, kMaxReply).Status());
  EXPECT_EQ(BOARDINFO_STATUS_OK, device.Structure(4, kMaxReply).Status());
}

TEST(Faults, FailStructureFailsTheNthRequestOfEachWalk) {
  ASSERT_DRIVER(Generic({{L"FailStructure", 3}}));
  BoardInfoClient device;
  for (int walk = 0; walk < 2; ++walk) {
    ASSERT_TRUE(device.Info().ok);
    EXPECT_TRUE(device.Structure(0, kMaxReply).ok);
    EXPECT_TRUE(device.Structure(1, kMaxReply).ok);
    IoResult third = device.Structure(2, kMaxReply);
    EXPECT_FALSE(third.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_DEVICE), third.error);
    EXPECT_TRUE(device.Structure(2, kMaxReply).ok);
  }
}

TEST(Faults, EverySettingAtOnceKeepsTheDriverAnswering) {
  ASSERT_DRIVER(Generic({{L"InfoStatus", 0xFFFFFFFF},
                         {L"StructureCount", 0xFFFFFFFF},
                         {L"LargestStructure", 0xFFFFFFFF},
                         {L"NoStructureHandle", 0xFFFFFFFF},
                         {L"NoStructureCount", 0xFFFFFFFE},
                         {L"StructureStatus", 0xFFFFFF00},
                         {L"StructureStatusHandle", 0},
                         {L"FailStructure", 0xFFFFFFFF},
                         {L"CopyTruncated", 1}}));
  BoardInfoClient device;
  IoResult info = device.Info();
  ASSERT_TRUE(info.ok) << info.error;
  EXPECT_EQ(0xFF, info.Status());
  for (uint16_t handle : {0, 1, 13, 0xFFFF})
    for (DWORD size : {3u, 4u, 30u, 600u}) {
      IoResult r = device.Structure(handle, size);
      EXPECT_TRUE(r.ok) << handle << "/" << size << ": " << r.error;
      EXPECT_TRUE(r.guardIntact);
      EXPECT_LE(r.returned, size);
    }
}

// The event the driver sets as a held request begins waiting.
UniqueHandle OpenHoldEvent() { return UniqueHandle(::OpenEventW(SYNCHRONIZE, FALSE, L"Global\\boardinfo-hold")); }

TEST(Hold, TheNthRequestIsAnsweredAfterTheHoldAndSignals) {
  ASSERT_DRIVER(Generic({{L"HoldRequest", 2}, {L"HoldMs", 300}}));
  UniqueHandle held = OpenHoldEvent();
  ASSERT_TRUE(held) << ::GetLastError();
  BoardInfoClient device;
  ASSERT_TRUE(device.Info().ok);
  ASSERT_TRUE(device.Structure(0, kMaxReply).ok);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(held.Get(), 0)) << "not before the hold";
  const DWORD start = ::GetTickCount();
  IoResult second = device.Structure(1, kMaxReply);
  const DWORD took = ::GetTickCount() - start;
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(BOARDINFO_STATUS_OK, second.Status());
  EXPECT_GE(took, 250u) << "the request was held";
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(held.Get(), 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(held.Get(), 0)) << "auto-reset";
}

// Wine ends the held request when the service stops, and every later one on the open handle
// fails as well: what a walk meets when the driver goes away between its requests.
TEST(Hold, StoppingTheServiceDuringAHoldFailsThatRequestAndTheRest) {
  ASSERT_DRIVER(Generic({{L"HoldRequest", 2}, {L"HoldMs", 30000}}));
  UniqueHandle held = OpenHoldEvent();
  ASSERT_TRUE(held) << ::GetLastError();
  BoardInfoClient device;
  ASSERT_TRUE(device.Info().ok);
  ASSERT_TRUE(device.Structure(0, kMaxReply).ok);
  IoResult second;
  std::thread walker([&] { second = device.Structure(1, kMaxReply); });
  const bool heldInTime = ::WaitForSingleObject(held.Get(), 20000) == WAIT_OBJECT_0;
  std::string error;
  const bool stopped = drivertest::StopDriver(&error);
  walker.join();
  ASSERT_TRUE(heldInTime);
  ASSERT_TRUE(stopped) << error;
  EXPECT_FALSE(second.ok);
  EXPECT_NE(0u, second.error);
  IoResult third = device.Structure(1, kMaxReply);
  EXPECT_FALSE(third.ok);
  BoardInfoClient reopened;
  EXPECT_FALSE(reopened.IsOpen());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), reopened.OpenError());
}

} // namespace
