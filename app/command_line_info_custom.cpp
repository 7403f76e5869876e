// The program's command line: switches are compared ignoring case; anything else is ignored.
#include "app/command_line_info_custom.h"

#include <windows.h>

void CCommandLineInfoCustom::ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) {
  if (bFlag && ::lstrcmpiW(pszParam, L"halt") == 0) m_bHalt = true;
  if (bFlag && ::lstrcmpiW(pszParam, L"haltAll") == 0) m_bHaltAll = true;
  CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
}
