// The boardinfo driver's table logic answering in-process: an image served through the driver's own requests.
#ifndef KCC_SMBIOS_TABLE_DEVICE_H
#define KCC_SMBIOS_TABLE_DEVICE_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "smbios/dmi_table.h"
#include "smbios/dmi_device.h"

// Set up as DriverEntry sets up the driver, so that the program's walk over Windows' own table and the tests',
// fuzzers' and tools' tables follow the driver's every rule.
class TableDevice : public IDmiDevice {
public:
  enum ImageKind {
    kDumpOrRsmb, // a `dmidecode --dump-bin` image, or failing that an RSMB blob (the driver's TableFile)
    kRsmb,       // an RSMB blob as GetSystemFirmwareTable gives it (the driver without a TableFile)
  };

  explicit TableDevice(std::vector<uint8_t> image, ImageKind kind = kDumpOrRsmb, const BoardInfoFaults& faults = {});
  TableDevice(const TableDevice&) = delete; // the server points into the image and the index
  TableDevice& operator=(const TableDevice&) = delete;

  // False when the image holds no table at all: then the driver would not start.
  bool Located() const { return m_located; }
  const DmiImage& View() const { return m_view; }
  const DmiTable& Table() const { return m_server.table; }

  // The walk of another open handle of the same device.
  BoardInfoWalk OpenHandle() const;
  // One request on a handle's walk, as the driver's dispatch makes it.
  BoardInfoResult Serve(BoardInfoWalk* walk, const void* in, size_t inSize, void* out, size_t outSize,
                        size_t* written) const;

  // The program's seam: one call on the first handle's walk; the observer sees it as it sees the driver's.
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override;
  void SetObserver(IDmiCallObserver* observer) { m_observer = observer; }

protected:
  // The handle Call walks on.
  BoardInfoWalk* FirstHandle() { return &m_walk; }

private:
  std::vector<uint8_t> m_image;
  DmiImage m_view{};
  bool m_located = false;
  std::vector<DmiEntry> m_entries;
  BoardInfoServer m_server{};
  BoardInfoWalk m_walk{};
  IDmiCallObserver* m_observer = nullptr;
};

#endif
