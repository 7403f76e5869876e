// The instance observer with real named objects: names, security, watcher, close requests.
#include "app/observe_app.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {
// Each test has names of its own: the shutdown events stay signalled while any handle lives.
std::wstring UniqueName() {
  static int counter = 0;
  return L"KccObserveTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

class RecordingSink : public CObserveApp::IObserveEvent {
public:
  RecordingSink() : m_notified(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~RecordingSink() { ::CloseHandle(m_notified); }
  void OnShutdownAll() override { ++all; ::SetEvent(m_notified); }
  void OnShutdownUser() override { ++user; ::SetEvent(m_notified); }
  bool WaitNotified(DWORD ms) { return ::WaitForSingleObject(m_notified, ms) == WAIT_OBJECT_0; }
  std::atomic<int> all{0};
  std::atomic<int> user{0};

private:
  HANDLE m_notified;
};

struct SecondStart {
  const wchar_t* name;
  bool started;
  bool owns;
};

DWORD WINAPI StartSecondObserver(LPVOID parameter) {
  SecondStart& args = *static_cast<SecondStart*>(parameter);
  CObserveApp second(args.name);
  args.started = second.StartObserve();
  args.owns = second.OwnsUserMutex();
  return 0;
}

// Takes the per-user mutex and ends its thread without releasing it.
DWORD WINAPI StartAndAbandon(LPVOID parameter) {
  static_cast<CObserveApp*>(parameter)->StartObserve();
  return 0;
}

TEST(ObserveApp, RunningOnlyOnceObserving) {
  const std::wstring name = UniqueName();
  CObserveApp first(name.c_str());
  CObserveApp probe(name.c_str());
  EXPECT_FALSE(probe.IsRunning());
  EXPECT_TRUE(first.StartObserve());
  EXPECT_TRUE(first.OwnsUserMutex());
  EXPECT_TRUE(probe.IsRunning());
}

TEST(ObserveApp, SecondObserverOfTheSameUserDoesNotOwnTheMutex) {
  const std::wstring name = UniqueName();
  CObserveApp first(name.c_str());
  ASSERT_TRUE(first.StartObserve());
  // Ownership belongs to a thread: the second observer waits from another one.
  SecondStart args{name.c_str(), false, true};
  HANDLE thread = ::CreateThread(nullptr, 0, &StartSecondObserver, &args, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  ::WaitForSingleObject(thread, 10000);
  ::CloseHandle(thread);
  EXPECT_TRUE(args.started);
  EXPECT_FALSE(args.owns);
}

TEST(ObserveApp, AbandonedMutexIsTakenOver) {
  const std::wstring name = UniqueName();
  CObserveApp keeper(name.c_str());
  HANDLE thread = ::CreateThread(nullptr, 0, &StartAndAbandon, &keeper, 0, nullptr);
  ::WaitForSingleObject(thread, 10000);
  ::CloseHandle(thread);
  CObserveApp next(name.c_str());
  EXPECT_TRUE(next.StartObserve());
  EXPECT_TRUE(next.OwnsUserMutex());
}

TEST(ObserveApp, UserRequestReachesTheWatcher) {
  const std::wstring name = UniqueName();
  RecordingSink sink;
  CObserveApp running(name.c_str());
  running.m_pEvent = &sink;
  running.StartObserve();
  CObserveApp requester(name.c_str());
  EXPECT_TRUE(requester.ShutdownUser());
  ASSERT_TRUE(sink.WaitNotified(5000));
  EXPECT_EQ(1, sink.user.load());
  EXPECT_EQ(0, sink.all.load());
}

TEST(ObserveApp, AllUsersRequestReachesTheWatcher) {
  const std::wstring name = UniqueName();
  RecordingSink sink;
  CObserveApp running(name.c_str());
  running.m_pEvent = &sink;
  running.StartObserve();
  CObserveApp requester(name.c_str());
  EXPECT_TRUE(requester.ShutdownAll());
  ASSERT_TRUE(sink.WaitNotified(5000));
  EXPECT_EQ(1, sink.all.load());
  EXPECT_EQ(0, sink.user.load());
}

TEST(ObserveApp, BothSignalledBeforeStartGivesOnlyAllUsersAtOnce) {
  const std::wstring name = UniqueName();
  CObserveApp requester(name.c_str());
  ASSERT_TRUE(requester.ShutdownUser());
  ASSERT_TRUE(requester.ShutdownAll());
  RecordingSink sink;
  CObserveApp running(name.c_str());
  running.m_pEvent = &sink;
  running.StartObserve();
  ASSERT_TRUE(sink.WaitNotified(5000));
  ::Sleep(100);
  EXPECT_EQ(1, sink.all.load());
  EXPECT_EQ(0, sink.user.load());
}

TEST(ObserveApp, SecondRequestAfterTheFirstHasNoEffect) {
  const std::wstring name = UniqueName();
  RecordingSink sink;
  CObserveApp running(name.c_str());
  running.m_pEvent = &sink;
  running.StartObserve();
  CObserveApp requester(name.c_str());
  requester.ShutdownUser();
  ASSERT_TRUE(sink.WaitNotified(5000));
  requester.ShutdownAll();
  ::Sleep(200);
  EXPECT_EQ(1, sink.user.load());
  EXPECT_EQ(0, sink.all.load());
}

TEST(ObserveApp, DestructorEndsAWaitingWatcherSilently) {
  const std::wstring name = UniqueName();
  RecordingSink sink;
  const DWORD start = ::GetTickCount();
  {
    CObserveApp running(name.c_str());
    running.m_pEvent = &sink;
    running.StartObserve();
    ::Sleep(50);
  }
  EXPECT_LT(::GetTickCount() - start, 1500u) << "the watcher had to be terminated";
  EXPECT_EQ(0, sink.all.load() + sink.user.load());
  // With the last handle gone, the instance no longer appears to run.
  CObserveApp probe(name.c_str());
  EXPECT_FALSE(probe.IsRunning());
}

TEST(ObserveApp, WithoutSinkARequestIsSwallowed) {
  const std::wstring name = UniqueName();
  CObserveApp running(name.c_str());
  running.StartObserve();
  CObserveApp requester(name.c_str());
  EXPECT_TRUE(requester.ShutdownUser());
}

// Reads the DACL of a named object and checks it is exactly: deny Everyone WRITE_DAC|WRITE_OWNER,
// then allow Everyone GENERIC_ALL (kept as the object's full access rights).
void ExpectObserverDacl(HANDLE object, DWORD allAccess) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor));
  ASSERT_NE(nullptr, dacl);
  ASSERT_EQ(2, dacl->AceCount);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  void* ace = nullptr;
  ASSERT_TRUE(::GetAce(dacl, 0, &ace));
  const ACCESS_DENIED_ACE* deny = static_cast<const ACCESS_DENIED_ACE*>(ace);
  EXPECT_EQ(ACCESS_DENIED_ACE_TYPE, deny->Header.AceType);
  EXPECT_EQ(static_cast<DWORD>(WRITE_DAC | WRITE_OWNER), deny->Mask);
  EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&deny->SidStart), everyone));
  ASSERT_TRUE(::GetAce(dacl, 1, &ace));
  const ACCESS_ALLOWED_ACE* allow = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, allow->Header.AceType);
  // The kernel stores GENERIC_ALL mapped to the object type's full access.
  EXPECT_TRUE(allow->Mask == GENERIC_ALL || allow->Mask == allAccess) << std::hex << allow->Mask;
  EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allow->SidStart), everyone));
  ::FreeSid(everyone);
  ::LocalFree(descriptor);
}

TEST(ObserveAppSecurity, NamedObjectsCarryTheDacl) {
  const std::wstring name = UniqueName();
  CObserveApp running(name.c_str());
  running.StartObserve();
  struct Object { std::wstring name; bool mutex; } objects[] = {
      {name + L"-MutexUser", true},
      {L"Global\\" + name + L"-MutexAll", true},
      {name + L"-Shutdown-User", false},
      {L"Global\\" + name + L"-Shutdown-All", false}};
  for (const Object& object : objects) {
    SCOPED_TRACE(std::string(object.name.begin(), object.name.end()));
    HANDLE handle = object.mutex ? ::OpenMutexW(READ_CONTROL, FALSE, object.name.c_str())
                                 : ::OpenEventW(READ_CONTROL, FALSE, object.name.c_str());
    ASSERT_NE(nullptr, handle) << ::GetLastError();
    ExpectObserverDacl(handle, object.mutex ? MUTANT_ALL_ACCESS : EVENT_ALL_ACCESS);
    ::CloseHandle(handle);
  }
}

TEST(ObserveAppSecurity, SecondCreateIsRefusedSoTheOpenFallBackGivesTheHandle) {
  const std::wstring name = UniqueName();
  CObserveApp first(name.c_str());
  first.StartObserve();
  const std::wstring event = name + L"-Shutdown-User";
  // Full access includes WRITE_DAC, which the DACL denies.
  ::SetLastError(0);
  HANDLE created = ::CreateEventW(nullptr, TRUE, FALSE, event.c_str());
  EXPECT_EQ(nullptr, created);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
  if (created) ::CloseHandle(created);
  // The second observer still gets working handles.
  CObserveApp second(name.c_str());
  EXPECT_TRUE(second.ShutdownUser());
  EXPECT_TRUE(second.IsRunning());
  HANDLE opened = ::OpenEventW(SYNCHRONIZE, FALSE, event.c_str());
  ASSERT_NE(nullptr, opened);
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(opened, 0)) << "the request did not signal the shared event";
  ::CloseHandle(opened);
}
} // namespace
