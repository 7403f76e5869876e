// A test client of the boardinfo device: raw IOCTL_BOARDINFO_CALL requests with guarded output buffers.
#include "tests/driver/boardinfo_client.h"

#include "smbios/boardinfo_protocol.h"

namespace drivertest {

namespace {
const size_t kGuard = 32;
}

BoardInfoClient::BoardInfoClient(const char* path)
    : m_device(::CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (!m_device) m_openError = ::GetLastError();
}

IoResult BoardInfoClient::Call(DWORD code, const std::vector<uint8_t>& in, DWORD outSize) {
  IoResult result;
  std::vector<uint8_t> input(in);
  std::vector<uint8_t> output(outSize + kGuard, 0xCC);
  DWORD returned = 0xDEADBEEF;
  result.ok = ::DeviceIoControl(m_device.Get(), code, input.empty() ? nullptr : input.data(),
                                static_cast<DWORD>(input.size()), outSize ? output.data() : nullptr, outSize,
                                &returned, nullptr);
  if (!result.ok) result.error = ::GetLastError();
  result.returned = returned;
  for (size_t i = outSize; i < output.size(); ++i) result.guardIntact = result.guardIntact && output[i] == 0xCC;
  output.resize(outSize);
  if (result.ok && returned <= outSize) result.out.assign(output.begin(), output.begin() + returned);
  result.buffer = output;
  return result;
}

IoResult BoardInfoClient::Info(DWORD outSize) {
  return Call(IOCTL_BOARDINFO_CALL, {BOARDINFO_GET_INFO, 0, 0, 0}, outSize);
}

IoResult BoardInfoClient::Structure(uint16_t handle, DWORD outSize, uint16_t segment) {
  return Call(IOCTL_BOARDINFO_CALL,
              {BOARDINFO_GET_STRUCTURE, 0, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8),
               static_cast<uint8_t>(segment), static_cast<uint8_t>(segment >> 8), 0, 0},
              outSize);
}

std::vector<std::vector<uint8_t>> BoardInfoClient::Walk(DWORD outSize, unsigned limit, bool* endedAtLast) {
  std::vector<std::vector<uint8_t>> seen;
  *endedAtLast = false;
  // As the program walks: an information request starts the walk, so that handle 0 is the first structure.
  if (!Info().ok) return seen;
  uint16_t handle = 0;
  for (unsigned i = 0; i < limit; ++i) {
    IoResult r = Structure(handle, outSize);
    if (!r.ok || r.Status() != BOARDINFO_STATUS_OK || r.out.size() < 3) break;
    seen.push_back(r.Structure());
    handle = r.Word(1);
    if (handle == BOARDINFO_LAST_HANDLE) {
      *endedAtLast = true;
      break;
    }
  }
  return seen;
}

} // namespace drivertest
