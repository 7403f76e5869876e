// Tests of the dialog reader's Win32 part against the real API: windows, lists, message boxes, paths.
#include "tools/bench/command_line.h"
#include "framework/text.h"
#include "tools/dlgread/dialog_reader.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A top-level window, destroyed at the end of the test.
class Window {
public:
  explicit Window(HWND handle) : m_handle(handle) {}
  ~Window() {
    if (m_handle && ::IsWindow(m_handle)) ::DestroyWindow(m_handle);
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  HWND Get() const { return m_handle; }

private:
  HWND m_handle;
};

HWND MakeDialogWindow(const wchar_t* caption, bool visible) {
  return ::CreateWindowExW(0, WC_DIALOG, caption, WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0), 10, 10, 400,
                           300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

HWND AddList(HWND parent, int id) {
  return ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, 0, 0, 300,
                           200, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                           nullptr);
}

void AddColumn(HWND list, int index, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_FMT;
  column.cx = width;
  column.pszText = const_cast<LPWSTR>(L"");
  ASSERT_EQ(index, ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

void AddRow(HWND list, const std::wstring& label, const std::wstring& value) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<LPWSTR>(label.c_str());
  const LRESULT row = ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  ASSERT_GE(row, 0);
  LVITEMW cell{};
  cell.iSubItem = 1;
  cell.pszText = const_cast<LPWSTR>(value.c_str());
  ASSERT_TRUE(::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell)));
}

class ReaderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ::InitCommonControls(); }
};

TEST_F(ReaderTest, ReadsColumnsAndRowsThroughRemoteMemory) {
  Window dialog(MakeDialogWindow(L"tools reader: lists", true));
  ASSERT_NE(nullptr, dialog.Get()) << ::GetLastError();
  HWND list = AddList(dialog.Get(), dlgread::kHardwareList);
  ASSERT_NE(nullptr, list) << ::GetLastError();
  AddColumn(list, 0, 100);
  AddColumn(list, 1, 200);
  // Longer than the first buffer the reader places in the target, so it has to grow it.
  std::wstring longText(5000, L'x');
  longText.back() = L'y';
  const std::vector<std::pair<std::wstring, std::wstring>> rows{
      {L"Processor", L"Intel"}, {L"", L"no label"}, {L"empty value", L""}, {L"long", longText},
      {L"\u65e5\u672c", L"tab\tand\nline"}};
  for (const auto& row : rows) AddRow(list, row.first, row.second);

  EXPECT_EQ(5, dlgread::ItemCount(list));
  dlgread::ListContent content;
  DWORD error = 0;
  ASSERT_TRUE(dlgread::ReadList(list, content, error)) << error;
  EXPECT_EQ((std::vector<int>{100, 200}), content.columnWidths);
  EXPECT_EQ(rows, content.rows);
}

TEST_F(ReaderTest, ListWithoutColumnsHasNoWidthsAndNoRows) {
  Window dialog(MakeDialogWindow(L"tools reader: empty", true));
  HWND list = AddList(dialog.Get(), dlgread::kSystemList);
  ASSERT_NE(nullptr, list);
  dlgread::ListContent content;
  content.columnWidths.push_back(1);
  DWORD error = 0;
  ASSERT_TRUE(dlgread::ReadList(list, content, error)) << error;
  EXPECT_TRUE(content.columnWidths.empty());
  EXPECT_TRUE(content.rows.empty());
  EXPECT_EQ(0, dlgread::ItemCount(list));
}

TEST_F(ReaderTest, ListThatIsGoneFailsWithInvalidWindowHandle) {
  HWND list;
  {
    Window dialog(MakeDialogWindow(L"tools reader: gone", true));
    list = AddList(dialog.Get(), dlgread::kSystemList);
  }
  ASSERT_FALSE(::IsWindow(list));
  dlgread::ListContent content;
  DWORD error = 0;
  EXPECT_FALSE(dlgread::ReadList(list, content, error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), error);
  EXPECT_EQ(-1, dlgread::ItemCount(list));
}

TEST_F(ReaderTest, FindsOnlyTheVisibleDialogWithListsAndExactCaption) {
  const std::wstring caption = L"tools reader: find";
  Window box(MakeDialogWindow(caption.c_str(), true));
  Window dialog(MakeDialogWindow(caption.c_str(), false));
  ASSERT_NE(nullptr, AddList(dialog.Get(), dlgread::kSystemList));
  const DWORD self = ::GetCurrentProcessId();

  // Hidden, the dialog is not yet the program's dialog; the box with its caption never is.
  EXPECT_EQ(nullptr, dlgread::FindProgramDialog(caption, self));
  EXPECT_EQ(box.Get(), dlgread::FindDialog(caption, self));
  ::ShowWindow(dialog.Get(), SW_SHOWNA);
  EXPECT_EQ(dialog.Get(), dlgread::FindProgramDialog(caption, self));
  EXPECT_EQ(dialog.Get(), dlgread::FindProgramDialog(caption, dlgread::kAnyProcess));
  EXPECT_EQ(dialog.Get(), dlgread::FindDialog(caption, self));
  EXPECT_TRUE(dlgread::HasLists(dialog.Get()));
  EXPECT_FALSE(dlgread::HasLists(box.Get()));

  EXPECT_EQ(nullptr, dlgread::FindProgramDialog(L"TOOLS READER: FIND", self));
  EXPECT_EQ(nullptr, dlgread::FindProgramDialog(caption + L" ", self));
  EXPECT_EQ(nullptr, dlgread::FindProgramDialog(caption, self + 4));
  EXPECT_EQ(nullptr, dlgread::FindDialog(L"tools reader: nothing", dlgread::kAnyProcess));
}

TEST_F(ReaderTest, ListControlMustBeAListView) {
  Window dialog(MakeDialogWindow(L"tools reader: not a list", true));
  ASSERT_NE(nullptr, ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, dialog.Get(),
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(dlgread::kSystemList)), nullptr,
                                       nullptr));
  EXPECT_EQ(nullptr, dlgread::ListControl(dialog.Get(), dlgread::kSystemList));
  EXPECT_FALSE(dlgread::HasLists(dialog.Get()));
}

struct BoxCase {
  const wchar_t* caption;
  const wchar_t* text;
  UINT style;
  bool icon;
};

struct BoxThreadData {
  BoxCase box;
  int result;
};

DWORD WINAPI ShowBox(LPVOID parameter) {
  auto* data = static_cast<BoxThreadData*>(parameter);
  data->result = ::MessageBoxW(nullptr, data->box.text, data->box.caption, data->box.style);
  return 0;
}

class BoxAnswererTest : public ::testing::TestWithParam<BoxCase> {};

// A real message box of this process on another thread: read, pressed, reported once.
TEST_P(BoxAnswererTest, ReadsAndAnswersRealMessageBox) {
  BoxThreadData data{GetParam(), 0};
  HANDLE thread = ::CreateThread(nullptr, 0, ShowBox, &data, 0, nullptr);
  ASSERT_NE(nullptr, thread) << ::GetLastError();
  dlgread::BoxAnswerer answerer(::GetCurrentProcessId());
  std::vector<dlgread::Box> boxes;
  const ULONGLONG end = dlgread::NowMs() + 10000;
  while (boxes.empty() && dlgread::NowMs() < end) {
    boxes = answerer.Poll();
    ::Sleep(2);
  }
  const DWORD waited = ::WaitForSingleObject(thread, 5000);
  ::CloseHandle(thread);
  ASSERT_EQ(WAIT_OBJECT_0, waited);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(GetParam().caption, boxes[0].caption);
  EXPECT_EQ(GetParam().text, boxes[0].text);
  EXPECT_EQ(GetParam().icon, boxes[0].icon);
  EXPECT_EQ(IDOK, data.result);
  EXPECT_TRUE(answerer.Poll().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, BoxAnswererTest,
    ::testing::Values(BoxCase{L"", L"WMI Open Error(IWbemServices.ExecQuery)\nSelect * From X", MB_OK, false},
                      BoxCase{L"KCC test title", L"WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From Y",
                              MB_ICONERROR, true},
                      BoxCase{L"Cancel too", L"one line", MB_OKCANCEL | MB_ICONWARNING, true}));

TEST(Utf8, ConvertsFromUtf16) {
  EXPECT_EQ("", NarrowUtf8(L""));
  EXPECT_EQ("abc", NarrowUtf8(L"abc"));
  EXPECT_EQ("\xe6\x97\xa5\xe6\x9c\xac", NarrowUtf8(L"\u65e5\u672c"));
  EXPECT_EQ("\xf0\x9f\x98\x80", NarrowUtf8(L"\U0001F600"));
  // An unpaired surrogate cannot be UTF-8: it becomes the replacement character.
  EXPECT_EQ("a\xef\xbf\xbd" "b", NarrowUtf8(std::wstring(L"a\xd800" L"b")));
}

TEST(WindowsPath, MapsUnixPathsThroughWine) {
  EXPECT_EQ(L"C:\\windows\\notepad.exe", dlgread::WindowsPath(L"C:\\windows\\notepad.exe"));
  EXPECT_EQ(L"relative\\file", dlgread::WindowsPath(L"relative\\file"));
  EXPECT_EQ(L"", dlgread::WindowsPath(L""));
  // Under wine, / is drive Z: in every prefix.
  const std::wstring mapped = dlgread::WindowsPath(L"/tmp/kcc file.txt");
  EXPECT_EQ(L"\\tmp\\kcc file.txt", mapped.substr(2));
  EXPECT_EQ(L':', mapped[1]);
}

class CommandLineRoundTrip : public ::testing::TestWithParam<std::vector<std::wstring>> {};

// What the benchmark builds, CommandLineToArgvW must split back into the same arguments.
TEST_P(CommandLineRoundTrip, SplitsBackIntoTheArguments) {
  const std::vector<std::wstring>& arguments = GetParam();
  const std::wstring line = bench::JoinCommandLine(arguments);
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &argc);
  ASSERT_NE(nullptr, argv) << ::GetLastError();
  std::vector<std::wstring> split(argv, argv + argc);
  ::LocalFree(argv);
  EXPECT_EQ(arguments, split) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineRoundTrip,
    ::testing::Values(std::vector<std::wstring>{L"prog.exe"}, std::vector<std::wstring>{L"Z:\\a b\\prog.exe", L"/halt"},
                      std::vector<std::wstring>{L"prog.exe", L"", L"x"},
                      std::vector<std::wstring>{L"prog.exe", L"say \"hi\""},
                      std::vector<std::wstring>{L"prog.exe", L"C:\\dir with space\\"},
                      std::vector<std::wstring>{L"prog.exe", L"a\\\\\"b", L"c\\\\d e"},
                      std::vector<std::wstring>{L"prog.exe", L"--caption", L"KCC System Information"}));

} // namespace
