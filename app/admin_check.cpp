// The administrator check: the token's group list against S-1-5-32-<rid>, enabled groups only.
#include "app/admin_check.h"

namespace {
// The platform, read once per process.
DWORD g_platformId = 0;
bool g_platformRead = false;
} // namespace

BOOL IsBuiltinGroupMember(DWORD groupRid, BOOL* isMember, HANDLE token) {
  if (!isMember) return FALSE;
  if (!g_platformRead) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (::GetVersionExW(&version)) g_platformId = version.dwPlatformId;
    g_platformRead = true;
  }
  if (g_platformId != VER_PLATFORM_WIN32_NT) return FALSE;
  *isMember = FALSE;

  HANDLE opened = nullptr;
  if (!token) {
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) token = opened;
  }
  if (!token) return FALSE;

  BOOL result = FALSE;
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenGroups, nullptr, 0, &size) && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    TOKEN_GROUPS* groups = static_cast<TOKEN_GROUPS*>(::GlobalAlloc(GPTR, size));
    if (groups && ::GetTokenInformation(token, TokenGroups, groups, size, &size)) {
      SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
      PSID group = nullptr;
      if (::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, groupRid, 0, 0, 0, 0, 0, 0, &group)) {
        result = TRUE;
        for (DWORD i = 0; i < groups->GroupCount; ++i) {
          if (::EqualSid(groups->Groups[i].Sid, group) && (groups->Groups[i].Attributes & SE_GROUP_ENABLED)) {
            *isMember = TRUE;
            break;
          }
        }
        ::FreeSid(group);
      }
    }
    if (groups) ::GlobalFree(groups);
  }
  if (opened) ::CloseHandle(opened);
  return result;
}

BOOL IsAdministrator(BOOL* isMember, HANDLE token) {
  return IsBuiltinGroupMember(DOMAIN_ALIAS_RID_ADMINS, isMember, token);
}
