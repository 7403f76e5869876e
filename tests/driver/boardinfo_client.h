// A test client of the boardinfo device: opens it as the program does and sends raw requests.
#ifndef KCC_TESTS_DRIVER_BOARDINFO_CLIENT_H
#define KCC_TESTS_DRIVER_BOARDINFO_CLIENT_H

#include <windows.h>

#include "framework/handles.h"

#include <cstdint>
#include <vector>

namespace drivertest {

struct IoResult {
  BOOL ok = FALSE;
  DWORD error = 0;             // GetLastError() when !ok
  DWORD returned = 0;          // bytes the driver reported
  std::vector<uint8_t> out;    // the first `returned` bytes of the output buffer
  std::vector<uint8_t> buffer; // the whole output buffer (filled with 0xCC before the call)
  bool guardIntact = true;     // nothing written past the output buffer's size

  uint8_t Status() const { return out.empty() ? 0xEE : out[0]; }
  uint16_t Word(size_t at) const { return static_cast<uint16_t>(out.at(at) | (out.at(at + 1) << 8)); }
  uint32_t Dword(size_t at) const { return Word(at) | (static_cast<uint32_t>(Word(at + 2)) << 16); }
  std::vector<uint8_t> Structure() const {
    return out.size() > 3 ? std::vector<uint8_t>(out.begin() + 3, out.end()) : std::vector<uint8_t>();
  }
};

class BoardInfoClient {
public:
  // CreateFileA with access 0, share mode 0, OPEN_EXISTING, as the collector opens it.
  explicit BoardInfoClient(const char* path = "\\\\.\\boardinfo");
  bool IsOpen() const { return static_cast<bool>(m_device); }
  DWORD OpenError() const { return m_openError; }

  IoResult Call(DWORD code, const std::vector<uint8_t>& in, DWORD outSize);
  IoResult Info(DWORD outSize = 12);
  IoResult Structure(uint16_t handle, DWORD outSize, uint16_t segment = 0xF100);

  // Every structure from handle 0 until next handle 0xFFFF (or a failure, or `limit` requests).
  std::vector<std::vector<uint8_t>> Walk(DWORD outSize, unsigned limit, bool* endedAtLast);

private:
  UniqueFileHandle m_device;
  DWORD m_openError = 0;
};

} // namespace drivertest

#endif
