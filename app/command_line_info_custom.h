// The program's command line: the switches halt and haltAll.
#ifndef KCC_APP_COMMAND_LINE_INFO_CUSTOM_H
#define KCC_APP_COMMAND_LINE_INFO_CUSTOM_H

#include "framework/command_line_info.h"

class CCommandLineInfoCustom : public CCommandLineInfo {
public:
  void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) override;

  bool m_bHalt = false;
  bool m_bHaltAll = false;
};

#endif
