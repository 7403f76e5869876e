// Turns a table image into a walk_fuzzer input: the replies the driver's table logic gives for that table.
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sources/machine_info.h"
#include "tests/support/table_server.h"

namespace {
// Records every reply of the table device in the replay format (control, u16 length, bytes).
class Recorder : public IDmiDevice {
public:
  explicit Recorder(IDmiDevice& inner) : m_inner(inner) {}
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    const bool ok = m_inner.Call(input, inputSize, output, outputSize);
    const uint8_t* reply = static_cast<const uint8_t*>(output);
    const size_t length = outputSize;
    bytes.push_back(ok ? 0 : 0xFF);
    bytes.push_back(static_cast<uint8_t>(length));
    bytes.push_back(static_cast<uint8_t>(length >> 8));
    bytes.insert(bytes.end(), reply, reply + length);
    return ok;
  }
  std::vector<uint8_t> bytes;

private:
  IDmiDevice& m_inner;
};
} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: make_walk_seed IMAGE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  tablebuilder::Driver device(
      tablebuilder::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  if (!device.Located()) {
    fprintf(stderr, "%s: no SMBIOS table\n", argv[1]);
    return 1;
  }
  Recorder recorder(device);
  CMachineInfo info;
  const int status = info.WalkTable(recorder);
  FILE* out = fopen(argv[2], "wb");
  if (!out || fwrite(recorder.bytes.data(), 1, recorder.bytes.size(), out) != recorder.bytes.size()) return 1;
  fclose(out);
  printf("%s: status %d, %zu bytes\n", argv[2], status, recorder.bytes.size());
  return 0;
}
