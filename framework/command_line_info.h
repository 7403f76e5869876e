// The command-line record: the framework hands it each argument after the program name.
#ifndef KCC_FRAMEWORK_COMMAND_LINE_INFO_H
#define KCC_FRAMEWORK_COMMAND_LINE_INFO_H

#include <string>

class CCommandLineInfo {
public:
  CCommandLineInfo() = default;
  virtual ~CCommandLineInfo() = default;

  // pszParam comes without its leading '-' or '/' when bFlag is true.
  virtual void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast);

  std::wstring m_strFileName; // the first plain argument
};

// Splits a command line as the shell does and feeds every argument after the program name to info.
void ParseCommandLineInto(const wchar_t* commandLine, CCommandLineInfo& info);

#endif
