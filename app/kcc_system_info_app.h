// The application object: start-up branches, and the sink that closes the dialog on request.
#ifndef KCC_APP_KCC_SYSTEM_INFO_APP_H
#define KCC_APP_KCC_SYSTEM_INFO_APP_H

#include "app/observe_app.h"
#include "framework/win_app.h"

class CKCCSystemInfoApp : public CWinApp, public CObserveApp::IObserveEvent {
public:
  CKCCSystemInfoApp();
  ~CKCCSystemInfoApp() override;

  BOOL InitInstance() override;

  void OnShutdownAll() override;
  void OnShutdownUser() override;

protected:
  DECLARE_MESSAGE_MAP()

private:
  void ActivateRunningInstance(DWORD waitMilliseconds);
  void CloseMainWindow();

  CObserveApp m_observe;
};

#endif
