// Writes the end-to-end profiles' firmware dumps shaped like real machines' tables, so that they can be remade.
//   make_firmware_dumps DIR   writes DIR/vendor-first-notebook.bin and DIR/sm3-server.bin
#include "tests/support/table_builder.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace tablebuilder;

namespace {

Bytes Word(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

Bytes Join(std::vector<Bytes> parts) { return Concat(parts); }

// Type 4 with the 0x30 formatted bytes of SMBIOS 3.0 (core and thread counts of 16 bits at the end).
Bytes Processor(uint16_t handle, uint8_t socket, const std::string& version, uint16_t maxMhz, uint16_t currentMhz,
                uint16_t l1, uint16_t l2, uint16_t l3, uint8_t cores) {
  Bytes f = Join({{1, 3, 0xB3, 2},                             // socket, central processor, family, maker
                  {0xA6, 0x06, 0x06, 0x00, 0xFF, 0xFB, 0xEB, 0xBF}, // processor id
                  {3, 0x8C},                                    // version string, voltage
                  Word(100), Word(maxMhz), Word(currentMhz),    // external clock, max and current speed
                  {0x41, 0x3B},                                 // populated and enabled, socket type
                  Word(l1), Word(l2), Word(l3),                 // cache handles
                  {0, 0, 0, cores, cores, static_cast<uint8_t>(cores * 2), 0xFC, 0x00, 0xB3, 0x00}, // 0x20..0x29
                  Word(cores), Word(cores), Word(static_cast<uint16_t>(cores * 2))});          // 0x2A..0x2F
  std::string socketName = "CPU" + std::to_string(socket);
  return Structure(4, handle, f, {socketName, "Intel(R) Corporation", version});
}

// Type 7 (SMBIOS 3.1, 0x1B bytes): configuration with the level in bits 2..0 (0 is level 1), sizes in KB
// or, with bit 15, in 64 KB units.
Bytes Cache(uint16_t handle, const char* name, uint8_t level, uint16_t installed) {
  const uint32_t size2 = (installed & 0x8000u) ? 0x80000000u | (installed & 0x7FFFu) : installed;
  Bytes wide(4);
  Put32(wide, 0, size2);
  Bytes f = Join({{1}, Word(static_cast<uint16_t>(0x0180 | (level - 1))), Word(installed), Word(installed),
                  Word(0x0020), Word(0x0020), {0, 5, 3, 7}, wide, wide});
  return Structure(7, handle, f, {name});
}

Bytes Vendor(uint8_t type, uint16_t handle, unsigned bytes) {
  Bytes f(bytes);
  for (unsigned i = 0; i < bytes; ++i) f[i] = static_cast<uint8_t>(handle + i * 7);
  return Structure(type, handle, f);
}

Bytes Bios(const char* vendor, const char* version, const char* date) {
  Bytes f = Join({{1, 2}, Word(0xF000), {3, 0xFF}, {0x80, 0x98, 0x8B, 0x3F, 0x01, 0x00, 0x00, 0x00},
                  {0x03, 0x0D}, {1, 21, 0xFF, 0xFF}});
  return Structure(0, 0x0000, f, {vendor, version, date});
}

Bytes System(uint16_t handle, const std::vector<std::string>& strings) {
  // Manufacturer, product, version (string 6 when there is one), serial, UUID, wake-up, SKU, family.
  const uint8_t version = strings.size() > 5 ? 6 : 0;
  Bytes f = Join({{1, 2, version, 3}, Bytes(16, 0x4C), {6, 5, 4}});
  return Structure(1, handle, f, strings);
}

// A notebook whose table begins with the maker's type 218 structures and gives BIOS Information handle 0
// in the middle, with a 2.x entry point.
Bytes Notebook() {
  std::vector<Bytes> t = {
      Vendor(218, 0xDA00, 0x0B), Vendor(218, 0xDA01, 0x21), Vendor(218, 0xDA02, 0x0B),
      Bios("Dell Inc.", "1.21.0", "08/10/2023"),
      System(0x0001, {"Dell Inc.", "Latitude 7420", "7XK2H53", "Latitude", "0A1F"}),
      Structure(2, 0x0002, {1, 2, 3, 4, 0, 0x09, 5, 0x03, 0, 0x0A, 0}, {"Dell Inc.", "07MHG4", "A00",
                "/7XK2H53/CNCMK0013G00RZ/", "Not Specified"}),
      Structure(3, 0x0003, Join({{1, 0x0A, 0, 2, 0, 3, 3, 3, 3}, Bytes(4, 0), {0, 0, 0, 0}}), {"Dell Inc.", "7XK2H53"}),
      Cache(0x0700, "L1 Cache", 1, 320), Cache(0x0701, "L2 Cache", 2, 5120), Cache(0x0702, "L3 Cache", 3, 0x8000 | 192),
      Processor(0x0400, 1, "11th Gen Intel(R) Core(TM) i7-1185G7 @ 3.00GHz", 4800, 3000, 0x0700, 0x0701, 0x0702, 4),
      Structure(16, 0x1000, Join({{3, 3, 3}, {0, 0, 0, 0x02}, Word(0xFFFE), Word(2)})),
      Structure(17, 0x1100, Join({Word(0x1000), Word(0xFFFE), Word(64), Word(64), Word(8192), {0x0D, 0, 1, 2, 0x22}, Word(0x0080)}),
                {"DIMM A", "BANK 0"}),
      Structure(17, 0x1101, Join({Word(0x1000), Word(0xFFFE), Word(64), Word(64), Word(8192), {0x0D, 0, 1, 2, 0x22}, Word(0x0080)}),
                {"DIMM B", "BANK 2"}),
      Structure(32, 0x2000, Bytes(7, 0)),
      Vendor(218, 0xDA03, 0x15), Vendor(221, 0xDD00, 0x1A),
      EndOfTable(0x7F00),
  };
  Bytes table = Concat(t);
  return SmDump(table, 2, 8, static_cast<uint16_t>(t.size()));
}

// A two-socket server with a 3.x entry point: vendor structures before type 0, over 80 structures, two
// central processors with 0x30 formatted bytes.
Bytes Server() {
  std::vector<Bytes> t = {Vendor(0xC0, 0xC000, 0x10), Vendor(0xC1, 0xC001, 0x08), Vendor(0xD0, 0xD000, 0x20),
                          Vendor(0xD3, 0xD001, 0x0C), Vendor(0xDD, 0xDD00, 0x1A)};
  t.push_back(Bios("Varnel Corporation", "2.19.1", "11/02/2023"));
  t.push_back(System(0x0100, {"Varnel Corporation", "VR-7450 Server", "S9TQ4Z3", "VR-7450", "SKU=VR7450", "A03"}));
  t.push_back(Structure(3, 0x0300, Join({{1, 0x17, 0, 2, 0, 3, 3, 3, 3}, Bytes(4, 0), {2, 2, 0, 0}}),
                        {"Varnel Corporation", "S9TQ4Z3"}));
  for (uint16_t cpu = 0; cpu < 2; ++cpu) {
    uint16_t base = static_cast<uint16_t>(0x0700 + cpu * 3);
    t.push_back(Cache(base, "L1 Cache", 1, 0x8000 | 40));
    t.push_back(Cache(static_cast<uint16_t>(base + 1), "L2 Cache", 2, 0x8000 | 640));
    t.push_back(Cache(static_cast<uint16_t>(base + 2), "L3 Cache", 3, 0x8000 | 768));
    t.push_back(Processor(static_cast<uint16_t>(0x0400 + cpu), static_cast<uint8_t>(cpu + 1),
                          "Intel(R) Xeon(R) Gold 6338 CPU @ 2.00GHz", 4000, 2000, base,
                          static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2), 32));
  }
  for (uint16_t slot = 0; slot < 8; ++slot)
    t.push_back(Structure(9, static_cast<uint16_t>(0x0900 + slot), Join({{1, 0xB8, 0x0D, 3, 4}, Word(slot), {4, 3}}),
                          {"PCIe Slot " + std::to_string(slot + 1)}));
  t.push_back(Structure(11, 0x0B00, {3}, {"Varnel Corporation", "OEM build 7", "Debian"}));
  t.push_back(Structure(16, 0x1000, Join({{3, 3, 6}, {0, 0, 0, 0x80}, Word(0xFFFE), Word(32)})));
  for (uint16_t dimm = 0; dimm < 32; ++dimm) {
    bool populated = dimm % 2 == 0;
    t.push_back(Structure(17, static_cast<uint16_t>(0x1100 + dimm),
                          Join({Word(0x1000), Word(0xFFFE), Word(72), Word(64), Word(populated ? 8192 : 0),
                                {0x09, 0, 1, 2, 0x1A}, Word(0x0080)}),
                          {"DIMM " + std::string(1, static_cast<char>('A' + dimm / 2)) + std::to_string(dimm % 2 + 1),
                           "CPU" + std::to_string(dimm / 16 + 1)}));
  }
  for (uint16_t i = 0; i < 4; ++i)
    t.push_back(Structure(41, static_cast<uint16_t>(0x2900 + i), Join({{1, 0x85, static_cast<uint8_t>(i + 1)},
                                                                       Word(0), {0x31, 0}}),
                          {"Embedded NIC " + std::to_string(i + 1)}));
  t.push_back(Structure(32, 0x2000, Bytes(7, 0)));
  t.push_back(Structure(38, 0x2600, Join({{1, 0x20, 0x20, 0}, Bytes(8, 0), {0, 0}})));
  for (uint16_t i = 0; i < 20; ++i) t.push_back(Vendor(0xE0, static_cast<uint16_t>(0xE000 + i), 0x10));
  t.push_back(EndOfTable(0x7F00));
  return Sm3Dump(Concat(t), 3, 3);
}

bool Write(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_firmware_dumps DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!Write(dir + "/vendor-first-notebook.bin", Notebook()) || !Write(dir + "/sm3-server.bin", Server())) {
    std::perror("make_firmware_dumps");
    return 1;
  }
  return 0;
}
