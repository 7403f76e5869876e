// The walk over real table images (dmidecode dumps, wine's RSMB blob), checked against dmidecode's own reading.
#include "sources/machine_info.h"

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "smbios/dmi_table.h"
#include "tests/support/table_builder.h"
#include "tests/support/table_server.h"

namespace {

std::string Sample(const char* name) { return std::string(KCC_SMBIOS_SAMPLES) + "/" + name; }

using tablebuilder::Bytes;

// A test name of a sample's file name: "real/dell-poweredge-r630.bin" is real_dell_poweredge_r630_bin.
std::string SampleName(std::string name) {
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

struct Walked {
  int status = 0;
  unsigned requests = 0;
  size_t structures = 0;
};

// The walk against the driver's own table logic serving the image.
Walked WalkImage(const Bytes& image, CMachineInfo& info) {
  tablebuilder::Driver device(image);
  Walked walked;
  walked.status = info.WalkTable(device);
  walked.requests = device.StructureRequests();
  walked.structures = device.Table().count;
  info.FormatTexts();
  return walked;
}

Bytes Load(const char* name) {
  std::ifstream in(Sample(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

DmiImage Locate(const Bytes& image) {
  DmiImage view{};
  EXPECT_TRUE(LocateDmiTable(image.data(), image.size(), &view));
  return view;
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

// The same table as Windows' firmware table hands it out: an RSMB blob as it is, a dump's table behind the
// blob's header.
Bytes FirmwareBlobOf(const Bytes& image) {
  if (image.size() >= 4 && (memcmp(image.data(), "_SM_", 4) == 0 || memcmp(image.data(), "_SM3", 4) == 0)) {
    const DmiImage view = Locate(image);
    return tablebuilder::RsmbBlob(Bytes(view.table, view.table + view.size), view.major, view.minor);
  }
  return image;
}

// One table, two sources: the fields after the walk through the driver's requests equal those after the walk
// over Windows' firmware table, and both are what the table holds.
TEST_P(SampleDump, BothSourcesFillTheSameFields) {
  const Expected& e = GetParam();
  const Bytes image = Load(e.file);
  CMachineInfo viaDriver;
  const Walked walked = WalkImage(image, viaDriver);
  EXPECT_EQ(31, walked.status);
  EXPECT_EQ(e.requests, walked.requests);
  CMachineInfo viaFirmware;
  EXPECT_EQ(31, viaFirmware.WalkFirmwareTable(FirmwareBlobOf(image)));
  EXPECT_EQ(TableSource::kFirmware, viaFirmware.m_tableSource);
  viaFirmware.FormatTexts();
  for (const CMachineInfo* info : {&viaDriver, &viaFirmware}) {
    SCOPED_TRACE(info == &viaDriver ? "through the driver's requests" : "over the firmware table");
    EXPECT_EQ(e.bios, info->m_strBiosVersion);
    EXPECT_EQ(e.manufacturer, info->m_strSysManufacturer);
    EXPECT_EQ(e.product, info->m_strSysProductName);
    EXPECT_EQ(e.version, info->m_strSysVersion);
    EXPECT_EQ(e.serial, info->m_strSysSerialNumber);
    EXPECT_EQ(e.cpu, info->m_strCpuVersion);
    EXPECT_EQ(e.speed, info->m_wCpuSpeed);
    EXPECT_EQ(e.memory, info->m_nMemoryMB);
    EXPECT_EQ(e.cache, info->m_nCacheKB);
    EXPECT_EQ(e.memoryText, info->m_strMemory);
    EXPECT_EQ(e.cacheText, info->m_strCache);
    EXPECT_EQ(e.speedText, info->m_strCpuSpeed);
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
                 L"1.90 GHz", 63}),
    [](const testing::TestParamInfo<Expected>& info) { return SampleName(info.param.file); });

// dmidecode's reading of a dump: per structure its type and "Key: Value" lines.
struct DecodedStructure {
  int type = -1;
  std::map<std::string, std::string> fields;
};

std::vector<DecodedStructure> Dmidecode(const std::string& dumpPath) {
  std::vector<DecodedStructure> structures;
  const std::string command = "dmidecode --from-dump '" + dumpPath + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return structures;
  char line[1024];
  while (fgets(line, sizeof(line), pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    int type = 0;
    if (sscanf(text.c_str(), "Handle 0x%*x, DMI type %d,", &type) == 1) {
      structures.emplace_back();
      structures.back().type = type;
    } else if (!structures.empty() && text.size() > 1 && text[0] == '\t' && text[1] != '\t') {
      const size_t colon = text.find(": ");
      if (colon != std::string::npos) structures.back().fields[text.substr(1, colon - 1)] = text.substr(colon + 2);
    }
  }
  pclose(pipe);
  return structures;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::wstring StringField(const DecodedStructure& s, const char* key) {
  const auto it = s.fields.find(key);
  return it == s.fields.end() || it->second == "Not Specified" ? std::wstring() : Wide(it->second);
}
// "512 MB (Single-bank Connection)", "6 MB", "32 kB", "Not Installed"
long SizeIn(const std::string& text, long unitOfKilobytes) {
  long number = 0;
  char unit[8] = {};
  if (sscanf(text.c_str(), "%ld %7s", &number, unit) != 2) return 0;
  const std::string u(unit);
  const long kilobytes = u == "kB" ? number : u == "MB" ? number * 1024 : u == "GB" ? number * 1048576 : 0;
  return kilobytes / unitOfKilobytes;
}

bool HaveDmidecode() { return system("dmidecode --version >/dev/null 2>&1") == 0; }

class AgainstDmidecode : public testing::TestWithParam<const char*> {};

TEST_P(AgainstDmidecode, SameValuesAsDmidecodeReads) {
  if (!HaveDmidecode()) GTEST_SKIP() << "dmidecode is not installed";
  const Bytes image = Load(GetParam());
  // dmidecode reads dump images only: give it the table behind an entry point of our own.
  char path[] = "/tmp/kcc-smbios-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const Bytes dump = DumpOf(image);
  ASSERT_EQ(static_cast<ssize_t>(dump.size()), write(fd, dump.data(), dump.size()));
  close(fd);
  const std::vector<DecodedStructure> decoded = Dmidecode(path);
  unlink(path);
  ASSERT_FALSE(decoded.empty());

  std::wstring bios, manufacturer, product, version, serial, cpu;
  long speed = 0, memory = 0, cache = 0;
  for (const DecodedStructure& s : decoded) {
    if (s.type == 0) bios = StringField(s, "Version");
    if (s.type == 1) {
      manufacturer = StringField(s, "Manufacturer");
      product = StringField(s, "Product Name");
      version = StringField(s, "Version");
      serial = StringField(s, "Serial Number");
    }
    // An empty socket is no processor.
    if (s.type == 4 && s.fields.at("Type") == "Central Processor" && s.fields.at("Status") != "Unpopulated") {
      if (!StringField(s, "Version").empty()) cpu = StringField(s, "Version");
      speed = atol(s.fields.at("Current Speed").c_str()); // "Unknown" reads as 0
    }
    if (s.type == 6) memory += SizeIn(s.fields.at("Installed Size"), 1024);
    if (s.type == 7 && s.fields.at("Configuration").find("Level 2") != std::string::npos) {
      if (const long size = SizeIn(s.fields.at("Installed Size"), 1)) cache = size;
    }
  }

  CMachineInfo info;
  EXPECT_EQ(31, WalkImage(image, info).status);
  EXPECT_EQ(bios, info.m_strBiosVersion);
  EXPECT_EQ(manufacturer, info.m_strSysManufacturer);
  EXPECT_EQ(product, info.m_strSysProductName);
  EXPECT_EQ(version, info.m_strSysVersion);
  EXPECT_EQ(serial, info.m_strSysSerialNumber);
  EXPECT_EQ(cpu, info.m_strCpuVersion);
  EXPECT_EQ(speed, info.m_wCpuSpeed);
  EXPECT_EQ(memory, info.m_nMemoryMB);
  EXPECT_EQ(cache, info.m_nCacheKB);
}

INSTANTIATE_TEST_SUITE_P(Samples, AgainstDmidecode,
                         testing::Values("generic-desktop.bin", "varnel-notebook.bin", "wine-rsmb-blob.bin",
                                         "real/dell-poweredge-r630.bin", "real/microsoft-hyperv-gen1.bin",
                                         "real/microsoft-surface-laptop3-amd.bin", "real/vmware-virtual-platform.bin",
                                         "real/lenovo-thinkpad-t480.bin"),
                         [](const testing::TestParamInfo<const char*>& info) { return SampleName(info.param); });

} // namespace
