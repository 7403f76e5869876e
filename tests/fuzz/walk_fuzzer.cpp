// libFuzzer target: the whole table walk against a device whose every reply comes from the fuzzer.
#include <stdint.h>
#include <stdlib.h>

#include "sources/machine_info.h"
#include "tests/fuzz/replay_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReplayDevice device(data, size);
  CMachineInfo info;
  const int status = info.WalkTable(device);
  if (status < 26 || status > 31 || status == 28) abort();
  if (info.m_nMemoryMB < 0 || info.m_nCacheKB < 0 || info.m_nCacheKB > 0xFFFF) abort();
  info.FormatTexts();
  if (info.m_strMemory.empty() || info.m_strCache.empty() || info.m_strCpuSpeed.empty()) abort();
  return 0;
}
