// The boardinfo driver's table logic served natively over an image, as DriverEntry sets it up: for the driver's
// tests request by request, and for the walk's tests, fuzzers and tools as the device behind the program's seam.
#ifndef KCC_TESTS_SUPPORT_TABLE_SERVER_H
#define KCC_TESTS_SUPPORT_TABLE_SERVER_H

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "driver/dmi_table.h"
#include "sources/dmi_device.h"

// A broken promise of the table logic fails the test that sees it; without GoogleTest (fuzzers, tools) it aborts.
#ifdef EXPECT_TRUE
#define KCC_SERVER_CHECK(condition) EXPECT_TRUE(condition)
#else
#define KCC_SERVER_CHECK(condition) \
  do {                              \
    if (!(condition)) std::abort(); \
  } while (0)
#endif

namespace tablebuilder {

using Bytes = std::vector<uint8_t>;

struct Reply {
  BoardInfoResult result;
  Bytes bytes; // the `written` bytes
};

// A driver instance over an image, as DriverEntry builds it; buffers are exact-size heap blocks so that
// AddressSanitizer sees any access outside them.
class Driver : public IDmiDevice {
public:
  explicit Driver(Bytes image, const BoardInfoFaults& faults = {}, bool rsmb = false) : m_image(std::move(image)) {
    m_located = rsmb ? LocateRsmbTable(m_image.data(), m_image.size(), &m_view)
                     : LocateDmiTable(m_image.data(), m_image.size(), &m_view);
    if (!m_located) return;
    uint32_t count = CountDmiStructures(m_view.table, m_view.size);
    m_entries.reset(new DmiEntry[count ? count : 1]);
    DmiTable table;
    IndexDmiTable(m_view, m_entries.get(), count, &table);
    InitBoardInfoServer(&m_server, table, faults);
    m_walk = OpenHandle();
  }
  // The walk of another open handle of the same device.
  BoardInfoWalk OpenHandle() const {
    BoardInfoWalk walk;
    InitBoardInfoWalk(&m_server, &walk);
    return walk;
  }
  bool Located() const { return m_located; }
  const DmiTable& Table() const { return m_server.table; }
  const DmiImage& View() const { return m_view; }

  Reply Call(const Bytes& request, size_t outSize, BoardInfoWalk* walk = nullptr) {
    std::unique_ptr<uint8_t[]> in(request.empty() ? nullptr : new uint8_t[request.size()]);
    if (in) std::memcpy(in.get(), request.data(), request.size());
    std::unique_ptr<uint8_t[]> out(outSize ? new uint8_t[outSize] : nullptr);
    if (out) std::memset(out.get(), 0xCC, outSize);
    size_t written = 12345;
    BoardInfoResult result =
        BoardInfoCall(&m_server, walk ? walk : &m_walk, in.get(), request.size(), out.get(), outSize, &written);
    Reply reply{result, {}};
    if (result == kBoardInfoReplied) {
      KCC_SERVER_CHECK(written <= outSize);
      reply.bytes.assign(out.get(), out.get() + written);
    } else {
      KCC_SERVER_CHECK(written == 0u);
    }
    return reply;
  }
  Reply Info(BoardInfoWalk* walk = nullptr) { return Call({0x50, 0, 0, 0}, 12, walk); }
  Reply Get(uint16_t handle, size_t outSize, BoardInfoWalk* walk = nullptr) {
    return Call({0x51, 0, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8), 0x00, 0xF1, 0, 0},
                outSize, walk);
  }
  Reply Get(uint16_t handle, BoardInfoWalk* walk = nullptr) { return Get(handle, Table().largest + 3, walk); }

  // The program's seam: one call on the first handle's walk, as the driver's dispatch makes it.
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    if (inputSize >= 2 && static_cast<const uint8_t*>(input)[0] == 0x51) ++m_structureRequests;
    size_t written = 0;
    return BoardInfoCall(&m_server, &m_walk, input, inputSize, output, outputSize, &written) == kBoardInfoReplied;
  }
  unsigned StructureRequests() const { return m_structureRequests; }

private:
  Bytes m_image;
  DmiImage m_view{};
  bool m_located = false;
  std::unique_ptr<DmiEntry[]> m_entries;
  BoardInfoServer m_server{};
  BoardInfoWalk m_walk{};
  unsigned m_structureRequests = 0;
};

} // namespace tablebuilder

#endif
