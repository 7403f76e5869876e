// The WMI fixture: instances read from an INI file, WQL "Select * From" queries over them; pure.
#ifndef KCC_TOOLS_WMIFIXTURE_FIXTURE_MODEL_H
#define KCC_TOOLS_WMIFIXTURE_FIXTURE_MODEL_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wmifixture {

enum class ValueType { Bstr, I2, I4, I8, Bool, Null, UI1, UI1Array };

struct Value {
  ValueType type = ValueType::Null;
  std::u16string text; // VT_BSTR
  int64_t number = 0;  // VT_I2, VT_I4, VT_I8, VT_UI1; VT_BOOL as 1 or 0
  std::vector<uint8_t> bytes; // VT_ARRAY | VT_UI1
};

struct Property {
  std::u16string name;
  Value value;
};

struct Instance {
  std::u16string className; // as the first section of the class spells it
  std::vector<Property> properties;
  // Property names ignore case (ASCII letters).
  const Property* Find(std::u16string_view name) const;
};

// "Select * From <class>" with an optional "Where <property> = <integer>".
struct Query {
  std::u16string className;
  bool filtered = false;
  std::u16string property;
  int64_t value = 0;
};

// The namespace of a class whose section names none.
inline constexpr std::u16string_view kDefaultNamespace = u"root\\cimv2";

class Fixture {
public:
  // From the file's bytes: UTF-16 (LE or BE) or UTF-8 with BOM; without a BOM, UTF-8.
  // Never fails: whatever cannot be parsed is absent.
  static Fixture FromBytes(std::string_view bytes);
  static Fixture FromText(std::u16string_view text);

  // The matching instances of the class (its name and the namespace ignore case), in section number order.
  std::vector<const Instance*> Select(const Query& query, std::u16string_view nameSpace = kDefaultNamespace) const;
  bool FailsConnectServer() const { return m_failConnectServer; }
  bool FailsProxyBlanket() const { return m_failProxyBlanket; }
  bool FailsExecQuery(std::u16string_view className) const { return Lists(m_failExecQuery, className); }
  // Where it stops answering, as a hung WMI does: ConnectServer, ExecQuery of a class, or Next of a class once
  // its instances are served.
  bool HangsConnectServer() const { return m_hangConnectServer; }
  bool HangsExecQuery(std::u16string_view className) const { return Lists(m_hangExecQuery, className); }
  bool HangsNext(std::u16string_view className) const { return Lists(m_hangNext, className); }

private:
  static bool Lists(const std::vector<std::u16string>& classes, std::u16string_view className);

  // Keyed by namespace and class name ("root\cimv2\win32_bios") folded to lower case, then by the section number.
  std::map<std::u16string, std::map<uint32_t, Instance>> m_classes;
  bool m_failConnectServer = false;
  bool m_failProxyBlanket = false;
  std::vector<std::u16string> m_failExecQuery;
  bool m_hangConnectServer = false;
  std::vector<std::u16string> m_hangExecQuery;
  std::vector<std::u16string> m_hangNext;
};

// Pieces of the format, exposed for tests.
std::u16string DecodeText(std::string_view bytes);
// "VT_BSTR:text", "VT_I2:n", "VT_I4:n", "VT_I8:n", "VT_UI1:n", "VT_BOOL:true|false", "VT_NULL",
// "VT_UI1_ARRAY:hex bytes" (white space between bytes allowed); nullopt otherwise.
std::optional<Value> ParseValue(std::u16string_view text);
std::optional<Query> ParseQuery(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace wmifixture

#endif
