// A reference reading of SMBIOS images for the driver tests, kept apart from the driver's own code.
#ifndef KCC_TESTS_DRIVER_SMBIOS_REFERENCE_H
#define KCC_TESTS_DRIVER_SMBIOS_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

struct Structure {
  uint8_t type;
  uint16_t handle;
  std::vector<uint8_t> bytes; // formatted area and string set
};

struct Table {
  bool valid = false;
  uint8_t major = 0;
  std::vector<Structure> structures;
  size_t Largest() const;
  size_t Size() const;
};

// A table as SMBIOS defines it: structures up to and including type 127, each with a formatted area of at
// least 4 bytes and a string set closed by a double NUL; reading stops at the first one that is not whole.
Table FromRawTable(const uint8_t* data, size_t size, uint8_t major);
// An RSMB blob: calling method, major, minor, DMI revision, u32 length, then the table.
Table FromRsmb(const std::vector<uint8_t>& blob);
// A `dmidecode --dump-bin` file (_SM_ or _SM3_ entry point, table where the entry point says), else an RSMB blob.
Table FromImage(const std::vector<uint8_t>& image);

} // namespace reference

#endif
