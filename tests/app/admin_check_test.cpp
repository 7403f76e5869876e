// The administrator check against real process tokens.
#include "app/admin_check.h"

#include <gtest/gtest.h>

namespace {
HANDLE ProcessToken(DWORD access) {
  HANDLE token = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), access, &token)) << ::GetLastError();
  return token;
}

TEST(AdminCheck, ProcessTokenIsAnEnabledAdministrator) {
  BOOL member = FALSE;
  EXPECT_TRUE(IsAdministrator(&member));
  EXPECT_TRUE(member);
}

TEST(AdminCheck, WithoutOutFlagNothingIsChecked) { EXPECT_FALSE(IsAdministrator(nullptr)); }

TEST(AdminCheck, GivenTokenIsUsedAndNotClosed) {
  HANDLE token = ProcessToken(TOKEN_QUERY);
  BOOL member = FALSE;
  EXPECT_TRUE(IsAdministrator(&member, token));
  EXPECT_TRUE(member);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ::GetLastError()) << "the token was closed";
  ::CloseHandle(token);
}

TEST(AdminCheck, DenyOnlyAdministratorsGroupIsNoMembership) {
  HANDLE token = ProcessToken(TOKEN_ALL_ACCESS);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  ASSERT_TRUE(::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &admins));
  SID_AND_ATTRIBUTES disable{admins, 0};
  HANDLE restricted = nullptr;
  ASSERT_TRUE(::CreateRestrictedToken(token, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted)) << ::GetLastError();

  // The group is still listed, marked for deny only and not enabled.
  DWORD size = 0;
  ::GetTokenInformation(restricted, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  ASSERT_TRUE(::GetTokenInformation(restricted, TokenGroups, buffer.data(), size, &size));
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool listed = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (::EqualSid(groups->Groups[i].Sid, admins)) {
      listed = true;
      EXPECT_TRUE(groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
      EXPECT_FALSE(groups->Groups[i].Attributes & SE_GROUP_ENABLED);
    }
  }
  EXPECT_TRUE(listed);

  BOOL member = TRUE;
  EXPECT_TRUE(IsAdministrator(&member, restricted));
  EXPECT_FALSE(member);

  ::FreeSid(admins);
  ::CloseHandle(restricted);
  ::CloseHandle(token);
}

TEST(AdminCheck, UnreadableTokenIsNotDeterminedAndFlagCleared) {
  HANDLE token = ProcessToken(TOKEN_DUPLICATE); // no TOKEN_QUERY
  BOOL member = TRUE;
  EXPECT_FALSE(IsAdministrator(&member, token));
  EXPECT_FALSE(member);
  ::CloseHandle(token);
}

TEST(AdminCheck, OtherBuiltinGroupIsCheckedByItsRid) {
  BOOL member = TRUE;
  // Wine's token does not hold Backup Operators (S-1-5-32-551).
  EXPECT_TRUE(IsBuiltinGroupMember(DOMAIN_ALIAS_RID_BACKUP_OPS, &member));
  EXPECT_FALSE(member);
}
} // namespace
