// The exe's and the satellites' resources as the loader sees them.
#include "res/resource.h"
#include "tests/support/win32_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace kcctest;

namespace {
class Module {
public:
  explicit Module(const std::wstring& path)
      : m_module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~Module() { if (m_module) ::FreeLibrary(m_module); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  HMODULE Get() const { return m_module; }

private:
  HMODULE m_module;
};

std::wstring String(HMODULE module, UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// Steps over a template's sz_Or_Ord field: 0xFFFF and an ordinal, or a string.
const WORD* SkipNameOrOrdinal(const WORD* p) {
  if (*p == 0xFFFF) return p + 2;
  while (*p++) {}
  return p;
}

// What a satellite's DIALOGEX template says: caption, font, and each control's id, class and rectangle.
struct Template {
  std::wstring caption;
  int points = 0;
  std::wstring face;
  std::vector<int> ids;
  std::vector<std::wstring> controls; // "id class x,y cx,cy"
};

Template ReadTemplate(HMODULE module, UINT id) {
  Template result;
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  if (!found) return result;
  const WORD* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, found)));
  if (words[0] != 1 || words[1] != 0xFFFF) return result;
  const DWORD style = words[6] | (static_cast<DWORD>(words[7]) << 16);
  const WORD count = words[8];
  // dlgVer, signature, helpID(2), exStyle(2), style(2), cDlgItems, x, y, cx, cy; then menu and class.
  const WORD* p = SkipNameOrOrdinal(SkipNameOrOrdinal(words + 13));
  result.caption = reinterpret_cast<const wchar_t*>(p);
  p = SkipNameOrOrdinal(p);
  if (style & DS_SETFONT) {
    result.points = p[0];
    result.face = reinterpret_cast<const wchar_t*>(p + 3); // after point size, weight, italic and charset
    p = SkipNameOrOrdinal(p + 3);
  }
  for (WORD item = 0; item < count; ++item) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR{3}); // DWORD-aligned
    // helpID(2), exStyle(2), style(2), x, y, cx, cy, id(2), then class and title.
    const short* rect = reinterpret_cast<const short*>(p + 6);
    const DWORD control = p[10] | (static_cast<DWORD>(p[11]) << 16);
    const WORD* name = p + 12;
    result.ids.push_back(static_cast<int>(control));
    const std::wstring kind = *name == 0xFFFF ? L"#" + std::to_wstring(name[1]) : reinterpret_cast<const wchar_t*>(name);
    result.controls.push_back(std::to_wstring(static_cast<int>(control)) + L" " + kind + L" " + std::to_wstring(rect[0]) +
                              L"," + std::to_wstring(rect[1]) + L" " + std::to_wstring(rect[2]) + L"," +
                              std::to_wstring(rect[3]));
    p = SkipNameOrOrdinal(SkipNameOrOrdinal(name));
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + *p); // creation data
  }
  return result;
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR parameter) {
  reinterpret_cast<std::set<ULONG_PTR>*>(parameter)->insert(IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0);
  return TRUE;
}

// Each satellite: its suffix, the point size of its dialogs (Chinese, Japanese and Korean need 9 for their
// characters), and its application title, which tells that the right texts went into the file.
struct Language {
  const wchar_t* suffix;
  int points;
  const wchar_t* title;
};
const Language kLanguages[] = {
    {L"ENU", 8, L"KCC System Information"},      {L"JPN", 9, L"KCC システム情報"},
    {L"DEU", 8, L"KCC-Systeminformationen"},     {L"FRA", 8, L"Informations système KCC"},
    {L"ESN", 8, L"Información del sistema KCC"}, {L"ITA", 8, L"Informazioni di sistema KCC"},
    {L"PTB", 8, L"Informações do Sistema KCC"},  {L"CHS", 9, L"KCC 系统信息"},
    {L"CHT", 9, L"KCC 系統資訊"},                {L"KOR", 9, L"KCC 시스템 정보"},
};

class Satellite : public testing::TestWithParam<Language> {
protected:
  static std::wstring Path(const wchar_t* suffix) { return BinDir() + L"\\KCCSystemInfo" + suffix + L".dll"; }
};

TEST_P(Satellite, HoldsBothTemplatesAndEveryString) {
  Module satellite(Path(GetParam().suffix));
  ASSERT_NE(nullptr, satellite.Get()) << ::GetLastError();
  for (UINT id : {IDD_ABOUTBOX, IDD_KCCSYSTEMINFO_DIALOG})
    EXPECT_NE(nullptr, ::FindResourceW(satellite.Get(), MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG))) << id;
  for (UINT id = 129; id <= IDS_COPY; ++id) {
    if (id == 135) continue;
    EXPECT_FALSE(String(satellite.Get(), id).empty()) << id;
  }
  EXPECT_FALSE(String(satellite.Get(), IDS_ABOUTBOX).empty());
  EXPECT_EQ(GetParam().title, String(satellite.Get(), IDS_APP_TITLE));
  EXPECT_TRUE(String(satellite.Get(), 135).empty());
}

TEST_P(Satellite, MainDialogCaptionIsTheApplicationTitle) {
  Module satellite(Path(GetParam().suffix));
  ASSERT_NE(nullptr, satellite.Get());
  EXPECT_EQ(String(satellite.Get(), IDS_APP_TITLE), ReadTemplate(satellite.Get(), IDD_KCCSYSTEMINFO_DIALOG).caption);
}

// The controls the code binds, where the English templates have them, in the shell's dialog font at the
// language's size.
TEST_P(Satellite, TemplatesHaveTheEnglishControlsAndTheLanguagesFont) {
  Module satellite(Path(GetParam().suffix));
  Module english(Path(L"ENU"));
  ASSERT_NE(nullptr, satellite.Get());
  ASSERT_NE(nullptr, english.Get());
  const std::vector<int> about{IDC_VERSION, -1 /* the copyright line */, IDOK};
  const std::vector<int> main{IDC_GROUP_HARDWARE, IDC_LIST_HARDWARE, IDC_GROUP_SYSTEM, IDC_LIST_SYSTEM, IDOK};
  EXPECT_EQ(about, ReadTemplate(satellite.Get(), IDD_ABOUTBOX).ids);
  EXPECT_EQ(main, ReadTemplate(satellite.Get(), IDD_KCCSYSTEMINFO_DIALOG).ids);
  for (UINT id : {IDD_ABOUTBOX, IDD_KCCSYSTEMINFO_DIALOG}) {
    const Template dialog = ReadTemplate(satellite.Get(), id);
    EXPECT_EQ(ReadTemplate(english.Get(), id).controls, dialog.controls) << id;
    EXPECT_EQ(GetParam().points, dialog.points) << id;
    EXPECT_EQ(L"MS Shell Dlg", dialog.face) << id;
  }
}

TEST_P(Satellite, HoldsNoCode) {
  Module satellite(Path(GetParam().suffix));
  std::set<ULONG_PTR> types;
  ::EnumResourceTypesW(satellite.Get(), &CollectType, reinterpret_cast<LONG_PTR>(&types));
  EXPECT_EQ((std::set<ULONG_PTR>{5, 6}), types) << "only dialogs and string tables";
}

INSTANTIATE_TEST_SUITE_P(Languages, Satellite, testing::ValuesIn(kLanguages),
                         [](const testing::TestParamInfo<Language>& info) {
                           std::string name;
                           for (const wchar_t* c = info.param.suffix; *c; ++c) name += static_cast<char>(*c);
                           return name;
                         });

TEST(ExeResources, OnlyIconVersionAndManifest) {
  Module exe(ProgramPath());
  ASSERT_NE(nullptr, exe.Get());
  std::set<ULONG_PTR> types;
  ::EnumResourceTypesW(exe.Get(), &CollectType, reinterpret_cast<LONG_PTR>(&types));
  // RT_ICON (3) comes with the icon group (14); 16 is the version, 24 the manifest.
  EXPECT_EQ((std::set<ULONG_PTR>{3, 14, 16, 24}), types);
  EXPECT_NE(nullptr, ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON)));
}

// 100% to 200% of the small (16) and large (32) icon: the window menu, the taskbar and the About box at
// every DPI pick an image drawn for their size. LookupIconIdFromDirectoryEx finds each size exactly.
TEST(ExeResources, IconGroupHasEverySizeUpTo200Percent) {
  Module exe(ProgramPath());
  HRSRC group = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(nullptr, group);
  auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(exe.Get(), group)));
  ASSERT_NE(nullptr, directory);
  const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
  EXPECT_EQ(7, count);
  for (int size : {16, 20, 24, 32, 40, 48, 64}) {
    const int id = ::LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_ICON));
    ASSERT_NE(nullptr, image) << size;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(exe.Get(), image)));
    EXPECT_EQ(size, header->biWidth);
    EXPECT_EQ(2 * size, header->biHeight); // image and mask
    EXPECT_EQ(32, header->biBitCount);
  }
}

TEST(ExeResources, ManifestNamesTheAssemblyAndCommonControls6) {
  Module exe(ProgramPath());
  HRSRC found = ::FindResourceW(exe.Get(), MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
  ASSERT_NE(nullptr, found);
  std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(exe.Get(), found))),
                       ::SizeofResource(exe.Get(), found));
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.KCCSystemInfo\""));
  EXPECT_NE(std::string::npos, manifest.find("version=\"1.0.0.0\" processorArchitecture=\"x86\""));
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
  EXPECT_NE(std::string::npos,
            manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"));
  EXPECT_NE(std::string::npos, manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                                             "PerMonitorV2, System</dpiAwareness>"));
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* key, DWORD* error) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\") + key;
  ::SetLastError(0);
  if (!::VerQueryValueW(block.data(), path.c_str(), &value, &length)) {
    *error = ::GetLastError();
    return L"<missing>";
  }
  return static_cast<const wchar_t*>(value);
}

TEST(ExeResources, VersionResource) {
  const std::wstring exe = ProgramPath();
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &handle);
  ASSERT_NE(0u, size);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(1, 2), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(11080, 0), fixed->dwFileVersionLS);
  EXPECT_EQ(MAKELONG(1, 2), fixed->dwProductVersionMS);
  EXPECT_EQ(MAKELONG(11080, 0), fixed->dwProductVersionLS);
  DWORD error = 0;
  EXPECT_EQ(L"2.1.00.11080", VersionString(block, L"000004B0\\FileVersion", &error));
  EXPECT_EQ(L"2.1.00.11080", VersionString(block, L"000004B0\\ProductVersion", &error));
  EXPECT_EQ(L"KCCSystemInfo", VersionString(block, L"000004B0\\FileDescription", &error));
  EXPECT_EQ(L"KCCSystemInfo", VersionString(block, L"000004B0\\InternalName", &error));
  EXPECT_EQ(L"KCCSystemInfo", VersionString(block, L"000004B0\\ProductName", &error));
  EXPECT_EQ(L"Varnel Corporation", VersionString(block, L"000004B0\\CompanyName", &error));
  // Where the About box looks, there is nothing.
  EXPECT_EQ(L"<missing>", VersionString(block, L"04090000\\ProductVersion", &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), error);
}
} // namespace
