// The switches halt and haltAll as the real command-line splitting delivers them.
#include "app/command_line_info_custom.h"

#include <gtest/gtest.h>

namespace {
struct Case {
  const wchar_t* commandLine;
  bool halt;
  bool haltAll;
};

class CommandLine : public testing::TestWithParam<Case> {};

TEST_P(CommandLine, SetsExactlyTheSwitchesGiven) {
  CCommandLineInfoCustom info;
  ParseCommandLineInto(GetParam().commandLine, info);
  EXPECT_EQ(GetParam().halt, info.m_bHalt) << GetParam().commandLine;
  EXPECT_EQ(GetParam().haltAll, info.m_bHaltAll) << GetParam().commandLine;
}

INSTANTIATE_TEST_SUITE_P(Switches, CommandLine, testing::Values(
    Case{L"KCCSystemInfo.exe", false, false},
    Case{L"KCCSystemInfo.exe /halt", true, false},
    Case{L"KCCSystemInfo.exe -HALT", true, false},
    Case{L"KCCSystemInfo.exe /Halt", true, false},
    Case{L"KCCSystemInfo.exe halt", false, false},
    Case{L"KCCSystemInfo.exe /haltall", false, true},
    Case{L"KCCSystemInfo.exe -HALTALL", false, true},
    Case{L"KCCSystemInfo.exe /hAlTaLl", false, true},
    Case{L"KCCSystemInfo.exe /halt-all", false, false},
    Case{L"KCCSystemInfo.exe /haltAllNow", false, false},
    Case{L"KCCSystemInfo.exe //halt", false, false},
    Case{L"KCCSystemInfo.exe file.txt /other", false, false},
    Case{L"\"C:\\Program Files\\KCC\\KCCSystemInfo.exe\" /haltAll /halt", true, true}));

TEST(CommandLineRecord, HandsEveryArgumentToTheBaseInOrder) {
  struct Recorder : CCommandLineInfoCustom {
    std::wstring log;
    void ParseParam(const wchar_t* p, bool flag, bool last) override {
      log += std::wstring(flag ? L"F:" : L"P:") + p + (last ? L"." : L",");
      CCommandLineInfoCustom::ParseParam(p, flag, last);
    }
  } info;
  ParseCommandLineInto(L"prog.exe first -second /Halt \"with space\"", info);
  EXPECT_EQ(L"P:first,F:second,F:Halt,P:with space.", info.log);
  EXPECT_TRUE(info.m_bHalt);
  EXPECT_EQ(L"first", info.m_strFileName);
}
} // namespace
