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

enum class ValueType { Bstr, I2, I4, I8, Bool, Null };

struct Value {
  ValueType type = ValueType::Null;
  std::u16string text; // VT_BSTR
  int64_t number = 0;  // VT_I2, VT_I4, VT_I8; VT_BOOL as 1 or 0
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

class Fixture {
public:
  // From the file's bytes: UTF-16 (LE or BE) or UTF-8 with BOM; without a BOM, UTF-8.
  // Never fails: whatever cannot be parsed is absent.
  static Fixture FromBytes(std::string_view bytes);
  static Fixture FromText(std::u16string_view text);

  // The matching instances of the class (its name ignores case), in section number order.
  std::vector<const Instance*> Select(const Query& query) const;
  bool FailsConnectServer() const { return m_failConnectServer; }
  bool FailsProxyBlanket() const { return m_failProxyBlanket; }
  bool FailsExecQuery(std::u16string_view className) const;

private:
  // Keyed by the class name folded to lower case, then by the section number.
  std::map<std::u16string, std::map<uint32_t, Instance>> m_classes;
  bool m_failConnectServer = false;
  bool m_failProxyBlanket = false;
  std::vector<std::u16string> m_failExecQuery;
};

// Pieces of the format, exposed for tests.
std::u16string DecodeText(std::string_view bytes);
// "VT_BSTR:text", "VT_I2:n", "VT_I4:n", "VT_I8:n", "VT_BOOL:true|false", "VT_NULL"; nullopt otherwise.
std::optional<Value> ParseValue(std::u16string_view text);
std::optional<Query> ParseQuery(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace wmifixture

#endif
