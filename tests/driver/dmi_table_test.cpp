// Native tests of the boardinfo driver's table logic: image formats, malformed tables, requests, fault settings.
#include "smbios/dmi_table.h"

#include "smbios/boardinfo_protocol.h"
#include "tests/support/table_builder.h"
#include "tests/support/table_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace tablebuilder;

namespace {

uint16_t Word(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8)); }
uint32_t Dword(const Bytes& b, size_t at) { return Word(b, at) | (static_cast<uint32_t>(Word(b, at + 2)) << 16); }

Bytes ReplyBody(const Reply& r) { return Bytes(r.bytes.begin() + 3, r.bytes.end()); }

// The program's walk: an information request, then handle 0 and each next handle.
std::vector<Bytes> Walk(Driver& d, BoardInfoWalk* walk = nullptr) {
  std::vector<Bytes> seen;
  if (d.Info(walk).result != kBoardInfoReplied) return seen;
  uint16_t handle = 0;
  for (unsigned i = 0; i < 70000; ++i) {
    Reply r = d.Get(handle, walk);
    if (r.result != kBoardInfoReplied || r.bytes.at(0) != 0) break;
    seen.push_back(ReplyBody(r));
    handle = Word(r.bytes, 1);
    if (handle == 0xFFFF) break;
  }
  return seen;
}

const std::vector<Bytes> kThree = {
    Structure(0, 0x0000, {1, 2, 0, 0xE8, 3, 0x0F}, {"Vendor", "1.07"}),
    Structure(1, 0x0101, {1, 2, 3, 4}, {"Maker", "Model", "v1", "SN"}),
    EndOfTable(0x0202),
};

// ---- Image formats

struct FormatCase {
  const char* name;
  Bytes image;
  bool rsmb;
  bool located;
  uint8_t major;
  size_t tableSize;
  uint32_t structures;
};

class ImageFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(ImageFormat, LocatesTheTable) {
  const FormatCase& c = GetParam();
  Driver d(c.image, {}, c.rsmb);
  ASSERT_EQ(c.located, d.Located());
  if (!c.located) return;
  EXPECT_EQ(c.major, d.Table().major);
  EXPECT_EQ(c.tableSize, d.View().size);
  EXPECT_EQ(c.structures, d.Table().count);
}

const Bytes kThreeTable = Concat(kThree);

Bytes Cut(const Bytes& b, size_t size) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(size)); }

INSTANTIATE_TEST_SUITE_P(
    Dumps, ImageFormat,
    testing::Values(
        FormatCase{"Sm", SmDump(kThreeTable, 2, 4), false, true, 2, kThreeTable.size(), 3},
        FormatCase{"SmLengthBeyondFile", SmDump(kThreeTable, 2, 4, 0, 0xFFFF), false, true, 2, kThreeTable.size(), 3},
        FormatCase{"SmLengthShort", SmDump(kThreeTable, 2, 4, 0, kThree[0].size()), false, true, 2, kThree[0].size(), 1},
        FormatCase{"SmEntryCut", Cut(SmDump(kThreeTable), 0x1E), false, false, 0, 0, 0},
        FormatCase{"Sm3", Sm3Dump(kThreeTable, 3, 2), false, true, 3, kThreeTable.size(), 3},
        FormatCase{"Sm3MaxBeyondFile", Sm3Dump(kThreeTable, 3, 0, 0x100000), false, true, 3, kThreeTable.size(), 3},
        FormatCase{"Sm3EntryCut", Bytes{'_', 'S', 'M', '3', '_', 0, 0x18, 3}, false, false, 0, 0, 0},
        FormatCase{"Dmi", DmiDump(kThreeTable, 0x21), false, true, 2, kThreeTable.size(), 3},
        FormatCase{"RsmbByContent", RsmbBlob(kThreeTable, 2, 8), false, true, 2, kThreeTable.size(), 3},
        FormatCase{"Rsmb", RsmbBlob(kThreeTable, 3, 1), true, true, 3, kThreeTable.size(), 3},
        FormatCase{"RsmbLengthBeyond", RsmbBlob(kThreeTable, 2, 4, 0x7FFFFFFF), true, true, 2, kThreeTable.size(), 3},
        FormatCase{"RsmbEmpty", RsmbBlob({}, 2, 4), true, true, 2, 0, 0},
        FormatCase{"RsmbHeaderCut", Bytes{0, 2, 4, 0, 0, 0, 0}, true, false, 0, 0, 0},
        FormatCase{"NothingAtAll", Bytes{}, false, false, 0, 0, 0}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(ImageFormatAddress, TableAddressOutsideTheImageIsRejected) {
  Bytes image = SmDump(kThreeTable);
  Put32(image, 0x18, static_cast<uint32_t>(image.size() + 1));
  DmiImage view;
  EXPECT_FALSE(LocateDmiTable(image.data(), image.size(), &view));
  Put32(image, 0x18, static_cast<uint32_t>(image.size()));
  ASSERT_TRUE(LocateDmiTable(image.data(), image.size(), &view));
  EXPECT_EQ(0u, view.size);
}

// ---- Structure sizes and malformed tables

struct SizeCase {
  const char* name;
  Bytes bytes;
  size_t size;
};

class StructureSize : public testing::TestWithParam<SizeCase> {};

TEST_P(StructureSize, CountsFormattedAreaAndStrings) {
  const SizeCase& c = GetParam();
  std::unique_ptr<uint8_t[]> exact(new uint8_t[c.bytes.size() ? c.bytes.size() : 1]);
  if (!c.bytes.empty()) std::memcpy(exact.get(), c.bytes.data(), c.bytes.size());
  EXPECT_EQ(c.size, DmiStructureSize(exact.get(), c.bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StructureSize,
    testing::Values(SizeCase{"NoStrings", Structure(3, 1, {9, 9}), 8}, SizeCase{"TwoStrings", Structure(1, 1, {1}, {"ab", "c"}), 5 + 3 + 2 + 1},
                    SizeCase{"HeaderOnly", Bytes{127, 4, 0, 0, 0, 0}, 6}, SizeCase{"LengthBelowFour", Bytes{1, 3, 0, 0, 0, 0}, 0},
                    SizeCase{"LengthZero", Bytes{1, 0, 0, 0, 0, 0}, 0}, SizeCase{"ShorterThanHeader", Bytes{1, 4, 0}, 0},
                    SizeCase{"AreaBeyondEnd", Bytes{1, 10, 0, 0, 0, 0, 0, 0}, 0},
                    SizeCase{"NoFinalNul", Bytes{1, 4, 0, 0, 'a', 'b', 0}, 0},
                    SizeCase{"SingleNulOnly", Bytes{1, 4, 0, 0, 0}, 0}, SizeCase{"Nothing", Bytes{}, 0}),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

struct TableCase {
  const char* name;
  Bytes table;
  std::vector<Bytes> served;
};

class MalformedTable : public testing::TestWithParam<TableCase> {};

TEST_P(MalformedTable, ServesTheCompleteStructuresOnly) {
  const TableCase& c = GetParam();
  Driver d(RsmbBlob(c.table), {}, true);
  ASSERT_TRUE(d.Located());
  Reply info = d.Info();
  ASSERT_EQ(kBoardInfoReplied, info.result);
  EXPECT_EQ(c.served.size(), Word(info.bytes, 2));
  size_t largest = 0;
  size_t total = 0;
  for (const Bytes& s : c.served) {
    largest = std::max(largest, s.size());
    total += s.size();
  }
  EXPECT_EQ(largest, Word(info.bytes, 4));
  EXPECT_EQ(total, Word(info.bytes, 10));
  EXPECT_EQ(c.served, Walk(d));
}

const Bytes kA = Structure(0, 0x10, {1, 2, 3}, {"alpha"});
const Bytes kB = Structure(1, 0x11, {1, 2, 3, 4}, {"beta", "gamma"});
const Bytes kEnd = EndOfTable(0x12);

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedTable,
    testing::Values(
        TableCase{"WellFormed", Concat({kA, kB, kEnd}), {kA, kB, kEnd}},
        TableCase{"NoEndOfTable", Concat({kA, kB}), {kA, kB}},
        TableCase{"BytesAfterEndOfTable", Concat({kA, kEnd, kB}), {kA, kEnd}},
        TableCase{"LengthBelowFourStops", Concat({kA, Bytes{2, 3, 0x20, 0, 0, 0}, kB}), {kA}},
        TableCase{"StringSetCut", Concat({kA, Bytes(kB.begin(), kB.end() - 1)}), {kA}},
        TableCase{"FormattedAreaCut", Concat({kA, Bytes(kB.begin(), kB.begin() + 6)}), {kA}},
        TableCase{"TrailingByte", Concat({kA, kB, Bytes{0x55}}), {kA, kB}},
        TableCase{"Empty", Bytes{}, {}},
        TableCase{"OnlyGarbage", Bytes{0xFF, 0xFF, 0xFF}, {}}),
    [](const testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

// ---- Requests

TEST(InformationRequest, ReplyLayout) {
  Driver d(SmDump(kThreeTable, 2, 7));
  Reply r = d.Info();
  ASSERT_EQ(kBoardInfoReplied, r.result);
  ASSERT_EQ(12u, r.bytes.size());
  EXPECT_EQ(0, r.bytes[0]);
  EXPECT_EQ(2, r.bytes[1]);
  EXPECT_EQ(3, Word(r.bytes, 2));
  EXPECT_EQ(kThree[1].size(), Word(r.bytes, 4));
  EXPECT_EQ(kBoardInfoTableAddress, Dword(r.bytes, 6));
  EXPECT_EQ(kThreeTable.size(), Word(r.bytes, 10));
}

TEST(InformationRequest, SizesAreChecked) {
  Driver d(SmDump(kThreeTable));
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({}, 12).result);
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({0x50}, 12).result);
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({0x50, 0, 0}, 12).result);
  EXPECT_EQ(kBoardInfoBufferTooSmall, d.Call({0x50, 0, 0, 0}, 11).result);
  EXPECT_EQ(kBoardInfoBufferTooSmall, d.Call({0x50, 0, 0, 0}, 0).result);
  Reply longer = d.Call({0x50, 0, 0, 0, 9, 9, 9, 9, 9, 9}, 64);
  ASSERT_EQ(kBoardInfoReplied, longer.result);
  EXPECT_EQ(12u, longer.bytes.size());
}

TEST(StructureRequest, WalksInTableOrder) {
  Driver d(SmDump(kThreeTable));
  EXPECT_EQ(kThree, Walk(d));
}

TEST(StructureRequest, HandleZeroIsTheFirstAndEachHandleIsFound) {
  Driver d(SmDump(Concat({kB, kA, kEnd})));
  ASSERT_EQ(kBoardInfoReplied, d.Info().result);
  Reply first = d.Get(0);
  ASSERT_EQ(kBoardInfoReplied, first.result);
  EXPECT_EQ(0, first.bytes[0]);
  EXPECT_EQ(0x10, Word(first.bytes, 1));
  EXPECT_EQ(kB, ReplyBody(first));
  Reply a = d.Get(0x10);
  EXPECT_EQ(0x12, Word(a.bytes, 1));
  EXPECT_EQ(kA, ReplyBody(a));
  Reply end = d.Get(0x12);
  EXPECT_EQ(0xFFFF, Word(end.bytes, 1));
  EXPECT_EQ(kEnd, ReplyBody(end));
  Reply b = d.Get(0x11);
  EXPECT_EQ(kB, ReplyBody(b));
}

TEST(StructureRequest, UnknownHandleIs83) {
  Driver d(SmDump(kThreeTable));
  for (uint16_t handle : {0x0003, 0x7777, 0xFFFE, 0xFFFF}) {
    Reply r = d.Get(handle);
    ASSERT_EQ(kBoardInfoReplied, r.result);
    ASSERT_EQ(3u, r.bytes.size());
    EXPECT_EQ(0x83, r.bytes[0]) << handle;
    EXPECT_EQ(0xFFFF, Word(r.bytes, 1));
  }
}

TEST(StructureRequest, EmptyTableAnswers83) {
  Driver d(RsmbBlob({}), {}, true);
  Reply info = d.Info();
  EXPECT_EQ(0, Word(info.bytes, 2));
  EXPECT_EQ(0, Word(info.bytes, 4));
  EXPECT_EQ(0x83, d.Get(0, 3).bytes.at(0));
}

// The fault setting that answers 0x83 once per walk for `handle`.
BoardInfoFaults NoStructureOnce(uint16_t handle) {
  BoardInfoFaults f{};
  f.hasNoStructureHandle = true;
  f.noStructureHandle = handle;
  f.noStructureCount = 1;
  return f;
}

// Firmware repeats handles: vendor structures sharing DA00h between the BIOS, system and processor ones,
// as on an HP ProLiant DL580 G5. The walk reaches each structure once, in table order.
const std::vector<Bytes> kRepeated = {
    Structure(218, 0xDA00, {1}),
    Structure(0, 0x0000, {1, 2, 0, 0xE8, 3, 0x0F}, {"HP", "P60"}),
    Structure(218, 0xDA00, {2}),
    Structure(1, 0x0100, {1, 2, 0, 3}, {"HP", "ProLiant DL580 G5", "GB8849AB1C"}),
    Structure(218, 0xDA00, {3}),
    Structure(4, 0x0400, Bytes(0x1E, 3)),
    EndOfTable(0x7F00),
};

TEST(StructureRequest, RepeatedHandlesWalkInTableOrder) {
  Driver d(SmDump(Concat(kRepeated)));
  EXPECT_EQ(kRepeated, Walk(d));
  // Out of turn a handle names the first structure holding it, and the walk goes on from the one served.
  BoardInfoWalk other = d.OpenHandle();
  EXPECT_EQ(kRepeated[0], ReplyBody(d.Get(0xDA00)));
  EXPECT_EQ(kRepeated[3], ReplyBody(d.Get(0x0100)));
  EXPECT_EQ(kRepeated[0], ReplyBody(d.Get(0xDA00, &other))); // another handle's walk is its own
  EXPECT_EQ(kRepeated[4], ReplyBody(d.Get(0xDA00)));
  // A 0x83 keeps the walk where it was: the repeated request gets the structure after the last one served.
  Driver faulty(SmDump(Concat(kRepeated)), NoStructureOnce(0xDA00));
  faulty.Info();
  EXPECT_EQ(kRepeated[0], ReplyBody(faulty.Get(0)));
  EXPECT_EQ(kRepeated[1], ReplyBody(faulty.Get(0)));
  EXPECT_EQ(0x83, faulty.Get(0xDA00).bytes.at(0));
  EXPECT_EQ(kRepeated[2], ReplyBody(faulty.Get(0xDA00)));
}

// Vendor structures first and the BIOS structure with handle 0 in the middle, as on many notebooks and
// servers: the walk comes back to handle 0 and must get that structure, once.
const std::vector<Bytes> kVendorFirst = {
    Structure(218, 0xDA00, {1, 2, 3, 4, 5, 6}),
    Structure(218, 0xDA01, {7, 8}, {"vendor"}),
    Structure(0, 0x0000, {1, 2, 0, 0xE8, 3, 0x0F}, {"Dell Inc.", "1.21.0"}),
    Structure(1, 0x0001, {1, 2, 3, 4}, {"Dell Inc.", "Latitude 7420", "A00", "ABC1234"}),
    EndOfTable(0xFEFF),
};

TEST(StructureRequest, HandleZeroIsTheFirstOnlyAtTheWalksStart) {
  Driver d(SmDump(Concat(kVendorFirst)));
  EXPECT_EQ(kVendorFirst, Walk(d));
  // A handle that never asked for information has no walk to start: 0 is the BIOS structure.
  BoardInfoWalk fresh = d.OpenHandle();
  EXPECT_EQ(kVendorFirst[2], ReplyBody(d.Get(0, &fresh)));
  // A 0x83 at the start keeps the walk there: the repeated request still gets the first structure.
  Driver faulty(SmDump(Concat(kVendorFirst)), NoStructureOnce(0));
  faulty.Info();
  EXPECT_EQ(0x83, faulty.Get(0).bytes.at(0));
  EXPECT_EQ(kVendorFirst[0], ReplyBody(faulty.Get(0)));
}

TEST(StructureRequest, EachHandleWalksOnItsOwn) {
  Driver d(SmDump(Concat(kVendorFirst)));
  BoardInfoWalk other = d.OpenHandle();
  d.Info();
  EXPECT_EQ(kVendorFirst[0], ReplyBody(d.Get(0)));
  // The other handle's walk starts and runs to its end between two requests of the first.
  EXPECT_EQ(kVendorFirst, Walk(d, &other));
  EXPECT_EQ(kVendorFirst[2], ReplyBody(d.Get(0)));
  d.Info();
  EXPECT_EQ(kVendorFirst[0], ReplyBody(d.Get(0)));
  EXPECT_EQ(kVendorFirst[2], ReplyBody(d.Get(0, &other)));
}

TEST(StructureRequest, SizesAreChecked) {
  Driver d(SmDump(kThreeTable));
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({0x51, 0, 0, 0}, 64).result);
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({0x51, 0, 0, 0, 0, 0, 0}, 64).result);
  EXPECT_EQ(kBoardInfoBufferTooSmall, d.Get(0, 2).result);
  EXPECT_EQ(kBoardInfoBufferTooSmall, d.Get(0, size_t{0}).result);
}

TEST(StructureRequest, TooSmallBufferGets8CAndNoBytes) {
  Driver d(SmDump(kThreeTable));
  for (size_t outSize = 3; outSize < kThree[0].size() + 3; ++outSize) {
    Reply r = d.Get(0, outSize);
    ASSERT_EQ(kBoardInfoReplied, r.result);
    ASSERT_EQ(3u, r.bytes.size());
    EXPECT_EQ(kBoardInfoStatusBufferTooSmall, r.bytes[0]);
    EXPECT_EQ(0xFFFF, Word(r.bytes, 1));
  }
  EXPECT_EQ(0, d.Get(0, kThree[0].size() + 3).bytes.at(0));
}

TEST(StructureRequest, CopyTruncatedCutsToFit) {
  BoardInfoFaults f{};
  f.copyTruncated = 1;
  Driver d(SmDump(kThreeTable), f);
  for (size_t outSize = 3; outSize <= kThree[1].size() + 5; ++outSize) {
    Reply r = d.Get(0x0101, outSize);
    ASSERT_EQ(kBoardInfoReplied, r.result);
    size_t body = std::min(outSize - 3, kThree[1].size());
    ASSERT_EQ(3 + body, r.bytes.size());
    EXPECT_EQ(0, r.bytes[0]);
    EXPECT_EQ(0x0202, Word(r.bytes, 1));
    EXPECT_EQ(Bytes(kThree[1].begin(), kThree[1].begin() + body), ReplyBody(r));
  }
}

TEST(Request, UnknownFunctionGets81) {
  Driver d(SmDump(kThreeTable));
  Reply r = d.Call({0x52, 0}, 16);
  ASSERT_EQ(kBoardInfoReplied, r.result);
  EXPECT_EQ(Bytes{kBoardInfoStatusUnknownFunction}, r.bytes);
  EXPECT_EQ(kBoardInfoBufferTooSmall, d.Call({0x50, 1, 0, 0}, 0).result);
  EXPECT_EQ(kBoardInfoInvalidParameter, d.Call({0x52}, 16).result);
}

TEST(Request, SharedBufferIsReadBeforeItIsWritten) {
  Bytes image = SmDump(kThreeTable);
  Driver d(image);
  Reply expected = d.Get(0x0101, 64);
  DmiImage view;
  ASSERT_TRUE(LocateDmiTable(image.data(), image.size(), &view));
  std::vector<DmiEntry> entries(CountDmiStructures(view.table, view.size));
  DmiTable table;
  IndexDmiTable(view, entries.data(), static_cast<uint32_t>(entries.size()), &table);
  BoardInfoServer server{};
  InitBoardInfoServer(&server, table, {});
  BoardInfoWalk walk;
  InitBoardInfoWalk(&server, &walk);
  // Buffered transfer: one block holds the request and receives the reply.
  std::unique_ptr<uint8_t[]> block(new uint8_t[64]);
  const uint8_t request[8] = {0x51, 0, 0x01, 0x01, 0, 0xF1, 0, 0};
  std::memcpy(block.get(), request, sizeof(request));
  size_t written = 0;
  ASSERT_EQ(kBoardInfoReplied, BoardInfoCall(&server, &walk, block.get(), 8, block.get(), 64, &written));
  EXPECT_EQ(expected.bytes, Bytes(block.get(), block.get() + written));
}

// ---- Fault settings

TEST(Faults, FailInfo) {
  BoardInfoFaults f{};
  f.failInfo = 1;
  Driver d(SmDump(kThreeTable), f);
  EXPECT_EQ(kBoardInfoDeviceError, d.Info().result);
  EXPECT_EQ(0, d.Get(0).bytes.at(0));
}

TEST(Faults, InfoStatusCountAndLargest) {
  BoardInfoFaults f{};
  f.infoStatus = 0x127; // the low byte counts
  f.hasStructureCount = true;
  f.structureCount = 70000;
  f.hasLargestStructure = true;
  f.largestStructure = 5;
  Driver d(SmDump(kThreeTable), f);
  Reply r = d.Info();
  ASSERT_EQ(kBoardInfoReplied, r.result);
  EXPECT_EQ(0x27, r.bytes[0]);
  EXPECT_EQ(0xFFFF, Word(r.bytes, 2));
  EXPECT_EQ(5, Word(r.bytes, 4));
  EXPECT_EQ(kThreeTable.size(), Word(r.bytes, 10));
}

TEST(Faults, StructureCountZero) {
  BoardInfoFaults f{};
  f.hasStructureCount = true;
  Driver d(SmDump(kThreeTable), f);
  EXPECT_EQ(0, Word(d.Info().bytes, 2));
}

struct NoStructureCase {
  uint32_t count;
  unsigned expected83; // of 6 requests per walk
};

class NoStructureFault : public testing::TestWithParam<NoStructureCase> {};

TEST_P(NoStructureFault, Answers83ThatManyTimesPerWalk) {
  BoardInfoFaults f{};
  f.hasNoStructureHandle = true;
  f.noStructureHandle = 0x0101;
  f.noStructureCount = GetParam().count;
  Driver d(SmDump(kThreeTable), f);
  for (int walk = 0; walk < 2; ++walk) {
    ASSERT_EQ(kBoardInfoReplied, d.Info().result);
    unsigned seen83 = 0;
    for (int i = 0; i < 6; ++i) {
      Reply r = d.Get(0x0101);
      if (r.bytes.at(0) == 0x83) {
        ++seen83;
        EXPECT_EQ(3u, r.bytes.size());
      } else {
        EXPECT_EQ(kThree[1], ReplyBody(r));
      }
      EXPECT_EQ(0, d.Get(0).bytes.at(0)); // other handles are not affected
    }
    EXPECT_EQ(GetParam().expected83, seen83) << "walk " << walk;
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, NoStructureFault,
                         testing::Values(NoStructureCase{0, 0}, NoStructureCase{1, 1}, NoStructureCase{3, 3},
                                         NoStructureCase{0xFFFFFFFF, 6}));

TEST(Faults, StructureStatusForAllOrOneHandle) {
  BoardInfoFaults f{};
  f.structureStatus = 0x85;
  Driver all(SmDump(kThreeTable), f);
  for (uint16_t h : {0x0000, 0x0101, 0x0202, 0x4444}) {
    Reply r = all.Get(h);
    EXPECT_EQ(Bytes({0x85, 0xFF, 0xFF}), r.bytes);
  }
  f.hasStructureStatusHandle = true;
  f.structureStatusHandle = 0x0202;
  Driver one(SmDump(kThreeTable), f);
  EXPECT_EQ(0, one.Get(0).bytes.at(0));
  EXPECT_EQ(0, one.Get(0x0101).bytes.at(0));
  EXPECT_EQ(0x85, one.Get(0x0202).bytes.at(0));
}

TEST(Faults, StructureStatusWithZeroLowByteIsNoFault) {
  BoardInfoFaults f{};
  f.structureStatus = 0x100;
  Driver d(SmDump(kThreeTable), f);
  EXPECT_EQ(kThree, Walk(d));
}

TEST(Faults, FailStructureCountsPerWalk) {
  BoardInfoFaults f{};
  f.failStructure = 2;
  Driver d(SmDump(kThreeTable), f);
  for (int walk = 0; walk < 2; ++walk) {
    ASSERT_EQ(kBoardInfoReplied, d.Info().result);
    EXPECT_EQ(kBoardInfoReplied, d.Get(0).result);
    EXPECT_EQ(kBoardInfoDeviceError, d.Get(0x0101).result);
    EXPECT_EQ(kBoardInfoReplied, d.Get(0x0101).result);
    EXPECT_EQ(kBoardInfoReplied, d.Get(0x0202).result);
  }
}

TEST(Faults, EverythingAtOnceStaysInBounds) {
  BoardInfoFaults f{};
  f.infoStatus = 0xFFFFFFFF;
  f.hasStructureCount = true;
  f.structureCount = 0xFFFFFFFF;
  f.hasLargestStructure = true;
  f.largestStructure = 0xFFFFFFFF;
  f.hasNoStructureHandle = true;
  f.noStructureHandle = 0xFFFFFFFF;
  f.noStructureCount = 0xFFFFFFFE;
  f.structureStatus = 0xFFFFFF00;
  f.hasStructureStatusHandle = true;
  f.structureStatusHandle = 0;
  f.failStructure = 0xFFFFFFFF;
  f.copyTruncated = 1;
  Driver d(SmDump(kThreeTable), f);
  EXPECT_EQ(kBoardInfoReplied, d.Info().result);
  for (uint16_t h : {0x0000, 0x0101, 0x0202, 0xFFFF})
    for (size_t size : {3, 4, 10, 100}) EXPECT_EQ(kBoardInfoReplied, d.Get(h, size).result);
}

// ---- The sample dumps

Bytes ReadSample(const char* name) {
  std::ifstream file(std::string(KCC_DRIVER_SAMPLES) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(Samples, DumpsAgreeWithTheirEntryPoints) {
  for (const char* name : {"generic-desktop.bin", "varnel-notebook.bin"}) {
    Bytes image = ReadSample(name);
    ASSERT_GE(image.size(), 0x20u) << name;
    Driver d(image);
    ASSERT_TRUE(d.Located()) << name;
    EXPECT_EQ(Word(image, 0x1C), d.Table().count) << name;
    EXPECT_EQ(Word(image, 0x16), d.Table().length) << name;
    EXPECT_EQ(d.Table().count, Walk(d).size()) << name;
  }
}

TEST(Samples, WineBlob) {
  Bytes blob = ReadSample("wine-rsmb-blob.bin");
  ASSERT_GE(blob.size(), 8u);
  Driver d(blob, {}, true);
  ASSERT_TRUE(d.Located());
  EXPECT_EQ(6u, d.Table().count); // types 0, 1, 3, 2, 32, 127
  EXPECT_EQ(Dword(blob, 4), d.Table().length);
  std::vector<Bytes> walk = Walk(d);
  ASSERT_EQ(6u, walk.size());
  EXPECT_EQ(127, walk.back().at(0));
}

TEST(Samples, ManyStructures) {
  std::vector<Bytes> list = ManyStructures(200);
  Driver d(SmDump(Concat(list)));
  EXPECT_EQ(200u, d.Table().count);
  EXPECT_EQ(list, Walk(d));
}

} // namespace
