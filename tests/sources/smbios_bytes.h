// Test helpers: SMBIOS structures and driver replies built byte by byte, and a scripted boardinfo device.
#ifndef KCC_TESTS_SOURCES_SMBIOS_BYTES_H
#define KCC_TESTS_SOURCES_SMBIOS_BYTES_H

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "smbios/boardinfo_protocol.h"
#include "smbios/dmi_device.h"
#include "tests/support/table_builder.h"

namespace kcctest {

using Bytes = std::vector<uint8_t>;

// One structure built byte by byte: the table builder's.
using Structure = tablebuilder::StructureBuilder;

inline Bytes InfoReply(uint8_t status, uint16_t count, uint16_t largest, uint32_t address = 0x000F0000) {
  Bytes r(12, 0);
  r[0] = status;
  r[1] = 0x24;
  r[2] = static_cast<uint8_t>(count);
  r[3] = static_cast<uint8_t>(count >> 8);
  r[4] = static_cast<uint8_t>(largest);
  r[5] = static_cast<uint8_t>(largest >> 8);
  for (int i = 0; i < 4; ++i) r[6 + i] = static_cast<uint8_t>(address >> (8 * i));
  return r;
}

inline Bytes StructureReply(uint8_t status, uint16_t next, const Bytes& structure = {}) {
  Bytes r = {status, static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
  r.insert(r.end(), structure.begin(), structure.end());
  return r;
}

// Answers each call with the next scripted reply and records what was asked. Like a driver, it
// writes only the bytes of its reply into the caller's buffer.
class ScriptedDevice : public IDmiDevice {
public:
  struct Answer {
    bool succeeds;
    Bytes reply;
  };
  struct Request {
    Bytes input;
    uint32_t outputSize;
  };

  ScriptedDevice& Then(const Bytes& reply) { return Add(true, reply); }
  ScriptedDevice& ThenFail() { return Add(false, {}); }

  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    const uint8_t* in = static_cast<const uint8_t*>(input);
    requests.push_back({Bytes(in, in + inputSize), outputSize});
    if (m_next >= m_answers.size()) return false;
    const Answer& answer = m_answers[m_next++];
    if (!answer.succeeds) return false;
    memcpy(output, answer.reply.data(), std::min<size_t>(answer.reply.size(), outputSize));
    return true;
  }

  // The handle asked for by structure request `index` (0 = the first structure request).
  uint16_t HandleOfStructureRequest(size_t index) const {
    const Bytes& in = requests.at(index + 1).input;
    return static_cast<uint16_t>(in[2] | (in[3] << 8));
  }
  size_t StructureRequests() const { return requests.empty() ? 0 : requests.size() - 1; }

  std::vector<Request> requests;

private:
  ScriptedDevice& Add(bool succeeds, const Bytes& reply) {
    m_answers.push_back({succeeds, reply});
    return *this;
  }
  std::vector<Answer> m_answers;
  size_t m_next = 0;
};

} // namespace kcctest

#endif
