// The walk over table images, the project's samples and real machines' tables, through every source the program
// reads a table from: held to explicit expectations, to each other and to dmidecode's own reading.
#include "sources/machine_info.h"

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "smbios/boardinfo_protocol.h"
#include "smbios/dmi_table.h"
#include "sources/firmware_table.h"
#include "tests/support/table_builder.h"
#include "tests/support/table_server.h"

namespace {

using tablebuilder::Bytes;

// Real machines' tables come from other projects and stay in the shared folder beside the checkout
// (KCC_REAL_TABLES); "real/FILE" names one of them, any other name a sample of this project.
const std::string kReal = "real/";

bool IsReal(const std::string& name) { return name.rfind(kReal, 0) == 0; }
bool HaveRealTables() { return std::filesystem::is_directory(KCC_REAL_TABLES); }
std::string NoRealTables() {
  return std::string("no real machines' tables here: ") + KCC_REAL_TABLES + " (the shared folder beside the checkout) is missing";
}

std::string PathOf(const std::string& name) {
  return IsReal(name) ? KCC_REAL_TABLES + ("/" + name.substr(kReal.size())) : std::string(KCC_SMBIOS_SAMPLES) + "/" + name;
}

// A test name of a table's name: "real/dell-poweredge-r630.bin" is real_dell_poweredge_r630_bin.
std::string TestName(std::string name) {
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

Bytes Load(const std::string& name) {
  std::ifstream in(PathOf(name), std::ios::binary | std::ios::ate);
  EXPECT_TRUE(in.good()) << PathOf(name);
  Bytes bytes(in.good() ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

DmiImage Locate(const Bytes& image) {
  DmiImage view{};
  EXPECT_TRUE(LocateDmiTable(image.data(), image.size(), &view));
  return view;
}

bool IsDump(const Bytes& image) {
  for (const char* anchor : {"_SM_", "_SM3_", "_DMI_"})
    if (image.size() >= strlen(anchor) && memcmp(image.data(), anchor, strlen(anchor)) == 0) return true;
  return false;
}

// The table of an image behind an entry point of the driver's own writing, as dmidecode reads dumps.
Bytes DumpOf(const Bytes& image) {
  const DmiImage view = Locate(image);
  Bytes dump(kDmiDumpTableOffset, 0);
  WriteDmiDumpHeader(view.major, view.minor, static_cast<uint32_t>(view.size),
                     static_cast<uint16_t>(CountDmiStructures(view.table, view.size)), dump.data());
  dump.insert(dump.end(), view.table, view.table + view.size);
  return dump;
}

TEST(SmbiosImageLoad, LegacyEntryPointOfADump) {
  const Bytes image = Load("generic-desktop.bin");
  const DmiImage view = Locate(image);
  EXPECT_EQ(2, view.major);
  EXPECT_EQ(4, view.minor);
  EXPECT_EQ(image.data() + 0x20, view.table);
  EXPECT_EQ(590u, view.size); // "14 structures occupying 590 bytes"
  EXPECT_EQ(14u, CountDmiStructures(view.table, view.size));
}

TEST(SmbiosImageLoad, RsmbBlob) {
  const Bytes image = Load("wine-rsmb-blob.bin");
  tablebuilder::Driver server(image);
  ASSERT_TRUE(server.Located());
  EXPECT_EQ(2, server.View().major);
  EXPECT_EQ(4, server.View().minor);
  EXPECT_EQ(123u, server.View().size);
  ASSERT_EQ(6u, server.Table().count);
  const uint8_t types[] = {0, 1, 3, 2, 32, 127};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(types[i], server.View().table[server.Table().entries[i].offset]);
}

TEST(SmbiosImageLoad, Version3EntryPointRoundTrip) {
  const Bytes original = Load("varnel-notebook.bin");
  const DmiImage view = Locate(original);
  const Bytes dump = tablebuilder::Sm3Dump(Bytes(view.table, view.table + view.size), 3, 0);
  const DmiImage again = Locate(dump);
  EXPECT_EQ(Bytes(view.table, view.table + view.size), Bytes(again.table, again.table + again.size));
  EXPECT_EQ(3, again.major);
  uint8_t sum = 0;
  for (size_t i = 0; i < 0x18; ++i) sum = static_cast<uint8_t>(sum + dump[i]);
  EXPECT_EQ(0, sum);
}

TEST(SmbiosImageLoad, FindsNothingInWhatIsNoImage) {
  DmiImage view{};
  // Read as an RSMB blob whose length runs past the end: the two bytes left hold no structure.
  const uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_TRUE(LocateDmiTable(garbage, sizeof(garbage), &view));
  EXPECT_EQ(0u, CountDmiStructures(view.table, view.size));
  Bytes outside(0x20, 0);
  memcpy(outside.data(), "_SM3_", 5);
  outside[0x10] = 0x40; // table at 0x40 of a 0x20-byte file
  EXPECT_FALSE(LocateDmiTable(outside.data(), outside.size(), &view));
  EXPECT_FALSE(LocateDmiTable(outside.data(), 3, &view));
}

// ---- The sources: every way the program gets a table, each walking the same one

// One table as the sources get it. Each source walks a copy of exactly an image's size, so that
// AddressSanitizer sees any read past the table.
struct TableImages {
  Bytes table; // the structures themselves
  uint8_t major = 0;
  uint8_t minor = 0;
  Bytes file;     // the image as the driver's TableFile reads it, cut where its table ends
  Bytes firmware; // the table as GetSystemFirmwareTable('RSMB') gives it: the image itself where it is that blob
};

TableImages ImagesOf(const Bytes& image) {
  TableImages images;
  const DmiImage view = Locate(image);
  images.table.assign(view.table, view.table + view.size);
  images.major = view.major;
  images.minor = view.minor;
  images.file.assign(image.data(), view.table + view.size);
  images.firmware = IsDump(image) ? tablebuilder::RsmbBlob(images.table, view.major, view.minor) : images.file;
  return images;
}

// Sees a walk's calls: its structure requests, and the handle and type of each structure served, in order.
class WalkRecord : public IDmiCallObserver {
public:
  void OnCall(const void* input, uint32_t inputSize, const void* output, uint32_t outputSize, bool succeeded) override {
    const uint8_t* in = static_cast<const uint8_t*>(input);
    if (inputSize < 2 || (in[0] | (in[1] << 8)) != BOARDINFO_GET_STRUCTURE) return;
    ++requests;
    const uint8_t* out = static_cast<const uint8_t*>(output);
    if (succeeded && outputSize >= BOARDINFO_STRUCTURE_REPLY_HEADER + 4 && out[0] == BOARDINFO_STATUS_OK)
      served.emplace_back(static_cast<uint16_t>(out[5] | (out[6] << 8)), out[3]);
  }

  unsigned requests = 0;
  std::vector<std::pair<uint16_t, int>> served; // handle, type
};

struct Source {
  const char* name;
  int (*walk)(const TableImages& images, CMachineInfo& info, WalkRecord& record); // the walk's status
};

int ThroughTheDriver(const TableImages& images, CMachineInfo& info, WalkRecord& record) {
  tablebuilder::Driver device(images.file);
  device.SetObserver(&record);
  return info.WalkTable(device);
}

int OverTheFirmwareTable(const TableImages& images, CMachineInfo& info, WalkRecord& record) {
  const int status = info.WalkFirmwareTable(images.firmware, &record);
  EXPECT_EQ(TableSource::kFirmware, info.m_tableSource);
  return status;
}

// WMI's raw table (root\\WMI, where Windows has no firmware table): the structures as its byte array, its size.
int FromWmisRawTable(const TableImages& images, CMachineInfo& info, WalkRecord& record) {
  WmiValue data, size, major, minor;
  data.type = kWmiByteArrayType;
  data.bytes = images.table;
  for (auto [value, number] : {std::pair<WmiValue*, int64_t>{&size, static_cast<int64_t>(images.table.size())},
                               {&major, images.major}, {&minor, images.minor}}) {
    value->isNumber = true;
    value->number = number;
  }
  const int status = info.WalkFirmwareTable(RsmbFromWmi(data, size, major, minor, {}, {}), &record, TableSource::kWmi);
  EXPECT_EQ(TableSource::kWmi, info.m_tableSource);
  return status;
}

// Every source of a table the program has; another source is one more entry.
const Source kSources[] = {
    {"through the driver's requests", ThroughTheDriver},
    {"over Windows' firmware table", OverTheFirmwareTable},
    {"from WMI's raw table", FromWmisRawTable},
};

// What a walk leaves in the collector, or what the program must make of dmidecode's reading.
struct Fields {
  std::wstring bios, manufacturer, product, version, serial, cpu;
  long speed = 0, memory = 0, cache = 0;
};

void ExpectFields(const Fields& expected, const Fields& actual) {
  EXPECT_EQ(expected.bios, actual.bios) << "BIOS version";
  EXPECT_EQ(expected.manufacturer, actual.manufacturer) << "system manufacturer";
  EXPECT_EQ(expected.product, actual.product) << "system product";
  EXPECT_EQ(expected.version, actual.version) << "system version";
  EXPECT_EQ(expected.serial, actual.serial) << "serial number";
  EXPECT_EQ(expected.cpu, actual.cpu) << "processor";
  EXPECT_EQ(expected.speed, actual.speed) << "processor speed";
  EXPECT_EQ(expected.memory, actual.memory) << "memory modules, MB";
  EXPECT_EQ(expected.cache, actual.cache) << "second-level cache, KB";
}

struct Walked {
  int status = 0;
  Fields fields;
  std::wstring speedText, memoryText, cacheText;
  WalkRecord record;
};

Walked WalkWith(const Source& source, const TableImages& images) {
  CMachineInfo info;
  Walked walked;
  walked.status = source.walk(images, info, walked.record);
  info.FormatTexts();
  walked.fields = {info.m_strBiosVersion, info.m_strSysManufacturer, info.m_strSysProductName, info.m_strSysVersion,
                   info.m_strSysSerialNumber, info.m_strCpuVersion, info.m_wCpuSpeed, info.m_nMemoryMB,
                   info.m_nCacheKB};
  walked.speedText = info.m_strCpuSpeed;
  walked.memoryText = info.m_strMemory;
  walked.cacheText = info.m_strCache;
  return walked;
}

// ---- Explicit expectations

struct Expected {
  const char* file;
  const wchar_t* bios;
  const wchar_t* manufacturer;
  const wchar_t* product;
  const wchar_t* version;
  const wchar_t* serial;
  const wchar_t* cpu;
  uint16_t speed;
  int32_t memory;
  int32_t cache;
  const wchar_t* memoryText;
  const wchar_t* cacheText;
  const wchar_t* speedText;
  unsigned requests;
};

class SampleDump : public testing::TestWithParam<Expected> {};

// One table, every source: each fills the fields the table holds.
TEST_P(SampleDump, EverySourceFillsTheSameFields) {
  const Expected& e = GetParam();
  if (IsReal(e.file) && !HaveRealTables()) GTEST_SKIP() << NoRealTables();
  const TableImages images = ImagesOf(Load(e.file));
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.name);
    const Walked walked = WalkWith(source, images);
    EXPECT_EQ(31, walked.status);
    EXPECT_EQ(e.requests, walked.record.requests);
    ExpectFields({e.bios, e.manufacturer, e.product, e.version, e.serial, e.cpu, e.speed, e.memory, e.cache},
                 walked.fields);
    EXPECT_EQ(e.memoryText, walked.memoryText);
    EXPECT_EQ(e.cacheText, walked.cacheText);
    EXPECT_EQ(e.speedText, walked.speedText);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleDump,
    testing::Values(
        // Two central processors and a math processor: the last central one wins; 2660 is 20 x 133.
        Expected{"generic-desktop.bin", L"1.07", L"Generic PC Co.", L"Tower 5000", L"Rev A", L"To be filled by O.E.M.",
                 L"Intel(R) Core(TM)2 Duo CPU E8400 @ 3.00GHz", 2660, 2048 + 0 + 512 + 0, 6144, L"2560 MBytes",
                 L"6144 KBytes", L"2.66 GHz", 14},
        Expected{"varnel-notebook.bin", L"R0100J3", L"Varnel Corporation", L"VGN-X90", L"J001", L"28291234-5007123",
                 L"Intel(R) Pentium(R) M processor 1.60GHz", 1600, 1536, 1024, L"1536 MBytes", L"1024 KBytes",
                 L"1.60 GHz", 8},
        // wine's table from a machine without /sys/class/dmi/id: no strings, no processor, no memory.
        Expected{"wine-rsmb-blob.bin", L"", L"", L"", L"", L"", L"", 0, 0, 0, L"   0 MBytes", L"   0 KBytes", L"Unknown",
                 6},
        // Real machines. Two sockets, the second empty (status 00h, no version, speed 0) behind the first.
        Expected{"real/dell-poweredge-r630.bin", L"2.3.4", L"Dell Inc.", L"PowerEdge R630", L"", L"790H8D2",
                 L"Intel(R) Xeon(R) CPU E5-2630 v3 @ 2.40GHz", 2400, 0, 2048, L"   0 MBytes", L"2048 KBytes", L"2.40 GHz",
                 72},
        // Structure 6 has length 0: the table ends there, as dmidecode says ("DMI table is broken").
        Expected{"real/microsoft-hyperv-gen1.bin", L"090008 ", L"Microsoft Corporation", L"Virtual Machine", L"7.0",
                 L"1519-7810-4472-8775-7272-8851-12", L"", 0, 0, 0, L"   0 MBytes", L"   0 KBytes", L"Unknown", 5},
        // The blob exactly as Windows' GetSystemFirmwareTable returned it, and the same table as a dump.
        Expected{"real/microsoft-surface-laptop3-amd.rsmb", L"1.2238.140", L"Microsoft Corporation", L"Surface Laptop 3",
                 L"124I:00044T:000M:0400000B:07", L"023078193757", L"AMD Ryzen 7 Microsoft Surface (R) Edition", 2300, 0,
                 2048, L"   0 MBytes", L"2048 KBytes", L"2.30 GHz", 20},
        Expected{"real/microsoft-surface-laptop3-amd.bin", L"1.2238.140", L"Microsoft Corporation", L"Surface Laptop 3",
                 L"124I:00044T:000M:0400000B:07", L"023078193757", L"AMD Ryzen 7 Microsoft Surface (R) Edition", 2300, 0,
                 2048, L"   0 MBytes", L"2048 KBytes", L"2.30 GHz", 20},
        // 620 structures: 128 processors, 126 of them populated but disabled by the BIOS.
        Expected{"real/vmware-virtual-platform.bin", L"6.00", L"VMware, Inc.", L"VMware Virtual Platform", L"None",
                 L"VMware-56 4d e2 c3 c3 c0 e1 e2-46 22 55 4d c5 eb 6b a1", L"Intel(R) Core(TM) i7-5500U CPU @ 2.40GHz", 2400,
                 1024, 0, L"1024 MBytes", L"   0 KBytes", L"2.40 GHz", 620},
        // A vendor structure holds handle 0; BIOS Information is the twelfth structure.
        Expected{"real/lenovo-thinkpad-t480.bin", L"N22ET52W (1.29 )", L"LENOVO", L"20L8S07A14", L"ThinkPad T480s",
                 L"PC131TBF", L"Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz", 1900, 0, 1024, L"   0 MBytes", L"1024 KBytes",
                 L"1.90 GHz", 63},
        // Four vendor structures share handle DA00h: each structure is walked once all the same, 170 in all.
        Expected{"real/hp-proliant-dl580-g5.bin", L"P61", L"HP", L"ProLiant DL580 G5", L"", L"SGH802DTDB      ", L"",
                 2400, 0, 6144, L"   0 MBytes", L"6144 KBytes", L"2.40 GHz", 170},
        // The last core lists 6509 MHz beside a maximum of 2300: the speed of the cores before it stands.
        Expected{"real/apple-macbookpro8-1.bin", L"   MBP81.88Z.0047.B27.1201241646", L"Apple Inc.", L"MacBookPro8,1",
                 L"1.0", L"D92G8913DRJ7", L"Intel(R) Core(TM) i5-2415M CPU @ 2.30GHz", 2325, 0, 256, L"   0 MBytes",
                 L" 256 KBytes", L"2.32 GHz", 62}),
    [](const testing::TestParamInfo<Expected>& info) { return TestName(info.param.file); });

// ---- Against dmidecode: every table of the samples and of the real machines

std::vector<std::string> DmidecodeLines(const std::string& dumpPath, const std::string& options = "") {
  std::vector<std::string> lines;
  const std::string command = "dmidecode --from-dump '" + dumpPath + "' " + options + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  char line[4096];
  while (fgets(line, sizeof(line), pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    lines.push_back(text);
  }
  pclose(pipe);
  return lines;
}

// dmidecode's reading of a dump: per structure its handle, its type, its length and its "Key: Value" lines.
struct DecodedStructure {
  uint16_t handle = 0;
  int type = -1;
  unsigned length = 0;
  std::map<std::string, std::string> fields;

  std::string Field(const char* key) const {
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
};

std::vector<DecodedStructure> Dmidecode(const std::string& dumpPath) {
  std::vector<DecodedStructure> structures;
  for (const std::string& text : DmidecodeLines(dumpPath)) {
    unsigned handle = 0, length = 0;
    int type = 0;
    if (sscanf(text.c_str(), "Handle 0x%x, DMI type %d, %u bytes", &handle, &type, &length) == 3) {
      structures.emplace_back();
      structures.back().handle = static_cast<uint16_t>(handle);
      structures.back().type = type;
      structures.back().length = length;
    } else if (!structures.empty() && text.size() > 1 && text[0] == '\t' && text[1] != '\t') {
      const size_t colon = text.find(": ");
      if (colon != std::string::npos) structures.back().fields[text.substr(1, colon - 1)] = text.substr(colon + 2);
    }
  }
  return structures;
}

// dmidecode's dump (-u) of the formatted areas of every structure of a type, in table order.
std::vector<Bytes> DumpedAreas(const std::string& dumpPath, int type) {
  std::vector<Bytes> areas;
  bool inArea = false;
  for (const std::string& text : DmidecodeLines(dumpPath, "-u -t " + std::to_string(type))) {
    if (text.rfind("Handle 0x", 0) == 0) {
      areas.emplace_back();
      inArea = false;
    } else if (text == "\tHeader and Data:") {
      inArea = !areas.empty();
    } else if (inArea && text.rfind("\t\t", 0) == 0) {
      const char* at = text.c_str();
      char* end = nullptr;
      for (unsigned long byte = strtoul(at, &end, 16); end != at; byte = strtoul(at, &end, 16)) {
        areas.back().push_back(static_cast<uint8_t>(byte));
        at = end;
      }
    } else {
      inArea = false; // "Strings:" and the next structure
    }
  }
  return areas;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// "512 MB (Single-bank Connection)", "6 MB", "32 kB", "Not Installed"
long SizeIn(const std::string& text, long unitOfKilobytes) {
  long number = 0;
  char unit[8] = {};
  if (sscanf(text.c_str(), "%ld %7s", &number, unit) != 2) return 0;
  const std::string u(unit);
  const long kilobytes = u == "kB" ? number : u == "MB" ? number * 1024 : u == "GB" ? number * 1048576 : 0;
  return kilobytes / unitOfKilobytes;
}

// What the program must make of dmidecode's reading of a dump: the structures a walk gets, in table order
// (handle and type), and the fields, by the program's rules.
struct Reading {
  std::vector<std::pair<uint16_t, int>> structures;
  Fields fields;
};

Reading ReadAsTheProgram(const std::string& dumpPath) {
  Reading reading;
  Fields& f = reading.fields;
  // A string that a structure does not give (dmidecode: "Not Specified") or whose number lies past its set
  // ("<BAD INDEX>") leaves the field as an earlier structure set it.
  const auto store = [](const DecodedStructure& s, const char* key, std::wstring& field) {
    const std::string value = s.Field(key);
    if (value.empty() || value == "Not Specified" || value == "<BAD INDEX>") return;
    field = Wide(value);
  };
  std::vector<Bytes> cacheAreas;
  size_t caches = 0;
  for (const DecodedStructure& s : Dmidecode(dumpPath)) {
    reading.structures.emplace_back(s.handle, s.type);
    // BIOS and system information: the last structure of the type gives each string.
    if (s.type == 0) store(s, "Version", f.bios);
    if (s.type == 1) {
      store(s, "Manufacturer", f.manufacturer);
      store(s, "Product Name", f.product);
      store(s, "Version", f.version);
      store(s, "Serial Number", f.serial);
    }
    // Central processors in a populated socket, disabled ones too; the last one's name where it gives one, and
    // its current speed ("Unknown" is 0) unless no processor runs at it: 32768 MHz or more, or more than twice
    // the structure's maximum speed where that is known.
    if (s.type == 4 && s.Field("Type") == "Central Processor" && s.Field("Status") != "Unpopulated") {
      store(s, "Version", f.cpu);
      const long current = atol(s.Field("Current Speed").c_str());
      const long maximum = atol(s.Field("Max Speed").c_str());
      if (current < 32768 && (maximum == 0 || current <= 2 * maximum)) f.speed = current;
    }
    // Memory modules add up.
    if (s.type == 6) f.memory += SizeIn(s.Field("Installed Size"), 1024);
    // The last second-level cache with a size gives the cache size. The program reads the 16-bit Installed
    // Size at 09h (bit 15: in 64 KB units); in a structure of 27 bytes and more (SMBIOS 3.1) dmidecode shows
    // the 32-bit one at 17h instead, which some firmware leaves 0 (Dell's PowerEdge R640 and R740xd): there
    // the 16-bit size comes from dmidecode's dump of the structure.
    if (s.type == 7) {
      long size = SizeIn(s.Field("Installed Size"), 1);
      if (s.length >= 0x1B) {
        if (cacheAreas.empty()) cacheAreas = DumpedAreas(dumpPath, 7);
        const Bytes area = caches < cacheAreas.size() ? cacheAreas[caches] : Bytes();
        const long word = area.size() >= 0x0B ? area[0x09] | (area[0x0A] << 8) : 0;
        size = (word & 0x8000) ? (word & 0x7FFF) * 64 : word;
      }
      if (s.Field("Configuration").find("Level 2") != std::string::npos && size != 0) f.cache = size;
      ++caches;
    }
  }
  return reading;
}

bool HaveDmidecode() { return system("dmidecode --version >/dev/null 2>&1") == 0; }

// The project's samples, then every table of the shared folder (a placeholder that skips where it is missing).
std::vector<std::string> AllTables() {
  std::vector<std::string> names = {"generic-desktop.bin", "varnel-notebook.bin", "wine-rsmb-blob.bin"};
  if (!HaveRealTables()) {
    names.push_back(kReal + "missing");
    return names;
  }
  std::vector<std::string> real;
  for (const auto& entry : std::filesystem::directory_iterator(KCC_REAL_TABLES)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".bin" || extension == ".rsmb"))
      real.push_back(kReal + entry.path().filename().string());
  }
  std::sort(real.begin(), real.end());
  names.insert(names.end(), real.begin(), real.end());
  return names;
}

class AgainstDmidecode : public testing::TestWithParam<std::string> {};

// Every source walks each structure once, in table order, and fills the same fields, which are what the
// program's rules make of dmidecode's reading of the table.
TEST_P(AgainstDmidecode, EverySourceReadsWhatDmidecodeReads) {
  const std::string& name = GetParam();
  if (IsReal(name) && !HaveRealTables()) GTEST_SKIP() << NoRealTables();
  const Bytes image = Load(name);
  const TableImages images = ImagesOf(image);
  std::vector<Walked> walks;
  for (const Source& source : kSources) walks.push_back(WalkWith(source, images));
  for (size_t i = 1; i < walks.size(); ++i) {
    SCOPED_TRACE(std::string(kSources[i].name) + " against " + kSources[0].name);
    EXPECT_EQ(walks[0].status, walks[i].status);
    EXPECT_EQ(walks[0].record.requests, walks[i].record.requests);
    EXPECT_EQ(walks[0].record.served, walks[i].record.served);
    ExpectFields(walks[0].fields, walks[i].fields);
    EXPECT_EQ(walks[0].speedText, walks[i].speedText);
    EXPECT_EQ(walks[0].memoryText, walks[i].memoryText);
    EXPECT_EQ(walks[0].cacheText, walks[i].cacheText);
  }

  if (!HaveDmidecode()) GTEST_SKIP() << "dmidecode is not installed: the sources agree, its reading is not checked";
  // dmidecode reads dump images only: an RSMB blob's table goes behind an entry point of our own.
  std::string path = PathOf(name);
  char temporary[] = "/tmp/kcc-smbios-XXXXXX";
  if (!IsDump(image)) {
    const int fd = mkstemp(temporary);
    ASSERT_GE(fd, 0);
    const Bytes dump = DumpOf(image);
    ASSERT_EQ(static_cast<ssize_t>(dump.size()), write(fd, dump.data(), dump.size()));
    close(fd);
    path = temporary;
  }
  const Reading reading = ReadAsTheProgram(path);
  if (!IsDump(image)) unlink(temporary);
  ASSERT_FALSE(reading.structures.empty());
  SCOPED_TRACE(kSources[0].name);
  EXPECT_EQ(31, walks[0].status);
  EXPECT_EQ(reading.structures, walks[0].record.served);
  ExpectFields(reading.fields, walks[0].fields);
}

INSTANTIATE_TEST_SUITE_P(Tables, AgainstDmidecode, testing::ValuesIn(AllTables()),
                         [](const testing::TestParamInfo<std::string>& info) { return TestName(info.param); });

} // namespace
