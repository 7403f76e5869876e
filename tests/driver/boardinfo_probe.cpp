// Prints what the boardinfo device answers, for the service script's tests: boardinfo_probe [DEVICE_PATH].
// One line "status=S revision=R count=N largest=L size=Z walked=W last=0|1" and exit 0, or
// "open failed: E" / "information request failed: E" and exit 1.
#include "smbios/boardinfo_protocol.h"
#include "tests/driver/boardinfo_client.h"

#include <cstdio>

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "\\\\.\\boardinfo";
  drivertest::BoardInfoClient device(path);
  if (!device.IsOpen()) {
    std::printf("open failed: %lu\n", device.OpenError());
    return 1;
  }
  drivertest::IoResult info = device.Info();
  if (!info.ok) {
    std::printf("information request failed: %lu\n", info.error);
    return 1;
  }
  bool last = false;
  unsigned walked = 0;
  if (info.Status() == BOARDINFO_STATUS_OK)
    walked = static_cast<unsigned>(device.Walk(info.Word(4) + 3u, info.Word(2), &last).size());
  std::printf("status=%u revision=%u count=%u largest=%u size=%u walked=%u last=%d\n", info.Status(), info.out[1],
              info.Word(2), info.Word(4), info.Word(10), walked, last ? 1 : 0);
  return 0;
}
