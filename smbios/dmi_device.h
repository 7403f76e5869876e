// The seam between the table walk and the boardinfo driver: one device control call, request in, reply out.
#ifndef KCC_SMBIOS_DMI_DEVICE_H
#define KCC_SMBIOS_DMI_DEVICE_H

#include <stdint.h>

class IDmiDevice {
public:
  // True when the control call itself succeeded (DeviceIoControl's BOOL); the reply's status byte
  // is the caller's business.
  virtual bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) = 0;

protected:
  ~IDmiDevice() = default;
};

// Sees every call a walk makes and what came back: the capture tool rebuilds the table from the replies.
class IDmiCallObserver {
public:
  virtual void OnCall(const void* input, uint32_t inputSize, const void* output, uint32_t outputSize,
                      bool succeeded) = 0;

protected:
  ~IDmiCallObserver() = default;
};

#endif
