// KCCCapture: writes what KCCSystemInfo reads on this machine into a folder that tools/replay replays, or prints
// the rows it shows for a script.
//   KCCCapture.exe [FOLDER] [/redact]     (no folder: a new one on the user's desktop)
//   KCCCapture.exe /summary [/json] [/redact]
#include "dialog/kcc_system_info_dlg.h"
#include "framework/com.h"
#include "framework/handles.h"
#include "framework/module.h"
#include "res/resource.h"
#include "res/version.h"
#include "smbios/dmi_device.h"
#include "sources/firmware_table.h"
#include "sources/machine_info.h"
#include "sources/machine_paths.h"
#include "sources/wow64.h"
#include "sources/oem_info.h"
#include "capture/capture_format.h"
#include "capture/summary_lines.h"
#include "wmi/wmi_data.h"
#include "wmi/wmi_queries.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wbemidl.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using capture::Bytes;

// Exit statuses: what could be captured is written in every case but a refused folder.
// A command line it does not understand is refused as a folder it may not use is.
enum ExitStatus { kCaptured = 0, kFolderTrouble = 2, kUsage = 2, kDriverTrouble = 3, kWmiTrouble = 4 };

// The two places the collector looks for the product id, in its order.
const wchar_t kWindowsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kWindowsNtKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

// Text for the user or a script: wide text to a console, right whatever its code page; UTF-8 to a file or a pipe.
void Put(DWORD stream, const std::wstring& text) {
  const HANDLE handle = ::GetStdHandle(stream);
  DWORD mode = 0;
  DWORD written = 0;
  // Nowhere left to report a failed report.
  if (::GetConsoleMode(handle, &mode)) {
    (void)::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = NarrowUtf8(text);
    (void)::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

// A line for the user on standard error.
void Say(const std::wstring& line) { Put(STD_ERROR_HANDLE, line + L"\n"); }

void Complain(const std::wstring& message) { Say(L"KCCCapture: " + message); }

std::wstring Hex(const Bytes& bytes) {
  std::wstring text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    wchar_t byte[4];
    (void)std::swprintf(byte, 4, L"%02X", bytes[i]);
    if (i > 0) text += L' ';
    text += byte;
  }
  return text;
}

std::wstring Number(unsigned long long value) { return std::to_wstring(value); }

// Windows' own words for an error code, without the line break FormatMessage ends them with.
std::wstring ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  LocalMemory owned;
  owned.Reset(buffer);
  std::wstring text(buffer ? buffer : L"", length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  return (text.empty() ? L"error" : text) + L" (" + Number(error) + L")";
}

// The names in a folder but "." and "..", matching `pattern` (FOLDER\\*); the error when it cannot be read.
DWORD ListNames(const std::wstring& pattern, std::vector<std::wstring>& names) {
  WIN32_FIND_DATAW found;
  UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
  if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : ::GetLastError();
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find.Get(), &found));
  return ::GetLastError() == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : ::GetLastError();
}

// A file's bytes; none when it cannot be read.
std::optional<Bytes> ReadWholeFile(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x1000000) return std::nullopt;
  Bytes bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size()))
    return std::nullopt;
  return bytes;
}

std::string FileHead(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  char head[32];
  DWORD read = 0;
  if (!file || !::ReadFile(file.Get(), head, sizeof(head), &read, nullptr)) return std::string();
  return std::string(head, read);
}

// A folder held open while files in it are removed or moved: without FILE_SHARE_DELETE nobody can rename it or
// put a link in its place meanwhile. A link (junction, symbolic link) is never entered, unless the user named it
// (`followLink`). False for anything but a folder.
class HeldFolder {
public:
  bool Hold(const std::wstring& path, bool followLink = false) {
    m_handle.Reset();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
      return false;
    const DWORD link = followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    m_handle.Reset(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | link, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!m_handle || !::GetFileInformationByHandle(m_handle.Get(), &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (!followLink && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)))
      m_handle.Reset();
    return static_cast<bool>(m_handle);
  }
  bool Held() const { return static_cast<bool>(m_handle); }
  void Release() { m_handle.Reset(); }

private:
  UniqueFileHandle m_handle;
};

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes the files a capture writes from `folder`, then the folder if nothing else is left in it; a link in its
// place is removed itself, never entered.
void RemoveCapture(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    (void)((attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(folder.c_str()) : ::DeleteFileW(folder.c_str()));
    return;
  }
  HeldFolder held;
  if (!held.Hold(folder)) return;
  for (const wchar_t* name : capture::kCaptureFiles) (void)::DeleteFileW((folder + L"\\" + name).c_str());
  held.Release();
  (void)::RemoveDirectoryW(folder.c_str());
}

// Moves the capture's files from one folder (held by the caller) to another, capture.txt last (its arrival
// completes a capture): up to the first that does not move, or with `all` every one that does; false when one
// did not.
bool MoveCaptureFiles(const std::wstring& from, const std::wstring& to, bool all = false) {
  bool moved = true;
  const size_t count = sizeof(capture::kCaptureFiles) / sizeof(capture::kCaptureFiles[0]);
  for (size_t i = 0; i <= count && (moved || all); ++i) {
    const wchar_t* const name = i < count ? capture::kCaptureFiles[i] : L"capture.txt";
    if ((i < count && ::lstrcmpiW(name, L"capture.txt") == 0) || !Exists(from + L"\\" + name)) continue;
    if (!::MoveFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str())) moved = false;
  }
  return moved;
}

// Puts an earlier capture set aside back into `target`: the folder itself where nothing took its place, else
// its files. What cannot go back stays where it is rather than be lost.
void PutEarlierBack(const std::wstring& earlier, const std::wstring& target) {
  const DWORD attributes = ::GetFileAttributesW(earlier.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return;
  if (!Exists(target) && ::MoveFileW(earlier.c_str(), target.c_str())) return;
  HeldFolder held;
  const bool back = held.Hold(earlier) && MoveCaptureFiles(earlier, target, true);
  held.Release();
  if (back) (void)::RemoveDirectoryW(earlier.c_str());
}

// Whether the capture of process `pid` is still at work: access denied (another user's) counts as running.
bool CaptureProcessRunning(DWORD pid) {
  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  const DWORD error = process ? ERROR_SUCCESS : ::GetLastError();
  return capture::CaptureRunning(static_cast<bool>(process),
                                 process && ::WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT, error);
}

// The folder a capture is written to: a new one beside the folder named for it, whose files move into that one
// once the capture is complete, so that an earlier capture there stays whole until then. The named folder itself
// is never renamed: it may be a process's current directory (`KCCCapture .`, a command prompt standing in it),
// which Windows does not rename. Each kind of failure is said once.
class Folder {
public:
  explicit Folder(std::wstring target) : m_target(std::move(target)) {}

  // Takes a new folder, an empty one or an earlier capture, and makes the one beside it; refuses anything else.
  bool Prepare() {
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(m_target.c_str(), MAX_PATH, full, nullptr);
    if (length > 0 && length < MAX_PATH) m_target.assign(full, length);
    while (m_target.size() > 3 && (m_target.back() == L'\\' || m_target.back() == L'/')) m_target.pop_back();
    const size_t slash = m_target.find_last_of(L"\\/");
    const std::wstring leaf = slash == std::wstring::npos ? std::wstring() : m_target.substr(slash + 1);
    if (leaf.empty() || leaf.back() == L':') {
      Complain(m_target + L" is a whole drive: name a new or empty folder for the capture");
      return false;
    }
    m_parent = m_target.substr(0, slash);
    // Held from here on: nobody can put another folder or a link in its place while files move in and out.
    (void)m_held.Hold(m_target, true);
    CleanLeftovers(leaf);
    if (!m_held.Held()) (void)m_held.Hold(m_target, true);

    const DWORD attributes = ::GetFileAttributesW(m_target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      Complain(m_target + L" is a file, not a folder: name a new or empty folder for the capture");
      return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      std::vector<std::wstring> names;
      if (const DWORD error = ListNames(m_target + L"\\*", names)) {
        Complain(L"cannot read the folder " + m_target + L": " + ErrorText(error));
        return false;
      }
      m_contents = capture::ClassifyFolder(names, capture::NotesAreOurs(FileHead(m_target + L"\\capture.txt")));
      if (m_contents == capture::FolderContents::kOther) {
        Complain(m_target + L" holds files that are not an earlier capture, and a capture leaves them alone: "
                            L"name a new or empty folder for it");
        return false;
      }
      m_exists = true;
    }
    const DWORD pid = ::GetCurrentProcessId();
    m_path = m_parent + L"\\" + capture::WorkFolderName(leaf, pid, capture::WorkFolder::kWriting);
    m_moving = m_parent + L"\\" + capture::WorkFolderName(leaf, pid, capture::WorkFolder::kMovingIn);
    m_aside = m_parent + L"\\" + capture::WorkFolderName(leaf, pid, capture::WorkFolder::kEarlier);
    if (!::CreateDirectoryW(m_path.c_str(), nullptr)) {
      Complain(L"cannot create the folder " + m_path + L" for the capture: " + ErrorText(::GetLastError()));
      return false;
    }
    return true;
  }

  // Puts the capture in place. A new folder: the capture's folder is renamed to it. An existing one: its
  // earlier capture's files are set aside, the capture's folder is renamed to say it is complete, its files
  // move in (capture.txt last), and the earlier files are removed; where a step fails, what moved goes back.
  // An incomplete capture does not replace an earlier one.
  bool Commit() {
    if (m_failed && m_contents == capture::FolderContents::kEarlierCapture) {
      RemoveCapture(m_path);
      Complain(L"this capture is incomplete: the earlier one in " + m_target + L" is kept as it was");
      return false;
    }
    if (!m_exists) {
      if (::MoveFileW(m_path.c_str(), m_target.c_str())) return true;
      const DWORD error = ::GetLastError();
      RemoveCapture(m_path);
      Complain(L"cannot put the capture in " + m_target + L": " + ErrorText(error));
      return false;
    }
    if (m_contents == capture::FolderContents::kEarlierCapture &&
        (!m_held.Held() || !::CreateDirectoryW(m_aside.c_str(), nullptr) || !MoveCaptureFiles(m_target, m_aside) ||
         !::MoveFileW(m_path.c_str(), m_moving.c_str()))) {
      const DWORD error = ::GetLastError();
      PutEarlierBack(m_aside, m_target);
      RemoveCapture(m_path);
      Complain(L"cannot replace " + m_target + L", which stays as it was: " + ErrorText(error));
      return false;
    }
    if (m_contents == capture::FolderContents::kEmpty && !::MoveFileW(m_path.c_str(), m_moving.c_str())) {
      const DWORD error = ::GetLastError();
      RemoveCapture(m_path);
      Complain(L"cannot put the capture in " + m_target + L": " + ErrorText(error));
      return false;
    }
    HeldFolder moving;
    if (!moving.Hold(m_moving) || !MoveCaptureFiles(m_moving, m_target)) {
      const DWORD error = ::GetLastError();
      moving.Release();
      UndoMoveIn(m_target, m_aside);
      RemoveCapture(m_moving);
      Complain(L"cannot put the capture in " + m_target + L", which stays as it was: " + ErrorText(error));
      return false;
    }
    moving.Release();
    RemoveCapture(m_moving);
    RemoveCapture(m_aside);
    return true;
  }

  std::wstring PathOf(const wchar_t* name) const { return m_path + L"\\" + name; }

  bool Write(const wchar_t* name, const void* data, size_t size) {
    UniqueFileHandle file(::CreateFileW(PathOf(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool ok = file && ::WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) &&
                    written == size;
    if (!ok) Fail(L"cannot write " + PathOf(name));
    return ok;
  }
  bool WriteUtf8(const wchar_t* name, const std::wstring& text, bool bom) {
    const std::string bytes = (bom ? "\xEF\xBB\xBF" : "") + NarrowUtf8(text);
    return Write(name, bytes.data(), bytes.size());
  }
  bool Copy(const std::wstring& from, const wchar_t* name) {
    const bool ok = ::CopyFileW(from.c_str(), PathOf(name).c_str(), FALSE) != FALSE;
    if (!ok) Fail(L"cannot copy " + from);
    return ok;
  }
  // Records that a file could not be read for the capture; the error is said once, as for a write.
  void FailRead(const std::wstring& what) { Fail(L"cannot read " + what); }
  bool Failed() const { return m_failed; }
  const std::wstring& Target() const { return m_target; }

private:
  // The new files moved into the target (held) go, and the earlier ones set aside come back.
  void UndoMoveIn(const std::wstring& target, const std::wstring& earlier) {
    if (m_held.Held())
      for (const wchar_t* name : capture::kCaptureFiles) (void)::DeleteFileW((target + L"\\" + name).c_str());
    PutEarlierBack(earlier, target);
  }

  // What captures into the same folder left beside it when they were killed, by their process: a capture that
  // is still running keeps its own; of one that ended, an earlier capture it had set aside goes back unless its
  // own capture was complete in its place, and everything else of it is removed. A link named like one of
  // these folders is removed itself, never entered.
  void CleanLeftovers(const std::wstring& leaf) {
    struct Found {
      capture::Leftovers leftovers;
      std::vector<std::wstring> paths;
    };
    std::map<uint32_t, Found> byProcess;
    std::vector<std::wstring> names;
    (void)ListNames(m_parent + L"\\" + leaf + L".*", names);
    for (const std::wstring& name : names) {
      uint32_t pid = 0;
      capture::WorkFolder kind = capture::WorkFolder::kWriting;
      if (!capture::ParseWorkFolderName(name, leaf, pid, kind)) continue;
      const std::wstring path = m_parent + L"\\" + name;
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveCapture(path); // the link itself goes: its target is never entered
        continue;
      }
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      Found& found = byProcess[pid];
      found.paths.push_back(path);
      if (kind == capture::WorkFolder::kWriting) found.leftovers.writing = true;
      if (kind == capture::WorkFolder::kEarlier) found.leftovers.earlier = true;
      if (kind == capture::WorkFolder::kMovingIn) {
        found.leftovers.movingIn = true;
        found.leftovers.movingInHasNotes = Exists(path + L"\\capture.txt");
      }
    }
    for (const auto& [pid, found] : byProcess) {
      // Process ids come again: a folder of this process's id is from one that ended.
      const bool running = pid != ::GetCurrentProcessId() && CaptureProcessRunning(pid);
      const std::wstring earlier = m_parent + L"\\" + capture::WorkFolderName(leaf, pid, capture::WorkFolder::kEarlier);
      const capture::LeftoverPlan plan = capture::PlanLeftovers(running, found.leftovers, Exists(m_target));
      if (plan == capture::LeftoverPlan::kLeave) continue;
      if (plan == capture::LeftoverPlan::kUndoMoveIn) UndoMoveIn(m_target, earlier);
      if (plan == capture::LeftoverPlan::kPutEarlierBack) PutEarlierBack(earlier, m_target);
      // An earlier capture that did not all go back stays beside the folder.
      for (const std::wstring& path : found.paths)
        if (plan == capture::LeftoverPlan::kRemove || path != earlier) RemoveCapture(path);
    }
  }

  // The first failure of each error says which file and why; the same error again is not repeated.
  void Fail(const std::wstring& what) {
    const DWORD error = ::GetLastError();
    m_failed = true;
    for (DWORD seen : m_errors)
      if (seen == error) return;
    m_errors.push_back(error);
    Complain(what + L": " + ErrorText(error));
  }

  std::wstring m_target; // the folder named for the capture
  std::wstring m_parent;
  std::wstring m_path;   // the new folder beside it, written to
  std::wstring m_moving; // the same, complete, while its files move into the target
  std::wstring m_aside;  // where an earlier capture's files wait meanwhile
  HeldFolder m_held;     // the target, where it exists
  bool m_exists = false;
  capture::FolderContents m_contents = capture::FolderContents::kEmpty;
  bool m_failed = false;
  std::vector<DWORD> m_errors;
};

// A new folder on the user's desktop named with the local date and time; empty when there is no desktop.
std::wstring DesktopFolder() {
  wchar_t desktop[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)))
    return std::wstring();
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  const std::wstring base = std::wstring(desktop) + L"\\" +
                            capture::DatedFolderName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                                     now.wSecond);
  std::wstring path = base;
  // Two captures in one second.
  for (unsigned n = 2; ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && n < 100; ++n)
    path = base + L" (" + Number(n) + L")";
  return path;
}

// Whether the console closes with this process (started from Explorer, not from cmd) with its messages
// on it, and a key is there to read.
bool ConsoleClosesWithUs() {
  DWORD processes[2];
  DWORD mode = 0;
  return ::GetConsoleProcessList(processes, 2) == 1 && ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) &&
         ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode);
}

void WaitForKey() {
  Say(L"Press any key to close this window.");
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  (void)::FlushConsoleInputBuffer(input);
  for (;;) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!::ReadConsoleInputW(input, &record, 1, &read) || read == 0) return;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

// Every call the program's walk makes, kept for rebuilding the table.
class WalkRecorder : public IDmiCallObserver {
public:
  void OnCall(const void* input, uint32_t inputSize, const void* output, uint32_t outputSize,
              bool succeeded) override {
    m_record.Add(static_cast<const uint8_t*>(input), inputSize, static_cast<const uint8_t*>(output), outputSize,
                 succeeded);
  }
  const capture::WalkRecord& Record() const { return m_record; }

private:
  capture::WalkRecord m_record;
};

// The message boxes the gathering would have shown, in order, as the replay prints them.
void KeepMessage(void* context, const std::wstring& caption, const std::wstring& text) {
  static_cast<std::wstring*>(context)->append(summary::BoxLine(caption, text) + L"\n");
}

std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, length < MAX_PATH ? length : 0);
  const size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : file.substr(0, slash);
}

// The same boxes as caption and text, for the summary.
using Boxes = std::vector<std::pair<std::wstring, std::wstring>>;
void KeepBox(void* context, const std::wstring& caption, const std::wstring& text) {
  static_cast<Boxes*>(context)->emplace_back(caption, text);
}

// The labels come from the program's own satellite beside this tool.
void LoadLabels(const wchar_t* without) {
  if (HMODULE satellite = LoadUserSatellite(ExeDirectory().c_str(), L"KCCSystemInfo"))
    AfxSetResourceHandle(satellite);
  else
    Complain(std::wstring(L"no KCCSystemInfoENU.dll beside KCCCapture.exe: ") + without);
}

// The summary as one JSON object under fixed keys, and the boxes the dialog would have shown. Every character
// outside ASCII is escaped: the bytes read the same in any code page a script decodes them in.
std::wstring SummaryJson(const SystemSummary& gathered, const Boxes& boxes) {
  // Without WMI the dialog's lists stay empty: so do these.
  const SystemSummary none;
  const SystemSummary& shown = gathered.connected ? gathered : none;
  const std::pair<const wchar_t*, const std::wstring*> fields[] = {
      {L"processor", &shown.processor},         {L"processorSpeed", &shown.speed},
      {L"memory", &shown.memory},               {L"cache", &shown.cache},
      {L"manufacturer", &shown.manufacturer},   {L"model", &shown.model},
      {L"systemVersion", &shown.systemVersion}, {L"serialNumber", &shown.serialNumber},
      {L"biosVersion", &shown.biosVersion},     {L"operatingSystem", &shown.operatingSystem}};
  std::wstring json = L"{\r\n";
  for (const auto& field : fields)
    json += L"  \"" + std::wstring(field.first) + L"\": " + capture::JsonString(*field.second) + L",\r\n";
  json += L"  \"oem\": [";
  for (size_t k = 0; gathered.connected && gathered.hasOem && k < gathered.oem.size(); ++k)
    json += (k ? L", " : L"") + capture::JsonString(gathered.oem[k]);
  json += L"],\r\n  \"messages\": [";
  for (size_t k = 0; k < boxes.size(); ++k)
    json += std::wstring(k ? L", " : L"") + L"{\"caption\": " + capture::JsonString(boxes[k].first) +
            L", \"text\": " + capture::JsonString(boxes[k].second) + L"}";
  return json + L"]\r\n}\r\n";
}

// Gathers as the dialog does and prints its rows to standard output, label and value separated by a tab as on
// the clipboard, or as JSON; the boxes the dialog would have shown go to standard error (in the JSON too).
int Summarize(bool json, bool redact) {
  LoadLabels(L"the rows have no labels");
  Boxes boxes;
  SystemSummary summary;
  CKCCSystemInfoDlg dialog(nullptr);
  GatherHooks hooks;
  hooks.messages = &KeepBox;
  hooks.messagesContext = &boxes;
  dialog.GatherSummary(summary, hooks);
  if (redact) summary.serialNumber = capture::Placeholder(summary.serialNumber);
  if (json) {
    Put(STD_OUTPUT_HANDLE, SummaryJson(summary, boxes));
  } else {
    std::wstring rows;
    for (const SummaryRow& row : CKCCSystemInfoDlg::SummaryRows(summary)) rows += row.label + L"\t" + row.value + L"\r\n";
    Put(STD_OUTPUT_HANDLE, rows);
  }
  for (const auto& box : boxes) Complain(box.first.empty() ? box.second : box.first + L": " + box.second);
  if (!summary.connected) {
    Complain(L"WMI did not connect: no rows, as the program's lists show none");
    return kWmiTrouble;
  }
  return kCaptured;
}

// ---- WMI, as the queries answer, for the fixture provider ----

std::wstring ValueText(const wchar_t* name, const WmiValue& value) {
  const std::wstring key = std::wstring(name) + L"=";
  switch (value.type) {
  case VT_NULL:
  case VT_EMPTY:
    return key + L"VT_NULL";
  case VT_BSTR:
    // Quoted, so that spaces at either end stay; the provider takes what stands between the outer quotes.
    return key + L"VT_BSTR:\"" + value.text + L"\"";
  case VT_I2:
    return key + L"VT_I2:" + std::to_wstring(value.number);
  case VT_I4:
    return key + L"VT_I4:" + std::to_wstring(value.number);
  case VT_I8:
    return key + L"VT_I8:" + std::to_wstring(value.number);
  case VT_BOOL:
    return key + (value.number ? L"VT_BOOL:true" : L"VT_BOOL:false");
  default:
    return L"; " + key + L"VARIANT type " + std::to_wstring(value.type) + L", which a replay cannot serve";
  }
}

struct WmiCapture {
  std::wstring ini;      // the fixture file's text
  std::wstring failures; // its [fail] lines
  std::wstring hangs;    // its [hang] lines: where WMI stopped answering
  bool connected = false;
};

// Every instance of the query as the program reads it. Where WMI stops answering, the fixture is told to stop
// there too, after the instances it did give.
void CaptureQuery(CWmiData& wmi, const WmiQuery& query, bool redact, WmiCapture& out) {
  const std::wstring className(query.className);
  if (wmi.OpenQuery(QueryText(query)) != 1) {
    if (wmi.RanOut()) out.hangs += L"ExecQuery=" + className + L"\r\n";
    else out.failures += L"ExecQuery=" + className + L"\r\n";
    return;
  }
  // Bounded: a provider that never ends its enumeration does not hold the capture forever.
  for (unsigned instance = 0; instance < 4096 && wmi.NextInstance() == 1; ++instance) {
    out.ini += L"[" + className + L"#" + Number(instance) + L"]\r\n";
    std::vector<const wchar_t*> names(std::begin(query.properties), std::end(query.properties));
    names.push_back(query.whereProperty);
    for (const wchar_t* name : names) {
      WmiValue value;
      if (!name || wmi.GetValue(name, value) != 1) continue; // absent: Get fails again
      if (redact && &query == &kBiosQuery && name == kBiosQuery.properties[0] && value.type == VT_BSTR) {
        out.ini += std::wstring(name) + L"=VT_BSTR:\"" + capture::Placeholder(value.text) + L"\"\r\n";
        continue;
      }
      out.ini += ValueText(name, value) + L"\r\n";
    }
  }
  if (wmi.RanOut()) out.hangs += L"Next=" + className + L"\r\n";
  wmi.CloseQuery();
}

// Connects as the program does; a failed connection is recorded by the step that failed. A budget of its own:
// where the gathering before found WMI not answering, this finds where it stops, as a replay must.
WmiCapture CaptureWmi(bool redact) {
  WmiCapture out;
  CWmiData wmi;
  if (wmi.Connect() == 1) {
    out.connected = true;
    for (const WmiQuery* query : kSummaryQueries) CaptureQuery(wmi, *query, redact, out);
  } else if (wmi.LastConnect() == CWmiData::ConnectEnd::kRanOut) {
    out.hangs += L"ConnectServer=yes\r\n";
  } else {
    out.failures += wmi.LastConnect() == CWmiData::ConnectEnd::kNoBlanket ? L"ProxyBlanket=yes\r\n"
                                                                          : L"ConnectServer=yes\r\n";
  }
  wmi.Disconnect();
  if (!out.failures.empty()) out.ini += L"[fail]\r\n" + out.failures;
  if (!out.hangs.empty()) out.ini += L"[hang]\r\n" + out.hangs;
  return out;
}

// ---- the registry ----

struct RegistryCapture {
  bool redact = false; // the product ids' characters as asterisks
  std::wstring text;
  bool memoryMethodTwo = false;
};

// The key's values that exist in one registry view, each with its type and bytes; the key header alone when it
// opens without them. `path` is the key as the file names it.
void CaptureKey(const wchar_t* subKey, REGSAM view, const std::wstring& path,
                std::initializer_list<const wchar_t*> names, RegistryCapture& out) {
  RegistryKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | view, key.Receive()) != ERROR_SUCCESS) return;
  out.text += L"\r\n[HKEY_LOCAL_MACHINE\\" + path + L"]\r\n";
  for (const wchar_t* name : names) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) continue;
    Bytes data(size);
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    data.resize(size);
    if (out.redact && ::lstrcmpiW(name, L"ProductId") == 0) data = capture::RedactRegistryValue(type, data);
    out.text += capture::RegistryValueLine(name, type, data) + L"\r\n";
    // The program reads the first four bytes, whatever the type.
    if (subKey == kMemoryMethodKeyW && data.size() <= 4) {
      DWORD method = 0;
      for (size_t i = 0; i < data.size(); ++i) method |= static_cast<DWORD>(data[i]) << (8 * i);
      out.memoryMethodTwo = method == 2;
    }
  }
}

RegistryCapture CaptureRegistry(const OSVERSIONINFOW& version, bool redact) {
  RegistryCapture out;
  out.redact = redact;
  out.text = L"Windows Registry Editor Version 5.00\r\n";
  struct Key {
    const wchar_t* path;
    std::initializer_list<const wchar_t*> names;
  };
  const Key keys[] = {{kSharedServicesKeyW, {L"boardinfo"}},   {kSharedVxdsKeyW, {L"boardinfo.vxd"}},
                      {kMemoryMethodKeyW, {L"MemoryMethod"}},   {kWindowsKey, {L"ProductId"}},
                      {kWindowsNtKey, {L"ProductId"}},         {kOemInformationKey, {L"Manufacturer", L"Model"}}};
  // Both views on 64-bit Windows, named as 64-bit regedit exports them: the 64-bit view as it is, the 32-bit
  // view under WOW6432Node, so that a replay puts each value back in its view. 32-bit Windows has one view.
  const REGSAM other = OtherRegistryView();
  const bool ownIs32Bit = sizeof(void*) == 4;
  for (const Key& key : keys) {
    const std::wstring plain = key.path;
    const std::wstring wow = capture::Wow6432Path(plain);
    CaptureKey(key.path, 0, other && ownIs32Bit ? wow : plain, key.names, out);
    if (other) CaptureKey(key.path, other, ownIs32Bit ? plain : wow, key.names, out);
  }
  // What Windows knows of the processor: one key in both views, and the processor row where the table names none.
  CaptureKey(kCentralProcessorKeyW, 0, kCentralProcessorKeyW, {L"ProcessorNameString", L"~MHz"}, out);
  // Wine's setting for the Windows version the program saw, so that a replay reports the same one.
  const std::wstring wine = capture::WineVersionName(version.dwMajorVersion, version.dwMinorVersion);
  if (!wine.empty()) out.text += L"\r\n[HKEY_CURRENT_USER\\Software\\Wine]\r\n\"Version\"=\"" + wine + L"\"\r\n";
  out.text += L"\r\n";
  return out;
}

std::wstring WalkStatusText(int status) {
  switch (status) {
  case kWalkNoLocationKey:
  case kWalkNoLocationValue:
    return L"no driver location in the registry";
  case kWalkNoCurrentDirectory:
  case kWalkNoDriverDirectory:
    return L"the driver's folder could not be made current";
  case kWalkNoDevice:
    return L"the driver could not be opened";
  case kWalkInformationFailed:
  case kWalkInformationRefused:
    return L"the driver refused the information request";
  case kWalkNoMemory:
    return L"no memory for the structure buffer";
  case kWalkStructureFailed:
  case kWalkStructureRefused:
    return L"the driver failed a structure request";
  default:
    return L"the walk ran to its end";
  }
}

int Run(const std::wstring& folderPath, bool redact) {
  Folder folder(folderPath);
  if (!folder.Prepare()) return kFolderTrouble;
  int status = kCaptured;

  LoadLabels(L"summary.txt has no labels");

  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ::GetVersionExW(&version);

  // What the program shows, gathered the way it gathers it, with the driver's replies kept.
  WalkRecorder walk;
  std::wstring boxes;
  SystemSummary summary;
  CKCCSystemInfoDlg dialog(nullptr);
  GatherHooks hooks;
  hooks.walkCalls = &walk;
  hooks.messages = &KeepMessage;
  hooks.messagesContext = &boxes;
  dialog.GatherSummary(summary, hooks);
  if (redact) summary.serialNumber = capture::Placeholder(summary.serialNumber);

  // smbios.bin: the structures the walk got, in their order, whichever table served them.
  const capture::WalkRecord& record = walk.Record();
  const Bytes rsmb = ReadWindowsFirmwareTable();
  std::wstring tableSource;
  Bytes dump;
  if (!record.Structures().empty()) {
    const uint8_t major = record.Information()[1];
    // The information reply gives no minor version: the firmware table's, when it is the same table version.
    const uint8_t minor = rsmb.size() >= 8 && rsmb[1] == major ? rsmb[2] : 0;
    dump = capture::DumpOfStructures(record.Structures(), major, minor);
  }
  const std::wstring structures = Number(record.Structures().size()) + L" structures the walk got, in their order";
  switch (summary.tableSource) {
  case TableSource::kDriver:
    tableSource = L"the boardinfo driver: the " + structures;
    break;
  case TableSource::kFirmware:
    tableSource = L"Windows' firmware table (GetSystemFirmwareTable 'RSMB'), as no boardinfo driver could be opened: the " +
                  structures;
    break;
  case TableSource::kWmi:
    tableSource = L"WMI's raw SMBIOS table (root\\WMI MSSmBios_RawSMBiosTables), as no boardinfo driver could be "
                  L"opened and Windows gave no firmware table: the " + structures;
    break;
  case TableSource::kNone:
    tableSource = L"none: no boardinfo driver could be opened, and neither Windows' firmware table nor WMI gave one";
    break;
  }
  if (!dump.empty()) {
    if (redact) capture::RedactDump(dump);
    folder.Write(L"smbios.bin", dump.data(), dump.size());
  }
  // The replay serves the table through its driver either way; these say what the machine had instead.
  if (summary.tableSource == TableSource::kFirmware) folder.Write(L"firmware-table", "", 0);
  if (summary.tableSource == TableSource::kWmi) folder.Write(L"wmi-table", "", 0);
  // A driver that is registered but gave nothing must not be served by the replay either.
  if (summary.tableSource == TableSource::kNone && summary.walkStatus >= kWalkNoCurrentDirectory)
    folder.Write(L"no-driver-service", "", 0);
  if (summary.walkStatus != kWalkComplete) {
    const bool none = summary.tableSource == TableSource::kNone;
    Complain((none ? L"no table: " : L"the table walk: ") + WalkStatusText(summary.walkStatus) +
             (none ? L", and neither Windows' firmware table nor WMI gave one" : L"") + L" (status " + Number(summary.walkStatus) + L")");
    status = kDriverTrouble;
  }

  const WmiCapture wmi = CaptureWmi(redact);
  folder.WriteUtf8(L"wmi.ini", wmi.ini, true);
  if (!wmi.connected) {
    Complain(L"WMI did not connect: wmi.ini records the failure");
    if (status == kCaptured) status = kWmiTrouble;
  }

  const RegistryCapture registry = CaptureRegistry(version, redact);
  {
    std::wstring text = L"\xFEFF" + registry.text;
    folder.Write(L"registry.reg", text.data(), text.size() * sizeof(wchar_t));
  }

  // oeminfo.ini from where the program reads it: the native system32, also from a 32-bit process.
  wchar_t oemManufacturer[261], oemModel[261];
  OemInfoOrigin oem;
  ReadOemStrings(oemManufacturer, oemModel, 261, &oem);
  bool oemCopied = false;
  if (!oem.file.empty()) {
    std::optional<Wow64RedirectionOff> native;
    if (oem.access == OemFileAccess::kRedirectionOff) native.emplace();
    if (::GetFileAttributesW(oem.file.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (!redact) {
        oemCopied = folder.Copy(oem.file, L"oeminfo.ini");
      } else if (std::optional<Bytes> file = ReadWholeFile(oem.file)) {
        // Redacted, only what the program reads of it: support lines, asset numbers or a serial number that
        // an imaging tool wrote there stay behind.
        const Bytes kept = capture::RedactOemInfo(*file);
        oemCopied = folder.Write(L"oeminfo.ini", kept.data(), kept.size());
      } else {
        folder.FailRead(oem.file);
      }
    }
  }

  std::wstring rows = boxes;
  std::vector<int> counts(2, 0);
  for (const SummaryRow& row : CKCCSystemInfoDlg::SummaryRows(summary)) {
    int& count = counts[row.list == IDC_LIST_HARDWARE ? 0 : 1];
    rows += L"row\t" + summary::RowLine(row.list, static_cast<size_t>(count++), row.label, row.value) + L"\n";
  }
  folder.WriteUtf8(L"summary.txt", rows, false);

  OSVERSIONINFOW real = version;
  using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  // The version as Windows is, not as it tells a program without a compatibility manifest.
  if (const auto get = reinterpret_cast<RtlGetVersion>(
          reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"))))
    get(&real);
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  wchar_t date[64];
  (void)std::swprintf(date, 64, L"%04u-%02u-%02u %02u:%02u:%02u UTC", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  std::wstring notes = L"KCCCapture " KCC_VERSION_TEXT L"\r\n";
  notes += L"Date: " + std::wstring(date) + L"\r\n";
  notes += L"Windows: " + Number(real.dwMajorVersion) + L"." + Number(real.dwMinorVersion) + L"." +
           Number(real.dwBuildNumber) + L" " + real.szCSDVersion + L" (the program sees " +
           Number(version.dwMajorVersion) + L"." + Number(version.dwMinorVersion) + L"." +
           Number(version.dwBuildNumber) + L")\r\n";
  notes += L"Program version: " KCC_VERSION_TEXT L"\r\n";
  notes += L"Table walk: status " + Number(summary.walkStatus) + L", " + WalkStatusText(summary.walkStatus) + L"; " +
           Number(record.Calls()) + L" calls\r\n";
  notes += L"Table source: " + std::wstring(summary.tableSource == TableSource::kDriver     ? L"driver"
                                            : summary.tableSource == TableSource::kFirmware ? L"firmware table"
                                            : summary.tableSource == TableSource::kWmi      ? L"WMI table"
                                                                                            : L"none") +
           L"\r\n";
  if (record.HasInformation()) {
    const Bytes& info = record.Information();
    notes += L"Information reply: " + Hex(info) + L" (status " + Number(info[0]) + L", revision " +
             Number(info[1]) + L", " + Number(info[2] | (info[3] << 8)) + L" structures, largest " +
             Number(info[4] | (info[5] << 8)) + L" bytes, table size " + Number(info[10] | (info[11] << 8)) +
             L")\r\n";
  } else {
    notes += L"Information reply: none\r\n";
  }
  notes += L"smbios.bin: " + tableSource + L"\r\n";
  const auto origin = [](bool windows) {
    return windows ? L"Windows' registry (CentralProcessor\\0 in registry.reg)" : L"the table";
  };
  notes += L"Processor: the name from " + std::wstring(origin(summary.processorFromWindows)) + L", the speed from " +
           origin(summary.speedFromWindows) + L"\r\n";
  notes += L"WMI: " + std::wstring(wmi.connected ? L"connected" : L"did not connect") + L"\r\n";
  notes += L"OEM information: " +
           (oemCopied ? L"oeminfo.ini from " + oem.file : L"no oeminfo.ini at " + (oem.file.empty() ? L"(none)" : oem.file)) +
           (oem.fromRegistry ? L"; the rows from OEMInformation in the 64-bit registry view (registry.reg)" : L"") +
           L"\r\n";
  if (redact)
    notes += L"Redacted: every serial number and asset tag of the SMBIOS table (types 1, 2, 3, 4, 17, 22 and 39), "
             L"the system UUID, the battery's SBDS serial number, their copies (and the UUID as text) in OEM "
             L"strings, configuration options, inactive and vendor structures, WMI's SerialNumber, both ProductId "
             L"values, and every line of oeminfo.ini but [General] Manufacturer and Model\r\n";
  notes += L"Not reproduced by a replay:\r\n";
  const bool mediaCenter = version.dwMajorVersion == 5 && version.dwMinorVersion == 1 &&
                           ::GetSystemMetrics(SM_MEDIACENTER) != 0;
  if (mediaCenter)
    notes += L"  Media Center: the operating system row names XP Media Center Edition, which wine never reports.\r\n";
  if (registry.memoryMethodTwo) {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatusEx(&memory);
    notes += L"  MemoryMethod 2: the memory row shows the kernel's total physical memory, " +
             Number(memory.ullTotalPhys) + L" bytes here; a replay shows its own machine's.\r\n";
  } else if (!mediaCenter) {
    notes += L"  nothing that this machine's settings use.\r\n";
  }
  folder.WriteUtf8(L"capture.txt", notes, false);

  if (folder.Failed() && status == kCaptured) status = kFolderTrouble;
  if (!folder.Commit()) return kFolderTrouble;
  Complain(L"the capture is in " + folder.Target() + (folder.Failed() ? L", without the files above" : L""));
  return status;
}

} // namespace

int main() {
  int argc = 0;
  LocalMemory arguments;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  arguments.Reset(argv);
  std::vector<std::wstring> list;
  for (int i = 1; argv && i < argc; ++i) list.emplace_back(argv[i]);
  capture::Options options = capture::ParseOptions(list);
  options.usage = options.usage || !argv;
  // Checked first: the console of a start from Explorer goes with the process, and the messages with it.
  const bool waitForKey = ConsoleClosesWithUs();
  int status = kUsage;
  if (options.usage) {
    if (!options.refused.empty()) Complain(L"not understood: " + options.refused);
    Say(L"usage: KCCCapture.exe [FOLDER] [/redact]\n"
        L"       KCCCapture.exe /summary [/json] [/redact]\n"
        L"Writes what KCCSystemInfo reads on this machine into FOLDER, a new or empty folder or an earlier capture,\n"
        L"for support to replay; without FOLDER into a new folder on the desktop.\n"
        L"/redact replaces every serial number, asset tag and UUID of the firmware's table, WMI's serial number\n"
        L"and the Windows product id by placeholders of the same length, and keeps of oeminfo.ini only what the\n"
        L"program reads.\n"
        L"/summary prints the rows KCCSystemInfo shows, label<TAB>value a line, and writes no folder; /json prints\n"
        L"them as one JSON object. Options start with / or -, in any letter case; a folder whose name starts\n"
        L"with - is named .\\-folder.");
  } else if (options.summary) {
    const HRESULT ole = ::OleInitialize(nullptr);
    status = Summarize(options.json, options.redact);
    if (SUCCEEDED(ole)) ::OleUninitialize();
  } else if (options.folder.empty() && (options.folder = DesktopFolder()).empty()) {
    Complain(L"this user has no desktop folder: name a folder for the capture");
    status = kFolderTrouble;
  } else {
    // As the program starts OLE before it gathers anything.
    const HRESULT ole = ::OleInitialize(nullptr);
    status = Run(options.folder, options.redact);
    if (SUCCEEDED(ole)) ::OleUninitialize();
  }
  if (waitForKey) WaitForKey();
  return status;
}
