// A hostile caller of the real boardinfo driver: random control codes, functions, handles and lengths, null
// and shared buffers, 8 threads and 4 processes at once, open/close storms, handles closed under running
// requests, restarts with random fault settings. The driver must answer each request with a defined status,
// never write past the output length, keep serving the exact table, and its host must live.
//   boardinfo_hostile [--requests N] [--seed S]          (default: KCC_HOSTILE_REQUESTS, else 40000)
//   boardinfo_hostile --worker SEED COUNT                one of the other processes
// KCC_HOSTILE_TRACE=1 prints each request before it is made.
#include "smbios/boardinfo_protocol.h"
#include "tests/driver/boardinfo_client.h"
#include "tests/driver/driver_service.h"
#include "tests/driver/smbios_reference.h"
#include "tests/support/win32_support.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kGuard = 64;
const DWORD kMaxLength = 64 * 1024;
const unsigned kThreads = 8;
const unsigned kWorkers = 3; // other processes, besides this one
const unsigned kCheckEvery = 1000;
const char kDevice[] = "\\\\.\\boardinfo";

std::atomic<unsigned long long> g_requests{0};
std::atomic<unsigned long long> g_failures{0};

void Fail(const char* what, unsigned long long value = 0) {
  if (g_failures.fetch_add(1) < 20) std::printf("FAIL %s (%llu)\n", what, value);
}

// Lengths near every request and reply size, and anywhere up to 64 KB.
DWORD PickLength(std::mt19937& random) {
  static const DWORD kEdges[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 14, 15, 16, 31, 32, 33, 65, 66, 67, 68,
                                 127, 128, 129, 255, 256, 257, 4095, 4096, 4097, 65535, 65536};
  switch (random() % 4) {
  case 0:
  case 1: return kEdges[random() % (sizeof(kEdges) / sizeof(kEdges[0]))];
  case 2: return random() % 300;
  default: return random() % (kMaxLength + 1);
  }
}

DWORD PickCode(std::mt19937& random) {
  if (random() % 4 != 0) return IOCTL_BOARDINFO_CALL;
  switch (random() % 4) {
  case 0: return IOCTL_BOARDINFO_CALL | (random() % 4);                // other transfer methods
  case 1: return IOCTL_BOARDINFO_CALL | ((random() % 4) << 14);        // other access bits
  case 2: return CTL_CODE(0x22, random() % 0x1000, random() % 4, random() % 4);
  default: return static_cast<DWORD>(random());
  }
}

// One hostile request on `device`; checks the guard and the reported length.
void HostileRequest(HANDLE device, std::mt19937& random) {
  const DWORD inSize = PickLength(random);
  const DWORD outSize = PickLength(random);
  const bool shared = random() % 3 == 0;
  // Wine 8 never returns from a call with a null input buffer whose length is below the output's, and
  // answers the others itself without calling the driver (Windows fails them in the I/O manager): null
  // input buffers go only with a length of 0. Null output buffers go with any length.
  const bool nullIn = random() % 16 == 0 && inSize == 0;
  const bool nullOut = random() % 16 == 0;
  const DWORD blockSize = (shared ? (inSize > outSize ? inSize : outSize) : outSize) + kGuard;
  std::unique_ptr<uint8_t[]> out(new uint8_t[blockSize]);
  std::memset(out.get(), 0xCC, blockSize);
  std::unique_ptr<uint8_t[]> in(new uint8_t[inSize + 8]);
  for (DWORD i = 0; i < inSize + 8; ++i) in[i] = static_cast<uint8_t>(random());
  // Mostly the two functions, with handles and segments that are and are not in the table.
  if (inSize >= 2 && random() % 4 != 0) {
    const uint16_t function = random() % 2 ? BOARDINFO_GET_INFO : BOARDINFO_GET_STRUCTURE;
    std::memcpy(in.get(), &function, 2);
    if (inSize >= 4 && random() % 2) {
      const uint16_t handle = static_cast<uint16_t>(random() % 3 == 0 ? random() : random() % 20);
      std::memcpy(in.get() + 2, &handle, 2);
    }
  }
  uint8_t* input = in.get();
  if (shared) {
    std::memcpy(out.get(), in.get(), inSize);
    input = out.get();
  }
  DWORD returned = 0xDEADBEEF;
  const DWORD code = PickCode(random);
  if (std::getenv("KCC_HOSTILE_TRACE"))
    std::printf("request %llu: code 0x%lx in %lu out %lu%s%s%s\n", g_requests.load(), code, inSize, outSize,
                shared ? " shared" : "", nullIn ? " null-in" : "", nullOut ? " null-out" : "");
  const BOOL ok = ::DeviceIoControl(device, code, nullIn ? nullptr : input, inSize, nullOut ? nullptr : out.get(),
                                    outSize, &returned, nullptr);
  g_requests.fetch_add(1);
  const DWORD used = shared ? (inSize > outSize ? inSize : outSize) : outSize;
  for (DWORD i = used; i < blockSize; ++i) {
    if (out[i] != 0xCC) {
      Fail("written past the output buffer", i);
      break;
    }
  }
  if (ok && returned > outSize) {
    char what[160];
    std::snprintf(what, sizeof(what), "%lu bytes reported for an output of %lu (code 0x%lx, input %lu%s%s%s)",
                  returned, outSize, code, inSize, shared ? ", shared" : "", nullIn ? ", null input" : "",
                  nullOut ? ", null output" : "");
    Fail(what);
  }
  if (!ok) {
    switch (::GetLastError()) {
    case ERROR_INVALID_FUNCTION:       // another control code
    case ERROR_INVALID_PARAMETER:      // input too short
    case ERROR_INSUFFICIENT_BUFFER:    // output too short
    case ERROR_IO_DEVICE:              // a fault setting
    case ERROR_NOACCESS:               // a null buffer with a length
    case ERROR_INVALID_USER_BUFFER:
    case ERROR_ACCESS_DENIED:          // the service stopping (wine)
    case ERROR_INVALID_HANDLE:         // the handle closed under the request
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_FILE_NOT_FOUND:
      break;
    default:
      Fail("undefined error", ::GetLastError());
    }
  }
}

void HostileLoop(unsigned seed, unsigned long long count) {
  std::mt19937 random(seed);
  HANDLE device = INVALID_HANDLE_VALUE;
  for (unsigned long long made = 0, tries = 0; made < count && tries < 4 * count; ++tries) {
    if (device == INVALID_HANDLE_VALUE || random() % 64 == 0) {
      // Open/close storm: a fresh handle now and then.
      if (device != INVALID_HANDLE_VALUE) ::CloseHandle(device);
      device = ::CreateFileA(kDevice, 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (device == INVALID_HANDLE_VALUE) {
        ::Sleep(1); // the service is restarting
        continue;
      }
    }
    HostileRequest(device, random);
    ++made;
  }
  if (device != INVALID_HANDLE_VALUE) ::CloseHandle(device);
}

// A handle closed while another thread's requests run on it.
void CloseUnderRequests(unsigned seed, unsigned rounds) {
  std::mt19937 random(seed);
  for (unsigned round = 0; round < rounds; ++round) {
    HANDLE device = ::CreateFileA(kDevice, 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) continue;
    std::atomic<bool> stop{false};
    std::thread user([&] {
      std::mt19937 own(seed + round);
      while (!stop.load()) HostileRequest(device, own);
    });
    ::Sleep(random() % 5);
    ::CloseHandle(device);
    stop.store(true);
    user.join();
  }
}

// The exact table, walked as the program walks it.
bool ExactWalk(const reference::Table& table) {
  drivertest::BoardInfoClient client(kDevice);
  if (!client.IsOpen()) return false;
  bool last = false;
  std::vector<std::vector<uint8_t>> walked =
      client.Walk(static_cast<DWORD>(table.Largest() + 3), static_cast<unsigned>(table.structures.size()), &last);
  if (!last || walked.size() != table.structures.size()) return false;
  for (size_t i = 0; i < walked.size(); ++i) {
    if (walked[i] != table.structures[i].bytes) return false;
  }
  return true;
}

// The host answers: the device opens and the information request succeeds (or, with the FailInfo fault
// setting, fails as that setting says).
bool HostAnswers() {
  drivertest::BoardInfoClient client(kDevice);
  if (!client.IsOpen()) return false;
  const drivertest::IoResult info = client.Info();
  return info.ok || info.error == ERROR_IO_DEVICE;
}

drivertest::DriverSettings RandomFaults(const std::wstring& table, std::mt19937& random) {
  drivertest::DriverSettings settings{table, {}};
  static const wchar_t* const kNames[] = {L"FailInfo", L"InfoStatus", L"StructureCount", L"LargestStructure",
                                          L"NoStructureHandle", L"NoStructureCount", L"StructureStatus",
                                          L"StructureStatusHandle", L"FailStructure", L"CopyTruncated"};
  for (const wchar_t* name : kNames) {
    if (random() % 3 == 0) {
      const DWORD value = random() % 2 ? static_cast<DWORD>(random()) : random() % 20;
      settings.values.emplace_back(name, value);
    }
  }
  return settings;
}

int Worker(unsigned seed, unsigned long long count) {
  HostileLoop(seed, count);
  std::printf("worker %u: %llu requests, %llu failures\n", seed, g_requests.load(), g_failures.load());
  return g_failures.load() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0); // lines in order with the other processes', through a pipe
  if (argc == 4 && std::strcmp(argv[1], "--worker") == 0)
    return Worker(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)), std::strtoull(argv[3], nullptr, 10));
  unsigned long long total = 40000;
  if (const char* setting = std::getenv("KCC_HOSTILE_REQUESTS")) total = std::strtoull(setting, nullptr, 10);
  unsigned seed = static_cast<unsigned>(::GetTickCount());
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--requests") == 0) total = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
  }
  std::printf("hostile: seed %u, %llu requests\n", seed, total);
  const std::wstring tablePath = drivertest::SamplePath("generic-desktop.bin");
  const reference::Table table = reference::FromImage(drivertest::ReadFileBytes(tablePath));
  if (!table.valid) {
    std::printf("FAIL cannot read the sample table\n");
    return 1;
  }

  std::mt19937 random(seed);
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const ULONGLONG start = ::GetTickCount64();
  unsigned rounds = 0;
  unsigned long long workerRequests = 0;
  // A round: restart (faults every other round), 8 threads and 3 other processes, a handle closed under
  // requests; in between, every kCheckEvery requests of this process, the host must answer.
  const unsigned long long perRound = 20000;
  while (g_requests.load() + workerRequests < total && g_failures.load() == 0) {
    const bool faulty = rounds % 2 == 1;
    std::string error;
    if (!drivertest::RestartDriver(faulty ? RandomFaults(tablePath, random) : drivertest::DriverSettings{tablePath, {}},
                                   &error)) {
      // Some fault values keep it from starting (none do today); it must start clean again.
      if (!drivertest::RestartDriver(drivertest::DriverSettings{tablePath, {}}, &error)) {
        std::printf("FAIL the driver does not start again: %s\n", error.c_str());
        return 1;
      }
    }
    if (!faulty && !ExactWalk(table)) Fail("no exact walk after a restart");

    const unsigned long long share = perRound / (kThreads + kWorkers);
    std::vector<std::unique_ptr<kcctest::ChildProcess>> workers;
    for (unsigned w = 0; w < kWorkers; ++w) {
      const std::wstring line = L"\"" + std::wstring(self) + L"\" --worker " +
                                std::to_wstring(seed + rounds * 100 + w) + L" " + std::to_wstring(share);
      workers.push_back(std::make_unique<kcctest::ChildProcess>(line));
    }
    std::vector<std::thread> threads;
    for (unsigned t = 0; t + 1 < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (unsigned long long done = 0; done < share; done += kCheckEvery) {
          HostileLoop(seed + rounds * 1000 + t * 7 + static_cast<unsigned>(done), kCheckEvery);
          if (!HostAnswers()) Fail("the host does not answer");
          if (!faulty && !ExactWalk(table)) Fail("no exact walk amid hostile requests");
        }
      });
    }
    threads.emplace_back([&] { CloseUnderRequests(seed + rounds, 20); });
    for (std::thread& thread : threads) thread.join();
    for (auto& worker : workers) {
      if (!worker->Started() || !worker->WaitExit(300000) || worker->ExitCode() != 0)
        Fail("a worker process failed", worker->Started() ? worker->ExitCode() : 0);
      workerRequests += share;
    }
    if (!HostAnswers()) Fail("the host does not answer after the round");
    ++rounds;
  }
  std::string error;
  if (!drivertest::RestoreDefaultDriver(&error)) Fail("restoring the default driver");
  const double seconds = (::GetTickCount64() - start) / 1000.0;
  const unsigned long long all = g_requests.load() + workerRequests;
  std::printf("hostile: %llu requests in %u rounds, %.1f s, %.0f requests/s, %llu failures\n", all, rounds, seconds,
              all / (seconds > 0 ? seconds : 1), g_failures.load());
  return g_failures.load() == 0 ? 0 : 1;
}
