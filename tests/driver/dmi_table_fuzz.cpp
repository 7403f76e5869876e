// libFuzzer target over the boardinfo driver's table logic: the fuzzer's bytes are the table file, the fault
// settings and a sequence of requests with their buffer sizes; every reply must stay inside its buffer.
#include "smbios/dmi_table.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Reads the leading control bytes; what is left is the image.
class Reader {
public:
  Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint32_t Take(size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes && m_pos < m_size; ++i) v |= static_cast<uint32_t>(m_data[m_pos++]) << (8 * i);
    return v;
  }
  const uint8_t* Rest() const { return m_data + m_pos; }
  size_t RestSize() const { return m_size - m_pos; }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader reader(data, size);
  const uint32_t mode = reader.Take(1);
  BoardInfoFaults faults{};
  if (mode & 0x80) {
    faults.failInfo = reader.Take(1) & 1;
    faults.infoStatus = reader.Take(1);
    faults.hasStructureCount = (mode & 0x02) != 0;
    faults.structureCount = reader.Take(2);
    faults.hasLargestStructure = (mode & 0x04) != 0;
    faults.largestStructure = reader.Take(2);
    faults.hasNoStructureHandle = (mode & 0x08) != 0;
    faults.noStructureHandle = reader.Take(2);
    faults.noStructureCount = reader.Take(1) == 0xFF ? 0xFFFFFFFFu : reader.Take(1);
    faults.structureStatus = reader.Take(1);
    faults.hasStructureStatusHandle = (mode & 0x10) != 0;
    faults.structureStatusHandle = reader.Take(2);
    faults.failStructure = reader.Take(1);
    faults.copyTruncated = (mode & 0x20) != 0;
  }
  const unsigned requests = reader.Take(1);

  // The image in a block of its own size, as the driver reads a file.
  const size_t imageSize = reader.RestSize();
  std::unique_ptr<uint8_t[]> image(new uint8_t[imageSize ? imageSize : 1]);
  if (imageSize) std::memcpy(image.get(), reader.Rest(), imageSize);
  DmiImage view{};
  const bool located = (mode & 0x01) ? LocateRsmbTable(image.get(), imageSize, &view)
                                     : LocateDmiTable(image.get(), imageSize, &view);
  if (!located) return 0;
  if (view.table < image.get() || view.table + view.size > image.get() + imageSize) __builtin_trap();

  const uint32_t count = CountDmiStructures(view.table, view.size);
  std::unique_ptr<DmiEntry[]> entries(new DmiEntry[count ? count : 1]);
  DmiTable table;
  IndexDmiTable(view, entries.get(), count, &table);
  if (table.count != count || table.length > view.size) __builtin_trap();
  BoardInfoServer server{};
  InitBoardInfoServer(&server, table, faults);
  BoardInfoWalk walk;
  InitBoardInfoWalk(&server, &walk);

  // An information request, the walk, then requests made of the control bytes' echoes of the image.
  size_t written = 0;
  uint8_t infoRequest[4] = {0x50, 0, 0, 0};
  std::unique_ptr<uint8_t[]> infoReply(new uint8_t[12]);
  uint16_t largest = 0;
  if (BoardInfoCall(&server, &walk, infoRequest, 4, infoReply.get(), 12, &written) == kBoardInfoReplied)
    largest = Word(infoReply.get() + 4);
  uint16_t handle = 0;
  for (unsigned i = 0; i < count + requests && i < 600; ++i) {
    const size_t outSize = i < count ? largest + 3u : (reader.Take(1) * 7u) % 300u;
    const size_t inSize = i < count ? 8 : reader.Take(1) % 12;
    std::unique_ptr<uint8_t[]> in(new uint8_t[inSize ? inSize : 1]);
    const uint8_t request[12] = {0x51, 0, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8), 0, 0xF1, 0, 0,
                                 static_cast<uint8_t>(i), 0, 0, 0};
    std::memcpy(in.get(), request, inSize);
    if (i >= count && inSize > 0 && (i & 3) == 0) in[0] = static_cast<uint8_t>(0x4F + (i % 5));
    std::unique_ptr<uint8_t[]> out(new uint8_t[outSize ? outSize : 1]);
    written = 0;
    BoardInfoResult result = BoardInfoCall(&server, &walk, in.get(), inSize, outSize ? out.get() : nullptr, outSize, &written);
    if (written > outSize) __builtin_trap();
    if (result == kBoardInfoReplied && written >= 3 && out[0] == 0) handle = Word(out.get() + 1);
    if (i >= count) handle = static_cast<uint16_t>(reader.Take(2));
  }
  return 0;
}
