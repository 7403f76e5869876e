// The main dialog and the About box run in this process from the real satellite.
#include "dialog/about_dlg.h"
#include "dialog/kcc_system_info_dlg.h"
#include "framework/module.h"
#include "framework/resource_strings.h"
#include "res/resource.h"
#include "tests/support/win32_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <functional>
#include <vector>
#include <new>
#include <stdexcept>

using namespace kcctest;

namespace {
std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

struct OwnDialogSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchOwnDialog(HWND hwnd, LPARAM parameter) {
  OwnDialogSearch& search = *reinterpret_cast<OwnDialogSearch*>(parameter);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, search.id)) {
    search.found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Our own top-level dialog that holds control `id` (1000 for the main dialog, 1004 for About).
HWND FindOwnDialog(int id) {
  OwnDialogSearch search{id, nullptr};
  ::EnumWindows(&MatchOwnDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct Driver {
  std::function<void(HWND)> script;
  bool found = false;
  int controlId = IDC_LIST_SYSTEM; // what tells the dialog to drive
};

DWORD WINAPI DriveDialog(LPVOID parameter) {
  Driver& driver = *static_cast<Driver*>(parameter);
  HWND dialog = nullptr;
  driver.found = WaitUntil([&] { return (dialog = FindOwnDialog(driver.controlId)) != nullptr; }, 20000);
  if (driver.found) driver.script(dialog);
  return 0;
}

class DialogTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    satellite = LoadSatellite(BinDir().c_str(), L"KCCSystemInfo", L"ENU");
  }
  void SetUp() override {
    ASSERT_NE(nullptr, satellite) << "no English satellite";
    AfxSetResourceHandle(satellite);
  }

  // Runs the main dialog modally here while `script` drives it from another thread.
  INT_PTR Run(std::function<void(HWND)> script) {
    Driver driver{std::move(script)};
    HANDLE thread = ::CreateThread(nullptr, 0, &DriveDialog, &driver, 0, nullptr);
    CKCCSystemInfoDlg dialog(nullptr);
    const INT_PTR result = dialog.DoModal();
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    EXPECT_TRUE(driver.found) << "the dialog never appeared";
    return result;
  }

  static void Press(HWND dialog, UINT key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : dialog;
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  }

  static HMODULE satellite;
  MessageBoxAnswerer answerer; // WMI error boxes on the way
};
HMODULE DialogTest::satellite = nullptr;

TEST_F(DialogTest, OkButtonEndsWithCancel) {
  EXPECT_EQ(IDCANCEL, Run([](HWND dialog) { ::PostMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }));
}

TEST_F(DialogTest, EnterEndsWithCancel) {
  EXPECT_EQ(IDCANCEL, Run([](HWND dialog) { Press(dialog, VK_RETURN); }));
}

TEST_F(DialogTest, EscapeEndsWithCancel) {
  EXPECT_EQ(IDCANCEL, Run([](HWND dialog) { Press(dialog, VK_ESCAPE); }));
}

TEST_F(DialogTest, CloseBoxAndCloseRequestEndWithCancel) {
  EXPECT_EQ(IDCANCEL, Run([](HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }));
  EXPECT_EQ(IDCANCEL, Run([](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); }));
}

TEST_F(DialogTest, WindowMenuEndsWithTheAboutEntry) {
  std::wstring about;
  ASSERT_TRUE(LoadResourceString(IDS_ABOUTBOX, about));
  Run([&](HWND dialog) {
    HMENU menu = ::GetSystemMenu(dialog, FALSE);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), ::GetMenuItemID(menu, count - 1));
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, count - 1, text, 128, MF_BYPOSITION);
    EXPECT_EQ(about, text);
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
}

// A right-click in the caption opens the window menu, as for any window: only the lists have a menu of ours.
TEST_F(DialogTest, ContextMenuInTheCaptionOpensTheWindowMenu) {
  bool opened = false;
  Run([&](HWND dialog) {
    RECT frame;
    ::GetWindowRect(dialog, &frame);
    const int y = frame.top + ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    ::PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog), MAKELPARAM((frame.left + frame.right) / 2, y));
    // The window menu is a popup menu window of this process.
    opened = WaitUntil([] {
      const HWND menu = ::FindWindowW(L"#32768", nullptr);
      DWORD pid = 0;
      ::GetWindowThreadProcessId(menu, &pid);
      return menu && ::IsWindowVisible(menu) && pid == ::GetCurrentProcessId();
    }, 5000);
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(opened);
}

// Built with no parent, the About box is owned by the dialog, which it disables while it runs.
TEST_F(DialogTest, AboutBoxIsModalToTheDialog) {
  Run([&](HWND dialog) {
    ::PostMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindOwnDialog(IDC_VERSION)) != nullptr; }, 5000));
    EXPECT_EQ(dialog, ::GetWindow(about, GW_OWNER));
    EXPECT_FALSE(::IsWindowEnabled(dialog));
    ::PostMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ::Sleep(300);
    EXPECT_EQ(about, FindOwnDialog(IDC_VERSION));
    ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }, 5000));
    EXPECT_EQ(nullptr, FindOwnDialog(IDC_VERSION)) << "a second About box was opened";
    EXPECT_TRUE(::IsWindowEnabled(dialog));
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
    EXPECT_EQ(dialog, thread.hwndActive);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
}

// A dialog whose handler throws: the exception stops at the framework's dialog procedure.
class ThrowingDialog : public CDialog {
public:
  explicit ThrowingDialog(bool outOfMemory) : CDialog(IDD_ABOUTBOX, nullptr), m_outOfMemory(outOfMemory) {}

protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (m_outOfMemory) throw std::bad_alloc();
    throw std::runtime_error("handler failed");
  }

private:
  bool m_outOfMemory;
};

class HandlerException : public DialogTest, public testing::WithParamInterface<bool> {};

TEST_P(HandlerException, IsReportedAndTheDialogRuns) {
  Driver driver{[](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }, false,
                IDC_VERSION};
  HANDLE thread = ::CreateThread(nullptr, 0, &DriveDialog, &driver, 0, nullptr);
  ThrowingDialog dialog(GetParam());
  EXPECT_EQ(IDOK, dialog.DoModal());
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  EXPECT_TRUE(driver.found);
  const std::vector<MessageBoxAnswerer::Box> boxes = answerer.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(GetParam() ? L"Out of memory." : L"Internal application error.", boxes[0].text);
  EXPECT_TRUE(boxes[0].icon);
}

INSTANTIATE_TEST_SUITE_P(Kinds, HandlerException, testing::Values(true, false));

class AboutCommand : public DialogTest, public testing::WithParamInterface<UINT> {};

TEST_P(AboutCommand, OpensTheAboutBoxWithTheVersionText) {
  std::wstring prefix;
  ASSERT_TRUE(LoadResourceString(IDS_VERSION_PREFIX, prefix));
  std::wstring shown;
  Run([&](HWND dialog) {
    ::PostMessageW(dialog, WM_SYSCOMMAND, GetParam(), 0);
    HWND about = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (about = FindOwnDialog(IDC_VERSION)) != nullptr; }, 5000));
    if (about) {
      shown = Text(::GetDlgItem(about, IDC_VERSION));
      ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      WaitUntil([&] { return !::IsWindow(about); }, 5000);
    }
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(prefix + L"2.1.00.11080", shown);
}

INSTANTIATE_TEST_SUITE_P(Ids, AboutCommand, testing::Values(16u, 31u, 17u));

class OtherCommand : public DialogTest, public testing::WithParamInterface<UINT> {};

TEST_P(OtherCommand, DoesNotOpenTheAboutBox) {
  bool opened = false;
  Run([&](HWND dialog) {
    ::PostMessageW(dialog, WM_SYSCOMMAND, GetParam(), 0);
    opened = WaitUntil([] { return FindOwnDialog(IDC_VERSION) != nullptr; }, 400);
    if (HWND about = FindOwnDialog(IDC_VERSION)) ::PostMessageW(about, WM_COMMAND, IDOK, 0);
    if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_FALSE(opened);
}

INSTANTIATE_TEST_SUITE_P(Ids, OtherCommand, testing::Values(32u, 15u, static_cast<UINT>(SC_CLOSE)));

TEST_F(DialogTest, ListsNeverKeepASelection) {
  Run([](HWND dialog) {
    for (int id : {IDC_LIST_HARDWARE, IDC_LIST_SYSTEM}) {
      HWND list = ::GetDlgItem(dialog, id);
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH;
      column.cx = 200;
      if (::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) == 0) ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
      const int base = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
      for (int i = 0; i < 3; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = base + i;
        item.pszText = const_cast<LPWSTR>(L"row");
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      }
      // Programmatic selection, a click on a row, and the keyboard.
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      ::SendMessageW(list, LVM_SETITEMSTATE, base + 1, reinterpret_cast<LPARAM>(&state));
      EXPECT_EQ(0, ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) << id;
      RECT row{LVIR_BOUNDS, 0, 0, 0};
      ::SendMessageW(list, LVM_GETITEMRECT, base + 2, reinterpret_cast<LPARAM>(&row));
      const LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
      ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::PostMessageW(list, WM_LBUTTONUP, 0, at);
      ::Sleep(300);
      EXPECT_EQ(0, ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) << id;
      ::PostMessageW(list, WM_KEYDOWN, VK_DOWN, 1);
      ::PostMessageW(list, WM_KEYUP, VK_DOWN, 0xC0000001);
      ::Sleep(200);
      EXPECT_EQ(0, ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) << id;
    }
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
}

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return SIZE{0, 0};
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

HICON WindowIcon(HWND window, WPARAM kind) {
  return reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, kind, 0));
}

// Moved to a monitor of another scale: the suggested rectangle, the columns for the lists' new width, and icons
// drawn at the new DPI's sizes, each replacing (and destroying) the last without touching the program's own.
TEST_F(DialogTest, DpiChangeTakesTheRectangleColumnsAndIcons) {
  const struct {
    UINT dpi;
    LONG small, big;
  } steps[] = {{144, 24, 48}, {192, 32, 64}};
  Run([&](HWND dialog) {
    HWND hardware = ::GetDlgItem(dialog, IDC_LIST_HARDWARE);
    HWND system = ::GetDlgItem(dialog, IDC_LIST_SYSTEM);
    const HICON shared = WindowIcon(dialog, ICON_BIG);
    RECT start;
    ::GetWindowRect(hardware, &start);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&start), 2);
    std::vector<HICON> replaced;
    for (const auto& step : steps) {
      // What the dialog manager does first on Windows (wine's does nothing): the lists laid out for the DPI.
      const int width = ::MulDiv(start.right - start.left, static_cast<int>(step.dpi), 96);
      ::SetWindowPos(hardware, nullptr, 0, 0, width, start.bottom - start.top, SWP_NOMOVE | SWP_NOZORDER);
      RECT frame;
      ::GetWindowRect(dialog, &frame);
      RECT suggested{frame.left + 10, frame.top + 5, frame.left + 10 + ::MulDiv(frame.right - frame.left, 3, 2),
                     frame.top + 5 + ::MulDiv(frame.bottom - frame.top, 3, 2)};
      ::SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi), reinterpret_cast<LPARAM>(&suggested));

      RECT now;
      ::GetWindowRect(dialog, &now);
      EXPECT_TRUE(::EqualRect(&suggested, &now)) << step.dpi;
      RECT client;
      ::GetClientRect(hardware, &client);
      for (HWND list : {hardware, system}) {
        EXPECT_EQ(client.right - 2 * client.right / 3, ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)) << step.dpi;
        EXPECT_EQ(2 * client.right / 3, ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0)) << step.dpi;
      }
      const HICON small = WindowIcon(dialog, ICON_SMALL);
      const HICON big = WindowIcon(dialog, ICON_BIG);
      EXPECT_EQ(step.small, IconSize(small).cx) << step.dpi;
      EXPECT_EQ(step.small, IconSize(small).cy) << step.dpi;
      EXPECT_EQ(step.big, IconSize(big).cx) << step.dpi;
      EXPECT_EQ(step.big, IconSize(big).cy) << step.dpi;
      for (HICON gone : replaced) EXPECT_EQ(0, IconSize(gone).cx) << "an icon replaced was not destroyed";
      replaced = {small, big};
    }
    EXPECT_EQ(32, IconSize(shared).cx) << "the program's shared icon was destroyed";
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
}

// This process carries the program's manifest: the loader reads per-monitor awareness from it (wine 8 knows no
// version 2 context of its own and makes it per-monitor; Windows before 10 1703 takes the system fallback).
TEST(DpiAwareness, PerMonitorFromTheManifest) {
  using ThreadContext = HANDLE(WINAPI*)();
  using Awareness = int(WINAPI*)(HANDLE);
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto threadContext = reinterpret_cast<ThreadContext>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<Awareness>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  ASSERT_TRUE(threadContext && awareness);
  EXPECT_EQ(2, awareness(threadContext())); // DPI_AWARENESS_PER_MONITOR_AWARE
  wchar_t setting[64] = {};
  EXPECT_TRUE(::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                     L"dpiAwareness", setting, 64, nullptr));
  EXPECT_STREQ(L"PerMonitorV2, System", setting);
}

TEST_F(DialogTest, DragIconIsTheProgramIcon) {
  LRESULT icon = 0;
  Run([&](HWND dialog) {
    icon = ::SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_NE(0, icon);
}

TEST_F(DialogTest, MinimisedDialogPaintsAndRestores) {
  bool iconic = false;
  bool restored = false;
  Run([&](HWND dialog) {
    ::SendMessageW(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    iconic = WaitUntil([&] { return ::IsIconic(dialog) != FALSE; }, 3000);
    if (iconic) {
      ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      ::SendMessageW(dialog, WM_SYSCOMMAND, SC_RESTORE, 0);
      restored = WaitUntil([&] { return !::IsIconic(dialog); }, 3000);
    }
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  // Without a window manager, wine does not always take the window to the iconic state.
  if (!iconic) GTEST_SKIP() << "the X server did not minimise the window";
  EXPECT_TRUE(restored);
}

TEST(IconPosition, CentredWithSignedDivision) {
  struct Case { LONG width, height; POINT expected; } cases[] = {
      {36, 36, {2, 2}}, {37, 38, {3, 3}}, {32, 32, {0, 0}}, {31, 31, {0, 0}}, {28, 29, {-1, -1}}};
  for (const Case& c : cases) {
    const POINT at = CKCCSystemInfoDlg::IconPosition(RECT{0, 0, c.width, c.height}, 32, 32);
    EXPECT_EQ(c.expected.x, at.x) << c.width;
    EXPECT_EQ(c.expected.y, at.y) << c.height;
  }
}

TEST(AboutText, OwnExeHasNoProductVersionUnder04090000) {
  HMODULE satellite = LoadSatellite(BinDir().c_str(), L"KCCSystemInfo", L"ENU");
  ASSERT_NE(nullptr, satellite);
  AfxSetResourceHandle(satellite);
  std::wstring prefix;
  ASSERT_TRUE(LoadResourceString(IDS_VERSION_PREFIX, prefix));
  EXPECT_EQ(prefix + L"2.1.00.11080", CAboutDlg::MakeVersionText(nullptr));
  CAboutDlg about;
  EXPECT_EQ(prefix + L"2.1.00.11080", about.m_strVersion);
}

TEST(AboutText, ProductVersionUnder04090000IsAppended) {
  HMODULE satellite = LoadSatellite(BinDir().c_str(), L"KCCSystemInfo", L"ENU");
  AfxSetResourceHandle(satellite);
  std::wstring prefix;
  ASSERT_TRUE(LoadResourceString(IDS_VERSION_PREFIX, prefix));
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dll = self;
  dll = dll.substr(0, dll.find_last_of(L'\\')) + L"\\version_0409.dll";
  HMODULE module = ::LoadLibraryW(dll.c_str());
  ASSERT_NE(nullptr, module) << ::GetLastError();
  EXPECT_EQ(prefix + L"2.1.00.11080" + L"9.8.7.6-test", CAboutDlg::MakeVersionText(module));
  ::FreeLibrary(module);
}

TEST(AboutText, WithoutSatelliteBeginsWithTheFixedText) {
  AfxSetResourceHandle(nullptr);
  EXPECT_EQ(L"2.1.00.11080", CAboutDlg::MakeVersionText(nullptr));
}

TEST(ResourceStrings, MissingStringLeavesTheText) {
  AfxSetResourceHandle(nullptr);
  std::wstring text = L"kept";
  EXPECT_FALSE(LoadResourceString(IDS_APP_TITLE, text));
  EXPECT_EQ(L"kept", text);
  AfxSetResourceHandle(LoadSatellite(BinDir().c_str(), L"KCCSystemInfo", L"ENU"));
  EXPECT_FALSE(LoadResourceString(135, text));
  EXPECT_EQ(L"kept", text);
  EXPECT_TRUE(LoadResourceString(IDS_APP_TITLE, text));
  EXPECT_EQ(L"KCC System Information", text);
}

TEST(Binding, TemplateWithoutAControlFailsTheDialog) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir = self;
  dir = dir.substr(0, dir.find_last_of(L'\\'));
  HMODULE broken = ::LoadLibraryExW((dir + L"\\broken_satellite.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, broken);
  AfxSetResourceHandle(broken);
  CKCCSystemInfoDlg dialog(nullptr);
  EXPECT_EQ(-1, dialog.DoModal());
  EXPECT_EQ(nullptr, dialog.m_listSystem.m_hWnd) << "controls stay detached once the window is gone";
}

TEST(Binding, NoTemplateAtAllFailsTheDialog) {
  AfxSetResourceHandle(nullptr);
  CKCCSystemInfoDlg dialog(nullptr);
  EXPECT_EQ(-1, dialog.DoModal());
}
} // namespace
