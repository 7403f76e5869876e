// Turns a table image into a walk_fuzzer input: the replies the driver's table logic gives for that table.
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sources/machine_info.h"
#include "tests/fuzz/replay_device.h"
#include "tests/support/table_server.h"

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
  // Every reply in the replay format: control (0xFF: failed), u16 length, the bytes.
  std::vector<uint8_t> bytes;
  ObservedDevice recorder(device, [&bytes](const uint8_t*, size_t, const uint8_t* reply, size_t length, bool ok) {
    bytes.push_back(ok ? 0 : 0xFF);
    bytes.push_back(static_cast<uint8_t>(length));
    bytes.push_back(static_cast<uint8_t>(length >> 8));
    bytes.insert(bytes.end(), reply, reply + length);
  });
  CMachineInfo info;
  const int status = info.WalkTable(recorder);
  FILE* out = fopen(argv[2], "wb");
  if (!out || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return 1;
  fclose(out);
  printf("%s: status %d, %zu bytes\n", argv[2], status, bytes.size());
  return 0;
}
