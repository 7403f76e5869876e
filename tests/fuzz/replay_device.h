// A boardinfo device that answers from fuzzer bytes: per call a control byte, a reply length, the reply.
#ifndef KCC_TESTS_FUZZ_REPLAY_DEVICE_H
#define KCC_TESTS_FUZZ_REPLAY_DEVICE_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "smbios/boardinfo_protocol.h"
#include "smbios/dmi_device.h"

// Record per call: control (0xFF: the call fails), u16 length, then that many reply bytes, of which
// at most the caller's output size are written; the rest of the output buffer keeps what it held,
// as with a driver that returns fewer bytes. When the bytes run out every further call fails.
class ReplayDevice : public IDmiDevice {
public:
  ReplayDevice(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    CheckRequest(static_cast<const uint8_t*>(input), inputSize, outputSize);
    if (m_size - m_at < 3) return false;
    const uint8_t control = m_data[m_at];
    size_t length = m_data[m_at + 1] | (m_data[m_at + 2] << 8);
    m_at += 3;
    if (length > m_size - m_at) length = m_size - m_at;
    const uint8_t* reply = m_data + m_at;
    m_at += length;
    if (control == 0xFF) return false;
    memcpy(output, reply, length < outputSize ? length : outputSize);
    if (m_calls == 1 && outputSize >= sizeof(BoardInfoInfoReply)) {
      const uint8_t* info = static_cast<const uint8_t*>(output);
      m_count = static_cast<uint16_t>(info[2] | (info[3] << 8));
      m_replySize = (info[4] | (info[5] << 8)) + BOARDINFO_STRUCTURE_REPLY_HEADER;
    }
    return true;
  }

  unsigned StructureRequests() const { return m_calls > 0 ? m_calls - 1 : 0; }
  uint16_t Count() const { return m_count; }

private:
  // What the walk asks must follow the protocol whatever the replies were.
  void CheckRequest(const uint8_t* in, uint32_t inputSize, uint32_t outputSize) {
    ++m_calls;
    if (m_calls == 1) {
      if (inputSize != 4 || in[0] != 0x50 || in[1] != 0 || in[2] != 0 || in[3] != 0 || outputSize != 12) abort();
      return;
    }
    if (inputSize != 8 || in[0] != 0x51 || in[1] != 0 || outputSize != m_replySize) abort();
    if (m_calls - 1 > m_count) abort(); // more structure requests than structures
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
  unsigned m_calls = 0;
  uint16_t m_count = 0;
  uint32_t m_replySize = 0;
};

// Forwards each call to another device and shows it, with its outcome, to `observe`.
template <typename Observe>
class ObservedDevice : public IDmiDevice {
public:
  ObservedDevice(IDmiDevice& inner, Observe observe) : m_inner(inner), m_observe(observe) {}
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    const bool succeeded = m_inner.Call(input, inputSize, output, outputSize);
    m_observe(static_cast<const uint8_t*>(input), inputSize, static_cast<const uint8_t*>(output), outputSize,
              succeeded);
    return succeeded;
  }

private:
  IDmiDevice& m_inner;
  Observe m_observe;
};

#endif
