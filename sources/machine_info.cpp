// CMachineInfo's platform-free part: construction and the memory, cache, speed and version texts.
#include "sources/machine_info.h"

#include <stdio.h>

#include "framework/text.h"

CMachineInfo::CMachineInfo() : m_wCpuSpeed(0), m_nMemoryMB(0), m_nCacheKB(0) {}

CMachineInfo::~CMachineInfo() = default;

void CMachineInfo::FormatTexts() {
  char text[128];
  snprintf(text, sizeof(text), "%4d MBytes", static_cast<int>(m_nMemoryMB));
  m_strMemory = WidenAnsi(text);
  snprintf(text, sizeof(text), "%4d KBytes", static_cast<int>(m_nCacheKB));
  m_strCache = WidenAnsi(text);
  if (m_wCpuSpeed == 0)
    m_strCpuSpeed = L"Unknown";
  else
    m_strCpuSpeed = WidenAnsi(FormatProcessorSpeed(static_cast<int16_t>(m_wCpuSpeed)));
}

namespace {
// The correction gives at most 246 * 400 / 3 or 197 * 500 / 3, so the int is exact before the cut.
int16_t KeepTo16Bits(double value) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int>(value))); }
} // namespace

std::string CMachineInfo::FormatProcessorSpeed(int16_t speedMHz) {
  int s = speedMHz;
  // Firmware reports bus multiples of 133 1/3 and 166 2/3 MHz cut to whole numbers: put the third back.
  if (s % 133 == 0)
    s = KeepTo16Bits((s / 133) * 400.0 / 3.0);
  else if (s % 166 == 0)
    s = KeepTo16Bits((s / 166) * 500.0 / 3.0);

  char text[128];
  if (s == 666) {
    snprintf(text, sizeof(text), "%d MHz", 667);
    return text;
  }
  if (s == 6666)
    s = 6670;
  else if (s < 1000) {
    snprintf(text, sizeof(text), "%d MHz", s);
    return text;
  }
  if (s % 1000 == 0)
    snprintf(text, sizeof(text), "%d GHz", s / 1000);
  else
    snprintf(text, sizeof(text), "%3.2f GHz", (s / 10) / 100.0); // cut to tens of MHz, not rounded
  return text;
}

std::wstring CMachineInfo::FormatOsVersion(const OsVersionRecord& version) {
  uint32_t build = 0;
  switch (version.platformId) {
  case 0: // VER_PLATFORM_WIN32s
  case 1: // VER_PLATFORM_WIN32_WINDOWS: the high word holds the version again
    build = version.buildNumber & 0xFFFFu;
    break;
  case 2: // VER_PLATFORM_WIN32_NT
    build = version.buildNumber;
    break;
  default:
    break;
  }
  char numbers[64];
  snprintf(numbers, sizeof(numbers), "%d.%02d.%03d", static_cast<int>(version.majorVersion),
           static_cast<int>(version.minorVersion), static_cast<int>(build));
  std::wstring text = WidenAnsi(numbers) + version.servicePack;
  constexpr size_t kMaxVersionText = 127;
  if (text.size() > kMaxVersionText) text.resize(kMaxVersionText);
  return text;
}
