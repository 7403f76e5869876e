// CMachineInfo's platform-free part: construction and the memory, cache, speed and version texts.
#include "sources/machine_info.h"

#include "framework/text.h"

CMachineInfo::CMachineInfo() : m_wCpuSpeed(0), m_nMemoryMB(0), m_nCacheKB(0), m_tableSource(TableSource::kNone) {}

CMachineInfo::~CMachineInfo() = default;

void CMachineInfo::FormatTexts() {
  m_strMemory = WidenAnsi(DecimalText(static_cast<int>(m_nMemoryMB), 4) + " MBytes");
  m_strCache = WidenAnsi(DecimalText(static_cast<int>(m_nCacheKB), 4) + " KBytes");
  if (m_wCpuSpeed == 0)
    m_strCpuSpeed = L"Unknown";
  else
    m_strCpuSpeed = WidenAnsi(FormatProcessorSpeed(static_cast<int16_t>(m_wCpuSpeed)));
}

void CMachineInfo::TakeWindowsProcessor(const WindowsProcessor& windows) {
  constexpr wchar_t kSpace = L' ';
  if (m_strCpuVersion.find_first_not_of(kSpace) == std::wstring::npos && windows.name) {
    const size_t first = windows.name->find_first_not_of(kSpace);
    if (first != std::wstring::npos) {
      m_strCpuVersion = windows.name->substr(first, windows.name->find_last_not_of(kSpace) - first + 1);
      m_bCpuVersionFromWindows = true;
    }
  }
  // As for the table's speeds: 0 is none, and 32768 MHz or more is no speed a processor runs at.
  if (m_wCpuSpeed == 0 && windows.mhz && *windows.mhz > 0 && *windows.mhz < 0x8000u) {
    m_wCpuSpeed = static_cast<uint16_t>(*windows.mhz);
    m_bCpuSpeedFromWindows = true;
  }
}

namespace {
// The correction gives at most 246 * 400 / 3 or 197 * 500 / 3, so the int is exact before the cut.
int16_t KeepTo16Bits(double value) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int>(value))); }
} // namespace

std::string CMachineInfo::FormatProcessorSpeed(int16_t speedMHz) {
  int s = speedMHz;
  // Firmware reports bus multiples of 133 1/3 and 166 2/3 MHz cut to whole numbers: put the third back.
  // The integer divisions are the rule's own: whole multiples, then the third put back.
  if (s % 133 == 0)
    s = KeepTo16Bits((s / 133) * 400.0 / 3.0); // NOLINT(bugprone-integer-division)
  else if (s % 166 == 0)
    s = KeepTo16Bits((s / 166) * 500.0 / 3.0); // NOLINT(bugprone-integer-division)

  if (s == 666) return "667 MHz";
  if (s == 6666)
    s = 6670;
  else if (s < 1000)
    return DecimalText(s) + " MHz";
  if (s % 1000 == 0) return DecimalText(s / 1000) + " GHz";
  // Cut to tens of MHz, not rounded: 2997 is 2.99 GHz.
  const int tens = s / 10;
  return DecimalText(tens / 100) + "." + DecimalText(tens % 100, 2, '0') + " GHz";
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
  const std::string numbers = DecimalText(static_cast<int>(version.majorVersion)) + "." +
                              DecimalText(static_cast<int>(version.minorVersion), 2, '0') + "." +
                              DecimalText(static_cast<int>(build), 3, '0');
  std::wstring text = WidenAnsi(numbers) + version.servicePack;
  constexpr size_t kMaxVersionText = 127;
  if (text.size() > kMaxVersionText) text.resize(kMaxVersionText);
  return text;
}
