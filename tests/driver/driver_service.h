// The driver tests' control of the boardinfo service: Parameters values, restarts, files for TableFile.
#ifndef KCC_TESTS_DRIVER_DRIVER_SERVICE_H
#define KCC_TESTS_DRIVER_DRIVER_SERVICE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace drivertest {

// The Parameters values the driver starts with: TableFile (empty: the firmware's table) and DWORD settings.
struct DriverSettings {
  std::wstring tableFile;
  std::vector<std::pair<std::wstring, DWORD>> values;
  bool operator==(const DriverSettings& other) const {
    return tableFile == other.tableFile && values == other.values;
  }
};

// Stops the service, makes Parameters hold exactly `settings` and starts it again. On failure `error` says
// what failed; a driver that refuses to start leaves the service stopped.
bool RestartDriver(const DriverSettings& settings, std::string* error);
// RestartDriver unless this process already started the driver with these settings.
bool EnsureDriver(const DriverSettings& settings, std::string* error);
// Stops the service (a stopped one stays stopped); the next EnsureDriver starts it again.
bool StopDriver(std::string* error);
// The state the harness installs: running, Parameters empty.
bool RestoreDefaultDriver(std::string* error);

// Windows path of a sample dump in tests/driver/samples (KCC_SOURCE_DIR, seen through Z:).
std::wstring SamplePath(const char* name);
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);
// Writes `bytes` to a file of that name in the temporary folder; returns its path (C:\...).
std::wstring WriteTempFile(const std::wstring& name, const std::vector<uint8_t>& bytes);

} // namespace drivertest

#endif
