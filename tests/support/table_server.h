// The boardinfo driver's table logic served natively over an image, as DriverEntry sets it up: for the driver's
// tests request by request, and for the walk's tests, fuzzers and tools as the device behind the program's seam.
#ifndef KCC_TESTS_SUPPORT_TABLE_SERVER_H
#define KCC_TESTS_SUPPORT_TABLE_SERVER_H

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "smbios/dmi_table.h"
#include "smbios/table_device.h"

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

// A driver instance over an image, as DriverEntry builds it (the program's own in-process server), with checked
// calls for the driver's tests: their buffers are exact-size heap blocks so that AddressSanitizer sees any
// access outside them.
class Driver : public TableDevice {
public:
  explicit Driver(Bytes image, const BoardInfoFaults& faults = {}, bool rsmb = false)
      : TableDevice(std::move(image), rsmb ? kRsmb : kDumpOrRsmb, faults) {}

  Reply Call(const Bytes& request, size_t outSize, BoardInfoWalk* walk = nullptr) {
    std::unique_ptr<uint8_t[]> in(request.empty() ? nullptr : new uint8_t[request.size()]);
    if (in) std::memcpy(in.get(), request.data(), request.size());
    std::unique_ptr<uint8_t[]> out(outSize ? new uint8_t[outSize] : nullptr);
    if (out) std::memset(out.get(), 0xCC, outSize);
    size_t written = 12345;
    BoardInfoResult result = Serve(walk ? walk : FirstHandle(), in.get(), request.size(), out.get(), outSize, &written);
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

  // The program's seam, counting the structure requests.
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    if (inputSize >= 2 && static_cast<const uint8_t*>(input)[0] == 0x51) ++m_structureRequests;
    return TableDevice::Call(input, inputSize, output, outputSize);
  }
  unsigned StructureRequests() const { return m_structureRequests; }

private:
  unsigned m_structureRequests = 0;
};

} // namespace tablebuilder

#endif
