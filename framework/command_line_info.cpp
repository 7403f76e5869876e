// The command-line record and the splitting of the command line into its arguments.
#include "framework/command_line_info.h"

#include <windows.h>
#include <shellapi.h>

void CCommandLineInfo::ParseParam(const wchar_t* pszParam, bool bFlag, bool) {
  if (!bFlag && m_strFileName.empty()) m_strFileName = pszParam;
}

void ParseCommandLineInto(const wchar_t* commandLine, CCommandLineInfo& info) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(commandLine, &count);
  if (!arguments) return;
  for (int i = 1; i < count; ++i) {
    const wchar_t* parameter = arguments[i];
    const bool flag = parameter[0] == L'-' || parameter[0] == L'/';
    info.ParseParam(flag ? parameter + 1 : parameter, flag, i + 1 == count);
  }
  ::LocalFree(arguments);
}
