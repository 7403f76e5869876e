// The capture's rules apart from Windows: the dump rebuilt from driver replies, redaction, .reg lines, its folders.
#include "capture/capture_format.h"

#include <stdio.h>
#include <string.h>

#include <set>
#include <string_view>

#include "smbios/dmi_table.h"
#include "smbios/boardinfo_protocol.h"
#include "smbios/smbios_fields.h"

namespace capture {
namespace {
uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

using namespace smbios;

// One string of a structure's string set, in place.
struct TableString {
  uint8_t* text;
  size_t length;
};

// The strings of the structure at `at` whose formatted area is `length` bytes and which ends at `end`: index 0
// is string 1.
std::vector<TableString> StringsOf(uint8_t* at, size_t length, const uint8_t* end) {
  std::vector<TableString> strings;
  for (uint8_t* text = at + length; text < end && *text != 0;) {
    uint8_t* stop = text;
    while (stop < end && *stop != 0) ++stop;
    strings.push_back({text, static_cast<size_t>(stop - text)});
    text = stop + 1;
  }
  return strings;
}

bool IsPadding(uint8_t c) { return c == ' ' || c == '\t'; }

// A string's text without the spaces and tabs firmware pads fields with.
std::string Trimmed(const TableString& string) {
  size_t from = 0, to = string.length;
  while (from < to && IsPadding(string.text[from])) ++from;
  while (to > from && IsPadding(string.text[to - 1])) --to;
  return std::string(reinterpret_cast<const char*>(string.text) + from, to - from);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Where `text` stands in `view` from `from` on, in any letter case.
size_t FindLetters(std::string_view view, const std::string& text, size_t from) {
  for (size_t at = from; at + text.size() <= view.size(); ++at)
    if (SameLetters(view.substr(at, text.size()), text)) return at;
  return std::string_view::npos;
}

void Blot(uint8_t* text, size_t length) { memset(text, '*', length); }

// A field that identifies one part of one machine.
enum class FieldKind { kString, kUuid, kWord };
struct IdentifierField {
  uint8_t type;
  size_t offset;
  FieldKind kind;
};
const IdentifierField kIdentifierFields[] = {
    {kSystemInformation, kSerialNumberString, FieldKind::kString},
    {kSystemInformation, kSystemUuid, FieldKind::kUuid},
    {kBaseboardInformation, kSerialNumberString, FieldKind::kString},
    {kBaseboardInformation, kAssetTagString, FieldKind::kString},
    {kSystemEnclosure, kSerialNumberString, FieldKind::kString},
    {kSystemEnclosure, kAssetTagString, FieldKind::kString},
    {kProcessorInformation, kProcessorSerialNumberString, FieldKind::kString},
    {kProcessorInformation, kProcessorAssetTagString, FieldKind::kString},
    {kMemoryDevice, kMemoryDeviceSerialNumberString, FieldKind::kString},
    {kMemoryDevice, kMemoryDeviceAssetTagString, FieldKind::kString},
    {kPortableBattery, kBatterySerialNumberString, FieldKind::kString},
    {kPortableBattery, kBatterySbdsSerialNumber, FieldKind::kWord},
    {kSystemPowerSupply, kPowerSupplySerialNumberString, FieldKind::kString},
    {kSystemPowerSupply, kPowerSupplyAssetTagString, FieldKind::kString},
};

// The strings the program's rows are read from.
struct ShownField {
  uint8_t type;
  size_t offset;
};
const ShownField kShownFields[] = {{kBiosInformation, kBiosVersionString},
                                   {kSystemInformation, kSystemManufacturerString},
                                   {kSystemInformation, kSystemProductString},
                                   {kSystemInformation, kSystemVersionString},
                                   {kProcessorInformation, kProcessorVersionString}};

// Strings that no field of the standard names, where firmware copies a service tag or a module's serial.
bool IsFreeText(uint8_t type) {
  return type == kOemStrings || type == kSystemConfigurationOptions || type == kInactive || type >= kFirstVendorType;
}

// Shorter identifiers are blanked elsewhere only where a whole string is one: inside longer texts they would
// match by chance.
const size_t kShortestCopy = 4;

struct Structure {
  uint8_t* at;
  uint8_t type;
  uint8_t length;
  std::vector<TableString> strings;
  std::vector<bool> identifier; // by string, as the strings
  std::vector<bool> shown;
};

// The string a string field names, as an index into `strings`; -1 for none or a field outside the length.
long NamedString(const Structure& structure, size_t offset) {
  if (offset >= structure.length) return -1;
  const unsigned number = structure.at[offset];
  return number >= 1 && number <= structure.strings.size() ? static_cast<long>(number) - 1 : -1;
}

// Zeroes `size` bytes of a field inside the length; whether any was not zero.
bool ZeroField(Structure& structure, size_t offset, size_t size) {
  if (offset + size > structure.length) return false;
  bool changed = false;
  for (size_t k = 0; k < size; ++k) {
    changed = changed || structure.at[offset + k] != 0;
    structure.at[offset + k] = 0;
  }
  return changed;
}

// Blanks each copy of the identifying texts in a free-text string, in any letter case; whether it changed.
bool BlankCopies(const TableString& string, const std::set<std::string>& identifying) {
  bool changed = false;
  const std::string trimmed = Trimmed(string);
  for (const std::string& text : identifying) {
    if (text.size() < kShortestCopy) {
      if (!SameLetters(trimmed, text)) continue;
      Blot(string.text, string.length);
      return true;
    }
    const char* const begin = reinterpret_cast<const char*>(string.text);
    const std::string_view view(begin, string.length);
    for (size_t at = FindLetters(view, text, 0); at != std::string_view::npos;
         at = FindLetters(view, text, at + text.size())) {
      Blot(string.text + at, text.size());
      changed = true;
    }
  }
  return changed;
}
} // namespace

void WalkRecord::Add(const uint8_t* input, size_t inputSize, const uint8_t* output, size_t outputSize,
                     bool succeeded) {
  ++m_calls;
  if (!succeeded || inputSize < 2 || outputSize < 1) return;
  const uint16_t function = Word(input);
  if (function == BOARDINFO_GET_INFO && outputSize >= sizeof(BoardInfoInfoReply)) {
    m_hasInformation = true;
    m_information.assign(output, output + sizeof(BoardInfoInfoReply));
    return;
  }
  if (function != BOARDINFO_GET_STRUCTURE || output[0] != BOARDINFO_STATUS_OK ||
      outputSize <= BOARDINFO_STRUCTURE_REPLY_HEADER)
    return;
  const uint8_t* structure = output + BOARDINFO_STRUCTURE_REPLY_HEADER;
  const size_t available = outputSize - BOARDINFO_STRUCTURE_REPLY_HEADER;
  size_t size = DmiStructureSize(structure, available);
  // A reply cut off inside its string set still counts: the walk parsed it. End it as a table needs.
  if (size == 0 && available >= 4 && structure[1] >= 4 && structure[1] <= available) {
    Bytes cut(structure, structure + available);
    cut.push_back(0);
    cut.push_back(0);
    m_structures.push_back(cut);
    return;
  }
  if (size != 0) m_structures.emplace_back(structure, structure + size);
}

Bytes DumpOfStructures(const std::vector<Bytes>& structures, uint8_t major, uint8_t minor) {
  Bytes dump(kDmiDumpTableOffset, 0);
  for (const Bytes& structure : structures) dump.insert(dump.end(), structure.begin(), structure.end());
  const size_t count = structures.size() > 0xFFFF ? 0xFFFF : structures.size();
  WriteDmiDumpHeader(major, minor, static_cast<uint32_t>(dump.size() - kDmiDumpTableOffset),
                     static_cast<uint16_t>(count), dump.data());
  return dump;
}

Bytes DumpOfRsmb(const uint8_t* blob, size_t size) {
  DmiImage image;
  if (!LocateRsmbTable(blob, size, &image)) return Bytes();
  const uint32_t count = CountDmiStructures(image.table, image.size);
  Bytes dump(kDmiDumpTableOffset, 0);
  dump.insert(dump.end(), image.table, image.table + image.size);
  WriteDmiDumpHeader(image.major, image.minor, static_cast<uint32_t>(image.size),
                     static_cast<uint16_t>(count > 0xFFFF ? 0xFFFF : count), dump.data());
  return dump;
}

std::vector<std::string> UuidTexts(const uint8_t* uuid) {
  // Each byte's place in the text: SMBIOS 2.6's order first, then the order before it.
  static const uint8_t kOrders[2][16] = {{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15},
                                         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
  std::vector<std::string> texts;
  for (const auto& order : kOrders) {
    std::string text;
    for (size_t i = 0; i < 16; ++i) {
      if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
      char byte[3];
      (void)snprintf(byte, sizeof(byte), "%02X", uuid[order[i]]);
      text += byte;
    }
    texts.push_back(text);
  }
  return texts;
}

unsigned RedactDump(Bytes& dump) {
  DmiImage image;
  if (!LocateDmiTable(dump.data(), dump.size(), &image)) return 0;
  uint8_t* const start = dump.data() + (image.table - dump.data());
  unsigned changed = 0;

  // The identifier fields: the numeric ones are zeroed here, the strings marked. Every structure the bytes
  // hold counts, also after the end-of-table structure: a driver may serve those too.
  std::vector<Structure> structures;
  std::set<std::string> identifying;
  for (size_t offset = 0; offset < image.size;) {
    const size_t size = DmiStructureSize(image.table + offset, image.size - offset);
    if (size == 0) break;
    uint8_t* at = start + offset;
    offset += size;
    Structure structure{at, at[0], at[1], StringsOf(at, at[1], at + size), {}, {}};
    structure.identifier.assign(structure.strings.size(), false);
    structure.shown.assign(structure.strings.size(), false);
    for (const IdentifierField& field : kIdentifierFields) {
      if (field.type != structure.type) continue;
      if (field.kind == FieldKind::kString) {
        const long named = NamedString(structure, field.offset);
        if (named >= 0) structure.identifier[static_cast<size_t>(named)] = true;
        continue;
      }
      // The UUID as text, before it is zeroed: unset (all zeroes) and unknown (all FFh) identify nothing.
      if (field.kind == FieldKind::kUuid && field.offset + kSystemUuidSize <= structure.length) {
        const uint8_t* uuid = at + field.offset;
        bool zeroes = true, ones = true;
        for (size_t k = 0; k < kSystemUuidSize; ++k) {
          zeroes = zeroes && uuid[k] == 0;
          ones = ones && uuid[k] == 0xFF;
        }
        if (!zeroes && !ones)
          for (const std::string& text : UuidTexts(uuid)) identifying.insert(text);
      }
      if (ZeroField(structure, field.offset, field.kind == FieldKind::kUuid ? kSystemUuidSize : 2)) ++changed;
    }
    for (const ShownField& field : kShownFields) {
      const long named = field.type == structure.type ? NamedString(structure, field.offset) : -1;
      if (named >= 0) structure.shown[static_cast<size_t>(named)] = true;
    }
    structures.push_back(std::move(structure));
  }

  // A text that a named string of the standard gives too is a name or a placeholder, not an identifier; so is
  // a row's string that an identifier field names as well.
  std::set<std::string> named;
  for (const Structure& structure : structures)
    for (size_t k = 0; k < structure.strings.size(); ++k)
      if ((!structure.identifier[k] || structure.shown[k]) && !IsFreeText(structure.type))
        named.insert(Trimmed(structure.strings[k]));
  for (const Structure& structure : structures)
    for (size_t k = 0; k < structure.strings.size(); ++k) {
      const std::string text = Trimmed(structure.strings[k]);
      if (structure.identifier[k] && !text.empty() && named.count(text) == 0) identifying.insert(text);
    }

  for (Structure& structure : structures)
    for (size_t k = 0; k < structure.strings.size(); ++k) {
      const TableString& string = structure.strings[k];
      if (structure.identifier[k] && !structure.shown[k]) {
        Blot(string.text, string.length);
        ++changed;
      } else if (IsFreeText(structure.type) && BlankCopies(string, identifying)) {
        ++changed;
      }
    }
  return changed;
}

std::wstring Placeholder(const std::wstring& text) { return std::wstring(text.size(), L'*'); }

Bytes RedactRegistryValue(uint32_t type, const Bytes& data) {
  const uint32_t kString = 1, kExpandString = 2, kMultiString = 7;
  const size_t unit = type == kString || type == kExpandString || type == kMultiString ? 2 : 1;
  Bytes redacted(data);
  for (size_t i = 0; i < redacted.size(); i += unit) {
    const bool nul = redacted[i] == 0 && (i + 1 >= redacted.size() || unit == 1 || redacted[i + 1] == 0);
    if (nul) continue;
    redacted[i] = '*';
    if (unit == 2 && i + 1 < redacted.size()) redacted[i + 1] = 0;
  }
  return redacted;
}

namespace {
bool SameName(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    const wchar_t x = a[i] >= L'A' && a[i] <= L'Z' ? static_cast<wchar_t>(a[i] - L'A' + L'a') : a[i];
    const wchar_t y = b[i] >= L'A' && b[i] <= L'Z' ? static_cast<wchar_t>(b[i] - L'A' + L'a') : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

const wchar_t kWorkFolderMark[] = L".kcccapture-";
} // namespace

FolderContents ClassifyFolder(const std::vector<std::wstring>& names, bool notesAreOurs) {
  if (names.empty()) return FolderContents::kEmpty;
  bool notes = false;
  for (const std::wstring& name : names) {
    bool ours = false;
    for (const wchar_t* file : kCaptureFiles) ours = ours || SameName(name, file);
    if (!ours) return FolderContents::kOther;
    notes = notes || SameName(name, L"capture.txt");
  }
  return notes && notesAreOurs ? FolderContents::kEarlierCapture : FolderContents::kOther;
}

bool NotesAreOurs(const std::string& head) { return head.compare(0, 11, "KCCCapture ") == 0; }

namespace {
const wchar_t* const kWorkFolderSuffixes[] = {L"", L"-moving", L"-earlier"}; // by WorkFolder
} // namespace

std::wstring WorkFolderName(const std::wstring& leaf, uint32_t pid, WorkFolder kind) {
  return leaf + kWorkFolderMark + std::to_wstring(pid) + kWorkFolderSuffixes[static_cast<int>(kind)];
}

bool ParseWorkFolderName(const std::wstring& name, const std::wstring& leaf, uint32_t& pid, WorkFolder& kind) {
  const std::wstring prefix = leaf + kWorkFolderMark;
  if (name.size() <= prefix.size() || !SameName(name.substr(0, prefix.size()), prefix.c_str())) return false;
  std::wstring rest = name.substr(prefix.size());
  kind = WorkFolder::kWriting;
  for (WorkFolder suffixed : {WorkFolder::kMovingIn, WorkFolder::kEarlier}) {
    const std::wstring suffix = kWorkFolderSuffixes[static_cast<int>(suffixed)];
    if (rest.size() > suffix.size() && rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) == 0) {
      rest.resize(rest.size() - suffix.size());
      kind = suffixed;
      break;
    }
  }
  if (rest.empty() || rest.size() > 10) return false;
  unsigned long long value = 0;
  for (wchar_t c : rest) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  if (value > 0xFFFFFFFFull) return false;
  pid = static_cast<uint32_t>(value);
  return true;
}

bool CaptureRunning(bool opened, bool ended, uint32_t openError) {
  const uint32_t kErrorInvalidParameter = 87; // OpenProcess's answer for an id no process has
  return opened ? !ended : openError != kErrorInvalidParameter;
}

LeftoverPlan PlanLeftovers(bool running, const Leftovers& found, bool targetExists) {
  if (running) return LeftoverPlan::kLeave;
  if (found.movingIn && found.movingInHasNotes) return LeftoverPlan::kUndoMoveIn;
  // Set aside while it still wrote or before it moved in, or with nothing in the folder's place: it goes back.
  if (found.earlier && !found.movingIn && (found.writing || !targetExists)) return LeftoverPlan::kPutEarlierBack;
  return LeftoverPlan::kRemove;
}

std::wstring DatedFolderName(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                             unsigned second) {
  wchar_t name[64];
  (void)swprintf(name, 64, L"KCCCapture %04u-%02u-%02u %02u-%02u-%02u", year, month, day, hour, minute, second);
  return name;
}

Options ParseOptions(const std::vector<std::wstring>& arguments) {
  Options options;
  for (const std::wstring& argument : arguments) {
    bool known = false;
    if (!argument.empty() && (argument[0] == L'/' || argument[0] == L'-')) {
      const std::wstring name = argument.substr(1);
      bool* const flags[] = {&options.redact, &options.summary, &options.json};
      const wchar_t* const names[] = {L"redact", L"summary", L"json"};
      for (size_t i = 0; i < 3 && !known; ++i)
        if (SameName(name, names[i])) known = *flags[i] = true;
    } else if (!argument.empty() && options.folder.empty()) {
      options.folder = argument;
      known = true;
    }
    if (!known && !options.usage) {
      options.usage = true;
      options.refused = argument.empty() ? L"\"\"" : argument;
    }
  }
  // A summary goes to standard output: no folder. JSON is a form of the summary.
  if (!options.usage && ((options.summary && !options.folder.empty()) || (options.json && !options.summary))) {
    options.usage = true;
    options.refused = options.summary ? options.folder : L"/json";
  }
  return options;
}

std::wstring JsonString(const std::wstring& text) {
  std::wstring out = L"\"";
  const auto escape = [&out](unsigned unit) {
    wchar_t code[8];
    (void)swprintf(code, 8, L"\\u%04x", unit);
    out += code;
  };
  for (wchar_t c : text) {
    const unsigned long point = static_cast<unsigned long>(c);
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (point >= 0x20 && point < 0x7F) {
      out += c;
    } else if (point > 0xFFFF) { // a 32-bit wchar_t: its UTF-16 pair
      escape(static_cast<unsigned>(0xD800 + ((point - 0x10000) >> 10)));
      escape(static_cast<unsigned>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      escape(static_cast<unsigned>(point));
    }
  }
  return out + L"\"";
}

namespace {
// An INI file as its reader sees it: units of one or two bytes, in the byte order of its mark.
struct IniText {
  size_t markSize = 0; // the byte-order mark's bytes, kept as they are
  size_t unit = 1;
  bool bigEndian = false;
};

IniText IniEncoding(const Bytes& file) {
  IniText text;
  if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
    text.markSize = 2;
    text.unit = 2;
  } else if (file.size() >= 2 && file[0] == 0xFE && file[1] == 0xFF) {
    text.markSize = 2;
    text.unit = 2;
    text.bigEndian = true;
  } else if (file.size() >= 3 && file[0] == 0xEF && file[1] == 0xBB && file[2] == 0xBF) {
    text.markSize = 3;
  } else {
    // No 8-bit INI file holds a NUL; UTF-16 without a mark holds one in every ASCII character.
    for (uint8_t byte : file)
      if (byte == 0) text.unit = 2;
  }
  return text;
}

// One line's units, a line feed excluded (a carriage return before it stays part of the line).
struct IniLine {
  std::vector<uint16_t> units;
};

// The name a line gives, ASCII letters folded: a section's between its brackets, a key's before its '=';
// spaces and tabs around it dropped.
std::string IniName(const std::vector<uint16_t>& units, bool& section) {
  size_t from = 0, to = units.size();
  const auto blank = [](uint16_t u) { return u == ' ' || u == '\t' || u == '\r'; };
  while (from < to && blank(units[from])) ++from;
  section = from < to && units[from] == '[';
  if (section) {
    ++from;
    size_t close = from;
    while (close < to && units[close] != ']') ++close;
    to = close;
  } else {
    size_t equals = from;
    while (equals < to && units[equals] != '=') ++equals;
    to = equals;
  }
  while (from < to && blank(units[from])) ++from;
  while (to > from && blank(units[to - 1])) --to;
  std::string name;
  for (size_t i = from; i < to; ++i)
    name += units[i] < 0x80 ? Lower(static_cast<char>(units[i])) : '\x7F'; // never a letter of the names sought
  return name;
}
} // namespace

Bytes RedactOemInfo(const Bytes& file) {
  const IniText text = IniEncoding(file);
  std::vector<IniLine> lines(1);
  for (size_t at = text.markSize; at + text.unit <= file.size(); at += text.unit) {
    const uint16_t unit = text.unit == 1 ? file[at]
                          : text.bigEndian ? static_cast<uint16_t>(file[at] << 8 | file[at + 1])
                                           : static_cast<uint16_t>(file[at] | file[at + 1] << 8);
    if (unit == '\n')
      lines.emplace_back();
    else
      lines.back().units.push_back(unit);
  }
  Bytes out(file.begin(), file.begin() + static_cast<long>(text.markSize));
  const auto put = [&out, &text](uint16_t unit) {
    if (text.unit == 1) {
      out.push_back(static_cast<uint8_t>(unit));
    } else if (text.bigEndian) {
      out.push_back(static_cast<uint8_t>(unit >> 8));
      out.push_back(static_cast<uint8_t>(unit));
    } else {
      out.push_back(static_cast<uint8_t>(unit));
      out.push_back(static_cast<uint8_t>(unit >> 8));
    }
  };
  bool general = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    bool section = false;
    const std::string name = IniName(lines[i].units, section);
    if (section) general = name == "general";
    if (!(section ? general : general && (name == "manufacturer" || name == "model"))) continue;
    // A reader that takes a byte-order mark for text makes it part of the first line: a line kept from further
    // down does not become the first.
    if (i > 0 && text.markSize > 0 && out.size() == text.markSize) {
      put('\r');
      put('\n');
    }
    for (uint16_t unit : lines[i].units) put(unit);
    put('\n');
  }
  return out;
}

std::wstring RegistryValueLine(const std::wstring& name, uint32_t type, const Bytes& data) {
  std::wstring line = L"\"";
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'"') line += L'\\';
    line += c;
  }
  line += L"\"=";
  const uint32_t kString = 1, kDword = 4;
  if (type == kDword && data.size() == 4) {
    wchar_t number[16];
    (void)swprintf(number, 16, L"dword:%08x", static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16)) |
                                            (static_cast<unsigned>(data[3]) << 24));
    return line + number;
  }
  if (type == kString && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
      data[data.size() - 2] == 0) {
    // A string as regedit writes it, when it is one: a single terminator and no control characters.
    std::wstring text;
    bool plain = true;
    for (size_t i = 0; i + 2 < data.size() && plain; i += 2) {
      const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
      if (c < 0x20) plain = false;
      if (c == L'\\' || c == L'"') text += L'\\';
      text += c;
    }
    if (plain) return line + L"\"" + text + L"\"";
  }
  wchar_t prefix[16];
  if (type == 3)
    (void)swprintf(prefix, 16, L"hex:");
  else
    (void)swprintf(prefix, 16, L"hex(%x):", type);
  line += prefix;
  for (size_t i = 0; i < data.size(); ++i) {
    wchar_t byte[4];
    (void)swprintf(byte, 4, L"%02x", data[i]); // the buffers fit every value: nothing is cut
    if (i > 0) line += L',';
    line += byte;
  }
  return line;
}

std::wstring Wow6432Path(const std::wstring& path) {
  static const wchar_t kSoftware[] = L"SOFTWARE\\";
  const size_t length = sizeof(kSoftware) / sizeof(kSoftware[0]) - 1;
  if (path.size() <= length) return path;
  for (size_t i = 0; i < length; ++i) {
    const wchar_t c = path[i] >= L'a' && path[i] <= L'z' ? static_cast<wchar_t>(path[i] - 32) : path[i];
    if (c != kSoftware[i]) return path;
  }
  return path.substr(0, length) + L"WOW6432Node\\" + path.substr(length);
}

std::wstring WineVersionName(uint32_t major, uint32_t minor) {
  struct Name {
    uint32_t major, minor;
    const wchar_t* name;
  };
  static const Name kNames[] = {{5, 0, L"win2k"}, {5, 1, L"winxp"}, {5, 2, L"win2003"}, {6, 0, L"vista"},
                                {6, 1, L"win7"},  {6, 2, L"win8"},  {6, 3, L"win81"},   {10, 0, L"win10"}};
  for (const Name& name : kNames)
    if (name.major == major && name.minor == minor) return name.name;
  return std::wstring();
}

} // namespace capture
