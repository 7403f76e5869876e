// Entry of the Win32 WMI tests: OLE on the main thread, as the program has it, around the tests.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const HRESULT hr = ::OleInitialize(nullptr);
  if (FAILED(hr)) {
    fprintf(stderr, "OleInitialize failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  ::OleUninitialize();
  return result;
}
