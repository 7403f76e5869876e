// Whether an access token is an enabled member of a built-in group of the local machine.
#ifndef KCC_APP_ADMIN_CHECK_H
#define KCC_APP_ADMIN_CHECK_H

#include <windows.h>

// True when the check was carried out; *isMember then tells an enabled membership.
// A null token means the current process's token; a given token is neither changed nor closed.
BOOL IsBuiltinGroupMember(DWORD groupRid, BOOL* isMember, HANDLE token = nullptr);
BOOL IsAdministrator(BOOL* isMember, HANDLE token = nullptr);

#endif
