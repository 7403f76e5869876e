// The boardinfo driver's table logic answering in-process.
#include "smbios/table_device.h"

#include <utility>

TableDevice::TableDevice(std::vector<uint8_t> image, ImageKind kind, const BoardInfoFaults& faults)
    : m_image(std::move(image)) {
  m_located = kind == kRsmb ? LocateRsmbTable(m_image.data(), m_image.size(), &m_view)
                            : LocateDmiTable(m_image.data(), m_image.size(), &m_view);
  DmiTable table{};
  if (m_located) {
    m_entries.resize(CountDmiStructures(m_view.table, m_view.size));
    IndexDmiTable(m_view, m_entries.data(), static_cast<uint32_t>(m_entries.size()), &table);
  }
  InitBoardInfoServer(&m_server, table, faults);
  m_walk = OpenHandle();
}

BoardInfoWalk TableDevice::OpenHandle() const {
  BoardInfoWalk walk;
  InitBoardInfoWalk(&m_server, &walk);
  return walk;
}

BoardInfoResult TableDevice::Serve(BoardInfoWalk* walk, const void* in, size_t inSize, void* out, size_t outSize,
                                   size_t* written) const {
  return BoardInfoCall(&m_server, walk, in, inSize, out, outSize, written);
}

bool TableDevice::Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) {
  size_t written = 0;
  // What the driver's dispatch completes with success; the rest it fails, as DeviceIoControl then does.
  const bool succeeded = Serve(&m_walk, input, inputSize, output, outputSize, &written) == kBoardInfoReplied;
  if (m_observer) m_observer->OnCall(input, inputSize, output, outputSize, succeeded);
  return succeeded;
}
