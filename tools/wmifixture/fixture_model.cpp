// The WMI fixture: INI decoding and parsing, typed values, WQL parsing and instance selection.
#include "tools/wmifixture/fixture_model.h"

#include <algorithm>
#include <limits>

namespace wmifixture {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string Folded(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& c : result) c = FoldAscii(c);
  return result;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

// Lenient: each byte that does not start a valid sequence becomes U+FFFD.
std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t cp = 0, minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, cp = lead & 0x1F, minimum = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, cp = lead & 0x0F, minimum = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, cp = lead & 0x07, minimum = 0x10000;
    bool valid = length != 0 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (next & 0x3F);
    }
    if (valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    AppendCodePoint(out, cp);
    i += length;
  }
  return out;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) { // an odd last byte is dropped
    const unsigned b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
    out += static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
  }
  return out;
}

// A whole text of optional sign and decimal digits, within [low, high].
std::optional<int64_t> ParseInteger(std::u16string_view text, int64_t low, int64_t high) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Magnitudes up to 2^63, so that the most negative value fits.
  const uint64_t limit = uint64_t{1} << 63;
  uint64_t magnitude = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - u'0');
    if (magnitude > (limit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (!negative && magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  const int64_t value = negative ? (magnitude == limit ? std::numeric_limits<int64_t>::min()
                                                       : -static_cast<int64_t>(magnitude))
                                 : static_cast<int64_t>(magnitude);
  if (value < low || value > high) return std::nullopt;
  return value;
}

struct Section {
  std::u16string name;
  std::vector<std::pair<std::u16string, std::u16string>> entries;
};

std::vector<Section> ParseIni(std::u16string_view text) {
  std::vector<Section> sections;
  Section* current = nullptr;
  while (!text.empty()) {
    const size_t end = text.find(u'\n');
    std::u16string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      const size_t close = line.find(u']');
      // A broken header opens no section: its keys are dropped with it.
      if (close == std::u16string_view::npos) {
        current = nullptr;
        continue;
      }
      sections.push_back({std::u16string(Trim(line.substr(1, close - 1))), {}});
      current = &sections.back();
      continue;
    }
    const size_t equals = line.find(u'=');
    if (!current || equals == std::u16string_view::npos) continue;
    const std::u16string_view key = Trim(line.substr(0, equals));
    if (key.empty()) continue;
    current->entries.emplace_back(std::u16string(key), std::u16string(Trim(line.substr(equals + 1))));
  }
  return sections;
}

// "Class#n": the class and the instance number, or nothing.
bool SplitInstanceName(std::u16string_view name, std::u16string& className, uint32_t& number) {
  const size_t hash = name.rfind(u'#');
  if (hash == std::u16string_view::npos || hash == 0) return false;
  const std::u16string_view digits = name.substr(hash + 1);
  if (digits.empty() || digits.size() > 9) return false;
  uint32_t n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    n = n * 10 + static_cast<uint32_t>(c - u'0');
  }
  className.assign(Trim(name.substr(0, hash)));
  number = n;
  return !className.empty();
}

bool IsIdentifierChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c >= 0x80;
}

// A small cursor over a WQL text.
class Scanner {
public:
  explicit Scanner(std::u16string_view text) : m_text(text) {}
  bool SkipSpace() {
    const size_t before = m_pos;
    while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) ++m_pos;
    return m_pos != before;
  }
  bool AtEnd() const { return m_pos == m_text.size(); }
  bool Keyword(std::u16string_view word) {
    if (!StartsWithIgnoreCase(m_text.substr(m_pos), word)) return false;
    const size_t after = m_pos + word.size();
    if (after < m_text.size() && IsIdentifierChar(m_text[after])) return false;
    m_pos = after;
    return true;
  }
  bool Char(char16_t c) {
    if (m_pos >= m_text.size() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  std::u16string_view Identifier() {
    const size_t start = m_pos;
    while (m_pos < m_text.size() && IsIdentifierChar(m_text[m_pos])) ++m_pos;
    return m_text.substr(start, m_pos - start);
  }
  std::u16string_view Number() {
    const size_t start = m_pos;
    if (m_pos < m_text.size() && (m_text[m_pos] == u'+' || m_text[m_pos] == u'-')) ++m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9') ++m_pos;
    return m_text.substr(start, m_pos - start);
  }

private:
  std::u16string_view m_text;
  size_t m_pos = 0;
};

std::optional<int64_t> IntegerOf(const Value& value) {
  switch (value.type) {
  case ValueType::I2:
  case ValueType::I4:
  case ValueType::I8:
  case ValueType::UI1:
    return value.number;
  case ValueType::Bstr: // real WMI hands 64-bit numbers out as decimal strings
    return ParseInteger(value.text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  default:
    return std::nullopt;
  }
}

} // namespace

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

const Property* Instance::Find(std::u16string_view name) const {
  for (const Property& property : properties)
    if (EqualsIgnoreCase(property.name, name)) return &property;
  return nullptr;
}

std::u16string DecodeText(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return DecodeUtf8(bytes.substr(3));
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") return DecodeUtf16(bytes.substr(2), false);
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") return DecodeUtf16(bytes.substr(2), true);
  return DecodeUtf8(bytes);
}

std::optional<Value> ParseValue(std::u16string_view text) {
  const size_t colon = text.find(u':');
  const std::u16string_view tag = Trim(text.substr(0, colon));
  std::u16string_view rest = colon == std::u16string_view::npos ? std::u16string_view() : text.substr(colon + 1);
  Value value;
  if (EqualsIgnoreCase(tag, u"VT_NULL")) {
    if (!Trim(rest).empty()) return std::nullopt;
    value.type = ValueType::Null;
    return value;
  }
  if (colon == std::u16string_view::npos) return std::nullopt;
  if (EqualsIgnoreCase(tag, u"VT_BSTR")) {
    value.type = ValueType::Bstr;
    // Quoted, the text is exactly what stands between the quotes: firmware strings often end in spaces,
    // which the line's trimming would drop.
    if (rest.size() >= 2 && rest.front() == u'"' && rest.back() == u'"') rest = rest.substr(1, rest.size() - 2);
    value.text.assign(rest);
    return value;
  }
  if (EqualsIgnoreCase(tag, u"VT_UI1_ARRAY")) {
    value.type = ValueType::UI1Array;
    int high = -1;
    for (char16_t c : rest) {
      if (IsSpace(c)) {
        if (high >= 0) return std::nullopt; // a byte is two digits
        continue;
      }
      const int digit = c >= u'0' && c <= u'9' ? c - u'0'
                        : c >= u'a' && c <= u'f' ? c - u'a' + 10
                        : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
      if (digit < 0) return std::nullopt;
      if (high < 0) {
        high = digit;
      } else {
        value.bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
        high = -1;
      }
    }
    if (high >= 0) return std::nullopt;
    return value;
  }
  if (EqualsIgnoreCase(tag, u"VT_BOOL")) {
    const std::u16string_view word = Trim(rest);
    if (!EqualsIgnoreCase(word, u"true") && !EqualsIgnoreCase(word, u"false")) return std::nullopt;
    value.type = ValueType::Bool;
    value.number = EqualsIgnoreCase(word, u"true") ? 1 : 0;
    return value;
  }
  struct IntegerType {
    std::u16string_view tag;
    ValueType type;
    int64_t low, high;
  };
  static const IntegerType kIntegers[] = {
      {u"VT_I2", ValueType::I2, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()},
      {u"VT_I4", ValueType::I4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
      {u"VT_I8", ValueType::I8, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
      {u"VT_UI1", ValueType::UI1, 0, 255},
  };
  for (const IntegerType& integer : kIntegers) {
    if (!EqualsIgnoreCase(tag, integer.tag)) continue;
    const std::optional<int64_t> number = ParseInteger(rest, integer.low, integer.high);
    if (!number) return std::nullopt;
    value.type = integer.type;
    value.number = *number;
    return value;
  }
  return std::nullopt;
}

std::optional<Query> ParseQuery(std::u16string_view text) {
  Scanner scan(text);
  Query query;
  scan.SkipSpace();
  if (!scan.Keyword(u"select") || !scan.SkipSpace() || !scan.Char(u'*')) return std::nullopt;
  scan.SkipSpace();
  if (!scan.Keyword(u"from") || !scan.SkipSpace()) return std::nullopt;
  query.className.assign(scan.Identifier());
  if (query.className.empty()) return std::nullopt;
  const bool spaced = scan.SkipSpace();
  if (scan.AtEnd()) return query;
  if (!spaced || !scan.Keyword(u"where") || !scan.SkipSpace()) return std::nullopt;
  query.property.assign(scan.Identifier());
  if (query.property.empty()) return std::nullopt;
  scan.SkipSpace();
  if (!scan.Char(u'=')) return std::nullopt;
  scan.SkipSpace();
  const std::optional<int64_t> value =
      ParseInteger(scan.Number(), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  if (!value) return std::nullopt;
  scan.SkipSpace();
  if (!scan.AtEnd()) return std::nullopt;
  query.filtered = true;
  query.value = *value;
  return query;
}

Fixture Fixture::FromBytes(std::string_view bytes) { return FromText(DecodeText(bytes)); }

namespace {
// "ClassA, ClassB" appended to `classes`.
void AddClassList(std::u16string_view list, std::vector<std::u16string>& classes) {
  while (!list.empty()) {
    const size_t comma = list.find(u',');
    const std::u16string_view item = Trim(list.substr(0, comma));
    if (!item.empty()) classes.emplace_back(item);
    list.remove_prefix(comma == std::u16string_view::npos ? list.size() : comma + 1);
  }
}

// "root\WMI\Class": the namespace before the last backslash; none names the default.
std::u16string ClassKey(std::u16string_view qualified, std::u16string_view nameSpace = std::u16string_view()) {
  const size_t slash = qualified.rfind(u'\\');
  if (slash != std::u16string_view::npos) {
    nameSpace = qualified.substr(0, slash);
    qualified.remove_prefix(slash + 1);
  }
  if (nameSpace.empty()) nameSpace = kDefaultNamespace;
  return Folded(std::u16string(nameSpace) + u"\\" + std::u16string(qualified));
}
} // namespace

Fixture Fixture::FromText(std::u16string_view text) {
  Fixture fixture;
  for (const Section& section : ParseIni(text)) {
    const bool fail = EqualsIgnoreCase(section.name, u"fail");
    if (fail || EqualsIgnoreCase(section.name, u"hang")) {
      for (const auto& [key, value] : section.entries) {
        if (EqualsIgnoreCase(key, u"ConnectServer")) (fail ? fixture.m_failConnectServer : fixture.m_hangConnectServer) = true;
        else if (fail && EqualsIgnoreCase(key, u"ProxyBlanket")) fixture.m_failProxyBlanket = true;
        else if (EqualsIgnoreCase(key, u"ExecQuery")) AddClassList(value, fail ? fixture.m_failExecQuery : fixture.m_hangExecQuery);
        else if (!fail && EqualsIgnoreCase(key, u"Next")) AddClassList(value, fixture.m_hangNext);
      }
      continue;
    }
    std::u16string className;
    uint32_t number = 0;
    if (!SplitInstanceName(section.name, className, number)) continue;
    auto& instances = fixture.m_classes[ClassKey(className)];
    auto found = instances.find(number);
    if (found == instances.end()) {
      // The class keeps the spelling of its first section, without its namespace.
      std::u16string spelling = instances.empty() ? className.substr(className.rfind(u'\\') + 1)
                                                  : instances.begin()->second.className;
      found = instances.emplace(number, Instance{std::move(spelling), {}}).first;
    }
    Instance& instance = found->second;
    for (const auto& [key, text] : section.entries) {
      if (instance.Find(key)) continue; // the first line of a name wins
      if (std::optional<Value> value = ParseValue(text)) instance.properties.push_back({key, std::move(*value)});
    }
  }
  return fixture;
}

std::vector<const Instance*> Fixture::Select(const Query& query, std::u16string_view nameSpace) const {
  std::vector<const Instance*> result;
  const auto found = m_classes.find(ClassKey(query.className, nameSpace));
  if (found == m_classes.end()) return result;
  for (const auto& entry : found->second) {
    const Instance& instance = entry.second;
    if (query.filtered) {
      const Property* property = instance.Find(query.property);
      const std::optional<int64_t> value = property ? IntegerOf(property->value) : std::nullopt;
      if (!value || *value != query.value) continue;
    }
    result.push_back(&instance);
  }
  return result;
}

bool Fixture::Lists(const std::vector<std::u16string>& classes, std::u16string_view className) {
  return std::any_of(classes.begin(), classes.end(),
                     [&](const std::u16string& listed) { return EqualsIgnoreCase(listed, className); });
}

} // namespace wmifixture
