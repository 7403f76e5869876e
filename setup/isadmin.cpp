// isadmin.exe: tells the driver install scripts whether they run with administrator rights.
// Exit status 0: an enabled member of the Administrators group (elevated, where Windows has UAC);
// 1: not; 2: the token could not be read. The same check /haltAll makes, by the token's groups, so that
// it holds from XP (which has no whoami) to Windows 11 and for any restricted token.
#include "app/admin_check.h"

int main() {
  BOOL isMember = FALSE;
  if (!IsAdministrator(&isMember)) return 2;
  return isMember ? 0 : 1;
}
