// hastable.exe: tells install-driver.cmd whether KCCSystemInfo reads the firmware's table without a driver.
// Exit status 0: Windows hands out its firmware table (GetSystemFirmwareTable 'RSMB', Vista, XP x64 and
// Server 2003 SP1 on) and it holds a structure, so the program needs no driver; 1: it does not (32-bit XP).
// The same reading and the same rule the program applies when no driver opens.
#include "sources/machine_info.h"
#include "sources/firmware_table.h"

int main() {
  CMachineInfo info;
  return info.WalkFirmwareTable(ReadWindowsFirmwareTable()) != 0 ? 0 : 1;
}
