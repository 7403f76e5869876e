// Entry of the collector's Win32 tests, and the child mode that the version tests start.
// With --os-version FILE only ReadOsVersion's text is written to FILE (UTF-16): a process started
// under other wine settings reports what its version query gave.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "sources/machine_info.h"

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--os-version") == 0) {
    CMachineInfo info;
    info.ReadOsVersion();
    FILE* out = fopen(argv[2], "wb");
    if (!out) return 2;
    fwrite(info.m_strOsVersion.data(), sizeof(wchar_t), info.m_strOsVersion.size(), out);
    fclose(out);
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
