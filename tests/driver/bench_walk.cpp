// Times requests to the real boardinfo driver: microseconds per structure request for each sample dump and a
// generated 200-structure table, plus information requests, opens and restarts; then the same tables walked
// in-process as Windows' firmware table. Prints figures; fails only when the driver cannot be used at all.
// Leaves the driver in its default state.
#include "sources/firmware_table.h"
#include "sources/machine_info.h"
#include "tests/driver/boardinfo_client.h"
#include "tests/driver/driver_service.h"
#include "tests/support/table_builder.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class Stopwatch {
public:
  Stopwatch() {
    ::QueryPerformanceFrequency(&m_frequency);
    ::QueryPerformanceCounter(&m_start);
  }
  double Microseconds() const {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1e6 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(m_frequency.QuadPart);
  }

private:
  LARGE_INTEGER m_frequency;
  LARGE_INTEGER m_start;
};

struct Subject {
  std::string label;
  std::wstring path;
};

bool Bench(const Subject& subject) {
  std::string error;
  Stopwatch restart;
  if (!drivertest::RestartDriver(drivertest::DriverSettings{subject.path, {}}, &error)) {
    std::printf("%-26s driver did not start: %s\n", subject.label.c_str(), error.c_str());
    return false;
  }
  const double restartUs = restart.Microseconds();

  drivertest::BoardInfoClient device;
  drivertest::IoResult info = device.Info();
  if (!device.IsOpen() || !info.ok) {
    std::printf("%-26s device unusable\n", subject.label.c_str());
    return false;
  }
  const unsigned count = info.Word(2);
  const DWORD replySize = info.Word(4) + 3u;
  bool last = false;
  device.Walk(replySize, count, &last); // warm-up

  const unsigned walks = count ? (4000 + count - 1) / count : 0;
  unsigned requests = 0;
  Stopwatch walking;
  for (unsigned w = 0; w < walks; ++w) requests += static_cast<unsigned>(device.Walk(replySize, count, &last).size());
  const double walkUs = walking.Microseconds();

  const unsigned infos = 2000;
  Stopwatch informing;
  for (unsigned i = 0; i < infos; ++i) device.Info();
  const double infoUs = informing.Microseconds();

  const unsigned opens = 300;
  Stopwatch opening;
  for (unsigned i = 0; i < opens; ++i) drivertest::BoardInfoClient another;
  const double openUs = opening.Microseconds();

  std::printf("%-26s %4u structures  %6.1f us/structure request  %6.1f us/information request  "
              "%6.1f us/open+close  %6.0f ms/restart  (%u walks, %u requests)\n",
              subject.label.c_str(), count, requests ? walkUs / requests : 0.0, infoUs / infos, openUs / opens,
              restartUs / 1000.0, walks, requests);
  return true;
}

// The same table as Windows' firmware table, walked in-process the program's way: no round trip through a
// driver. `image` is a dump or a blob.
void BenchFirmware(const std::string& label, const std::vector<uint8_t>& image) {
  DmiImage view{};
  if (!LocateDmiTable(image.data(), image.size(), &view)) return;
  const std::vector<uint8_t> blob =
      tablebuilder::RsmbBlob(std::vector<uint8_t>(view.table, view.table + view.size), view.major, view.minor);
  const unsigned count = CountDmiStructures(view.table, view.size);
  if (count == 0) return;
  const unsigned walks = (4000 + count - 1) / count;
  Stopwatch walking;
  for (unsigned w = 0; w < walks; ++w) {
    CMachineInfo info;
    info.WalkFirmwareTable(blob);
  }
  std::printf("%-26s %4u structures  %6.2f us/structure, firmware table in-process (%u walks)\n", label.c_str(), count,
              walking.Microseconds() / (static_cast<double>(walks) * count), walks);
}

std::vector<uint8_t> ReadFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (FILE* file = ::_wfopen(path.c_str(), L"rb")) {
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
  }
  return bytes;
}

} // namespace

int main() {
  std::vector<Subject> subjects = {
      {"firmware (no TableFile)", L""},
      {"generic-desktop.bin", drivertest::SamplePath("generic-desktop.bin")},
      {"varnel-notebook.bin", drivertest::SamplePath("varnel-notebook.bin")},
      {"wine-rsmb-blob.bin", drivertest::SamplePath("wine-rsmb-blob.bin")},
  };
  using namespace tablebuilder;
  std::wstring generated = drivertest::WriteTempFile(L"boardinfo-bench-200.bin", SmDump(Concat(ManyStructures(200))));
  if (!generated.empty()) subjects.push_back({"generated, 200 structures", generated});

  bool all = true;
  for (const Subject& subject : subjects) all = Bench(subject) && all;
  BenchFirmware("Windows' firmware table", ReadWindowsFirmwareTable());
  for (const Subject& subject : subjects)
    if (!subject.path.empty()) BenchFirmware(subject.label, ReadFile(subject.path));

  std::string error;
  if (!drivertest::RestoreDefaultDriver(&error)) {
    std::printf("restoring the default driver failed: %s\n", error.c_str());
    return 1;
  }
  return all ? 0 : 1;
}
