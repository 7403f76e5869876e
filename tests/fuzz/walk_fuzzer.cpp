// libFuzzer target: the whole table walk against a device whose every reply comes from the fuzzer, and the
// capture's table rebuilt from those replies.
#include <stdint.h>
#include <stdlib.h>

#include "smbios/dmi_table.h"
#include "sources/machine_info.h"
#include "tests/fuzz/replay_device.h"
#include "capture/capture_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReplayDevice replies(data, size);
  capture::WalkRecord record;
  ObservedDevice device(replies, [&record](const uint8_t* in, size_t inSize, const uint8_t* out, size_t outSize,
                                           bool succeeded) { record.Add(in, inSize, out, outSize, succeeded); });
  CMachineInfo info;
  const int status = info.WalkTable(device);
  if (status < 26 || status > 31 || status == 28) abort();
  if (info.m_nMemoryMB < 0 || info.m_nCacheKB < 0 || info.m_nCacheKB > 0xFFFF) abort();
  info.FormatTexts();
  if (info.m_strMemory.empty() || info.m_strCache.empty() || info.m_strCpuSpeed.empty()) abort();

  // Whatever the replies were, the rebuilt dump holds every structure the walk kept, and redaction keeps its size.
  const std::vector<capture::Bytes>& structures = record.Structures();
  capture::Bytes dump = capture::DumpOfStructures(structures, 2, 4);
  const size_t dumpSize = dump.size();
  capture::RedactDump(dump);
  DmiImage image;
  if (dump.size() != dumpSize || !LocateDmiTable(dump.data(), dump.size(), &image)) abort();
  size_t expected = 0;
  for (const capture::Bytes& structure : structures) expected += structure.size();
  if (image.size != expected) abort();
  return 0;
}
