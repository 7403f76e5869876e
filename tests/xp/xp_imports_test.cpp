// The stand-in for GetTickCount64 that the shipped programs link: it answers as Windows' own does.
#include <gtest/gtest.h>

#include <windows.h>

TEST(XpImports, TickCount64FollowsTheSystemsWhereThereIsOne) {
  typedef ULONGLONG(WINAPI * TickCount64Function)();
  auto system = reinterpret_cast<TickCount64Function>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  ASSERT_NE(nullptr, system) << "wine exports GetTickCount64";
  // The call goes through this program's import slot, which the stand-in fills.
  const ULONGLONG before = system();
  const ULONGLONG ours = ::GetTickCount64();
  const ULONGLONG after = system();
  EXPECT_LE(before, ours);
  EXPECT_LE(ours, after);
  // The widened 32-bit count agrees in its low half.
  EXPECT_LE(static_cast<DWORD>(::GetTickCount() - static_cast<DWORD>(ours)), 1000u);
}
