// The About box: template 100 with the version text in control 1004.
#ifndef KCC_DIALOG_ABOUT_DLG_H
#define KCC_DIALOG_ABOUT_DLG_H

#include "framework/dialog.h"

#include <string>

class CAboutDlg : public CDialog {
public:
  CAboutDlg();
  ~CAboutDlg() override;

  // String 141, the fixed version text, then the ProductVersion that `module`'s version
  // resource holds under 04090000, if any (null: the exe).
  static std::wstring MakeVersionText(HMODULE module);

  CButton m_btnOk;
  std::wstring m_strVersion;

protected:
  void DoDataExchange(CDataExchange* pDX) override;

  DECLARE_MESSAGE_MAP()
};

#endif
