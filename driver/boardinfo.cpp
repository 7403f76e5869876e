// boardinfo.sys: the DMI access driver; serves the SMBIOS structure table through IOCTL_BOARDINFO_CALL.
//
// The device is \Device\boardinfo, reachable as \\.\boardinfo and \\.\boardinfo.vxd. The table is the
// firmware's (SystemFirmwareTableInformation, 'RSMB') unless a file is named below.
//
// Values under the service key's Parameters subkey, read once at start (restart the service to change them):
//   TableFile             REG_SZ  serve this file: a `dmidecode --dump-bin` image (entry point _SM_, _SM3_ or
//                                 _DMI_ at offset 0) or an RSMB blob (8-byte header, then the table); a DOS
//                                 path (C:\..., Z:\...) or an NT path (\??\...). An empty value means none.
//                                 A file that cannot be read, or over 1 MB, keeps the driver from starting.
//   FailInfo              DWORD   non-zero: the information request fails (STATUS_IO_DEVICE_ERROR)
//   InfoStatus            DWORD   status byte (low 8 bits) of the information reply
//   StructureCount        DWORD   structure count given by the information reply (clamped to 0xFFFF)
//   LargestStructure      DWORD   largest-structure size given by the information reply (clamped to 0xFFFF)
//   NoStructureHandle     DWORD   answer status 0x83 to structure requests for this handle ...
//   NoStructureCount      DWORD   ... this many times per walk (absent: 1; 0xFFFFFFFF: always)
//   StructureStatus       DWORD   status byte (low 8 bits, non-zero) of every structure reply ...
//   StructureStatusHandle DWORD   ... or only of the replies for this handle
//   FailStructure         DWORD   the n-th structure request of a walk (1-based) fails (STATUS_IO_DEVICE_ERROR)
//   CopyTruncated         DWORD   non-zero: a structure bigger than the reply buffer is cut to fit, status 0;
//                                 otherwise such a request gets status 0x8C and no structure bytes
//   HoldRequest           DWORD   the n-th structure request of a walk (1-based) is answered, then held ...
//   HoldMs                DWORD   ... this many milliseconds (absent: 10000, at most 60000) before it completes.
//                                 The auto-reset event \BaseNamedObjects\boardinfo-hold is set as the hold
//                                 begins, so that a test can stop the service in the middle of a walk.
// Each open handle (file object) walks on its own, from its latest information request; the per-walk counters
// begin again there (docs/firmware.md has the walk's rules).
//
// A length without a system buffer fails with STATUS_INVALID_USER_BUFFER, short input with STATUS_INVALID_PARAMETER,
// output too short for a reply's fixed part with STATUS_BUFFER_TOO_SMALL, another control code with
// STATUS_INVALID_DEVICE_REQUEST; an unknown function gets the one-byte reply 0x81.
#include <ntddk.h>

#include "smbios/dmi_table.h"
#include "smbios/boardinfo_protocol.h"

// MinGW's DDK headers leave these out.
extern "C" NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG informationClass, PVOID information,
                                                            ULONG length, PULONG returnLength);
extern "C" NTSYSAPI NTSTATUS NTAPI ZwCreateEvent(PHANDLE event, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                                 EVENT_TYPE type, BOOLEAN initialState);
extern "C" NTSYSAPI NTSTATUS NTAPI ZwSetEvent(HANDLE event, PLONG previousState);

namespace {

const ULONG kPoolTag = 0x42647242u; // "BrdB" in a pool dump
const ULONG kSystemFirmwareTableInformation = 76;
const ULONG kProviderRsmb = 0x52534D42u; // 'RSMB'
const ULONG kFirmwareTableGet = 1;
const LONGLONG kMaxTableFile = 1024LL * 1024;
const ULONG kMaxPathBytes = 2048;
const ULONG kDefaultHoldMs = 10000;
const ULONG kMaxHoldMs = 60000;
const wchar_t kHoldEventName[] = L"\\BaseNamedObjects\\boardinfo-hold";

struct FirmwareTableRequest {
  ULONG providerSignature;
  ULONG action;
  ULONG tableId;
  ULONG tableBufferLength;
  // the table follows
};

// HoldRequest and HoldMs: a pause inside one request of a walk.
struct HoldSettings {
  uint32_t request; // 0: none
  uint32_t ms;
};

struct DeviceState {
  BoardInfoServer server;
  UCHAR* image;
  DmiEntry* entries;
  HoldSettings hold;
  HANDLE holdEvent; // set when the hold begins; null without HoldRequest
};

const wchar_t kDeviceName[] = L"\\Device\\boardinfo";
const wchar_t* const kLinkNames[] = {L"\\DosDevices\\boardinfo", L"\\DosDevices\\boardinfo.vxd"};
const ULONG kLinkCount = sizeof(kLinkNames) / sizeof(kLinkNames[0]);

void* AllocatePool(SIZE_T bytes) { return ::ExAllocatePoolWithTag(NonPagedPool, bytes ? bytes : 1, kPoolTag); }
void FreePool(void* memory) {
  if (memory != nullptr) ::ExFreePoolWithTag(memory, kPoolTag);
}

// Owns a block of pool memory.
template <typename T>
class PoolBuffer {
public:
  PoolBuffer() = default;
  ~PoolBuffer() { FreePool(m_p); }
  PoolBuffer(const PoolBuffer&) = delete;
  PoolBuffer& operator=(const PoolBuffer&) = delete;
  bool Allocate(SIZE_T count) {
    FreePool(m_p);
    m_p = static_cast<T*>(AllocatePool(count * sizeof(T)));
    return m_p != nullptr;
  }
  T* Get() const { return m_p; }
  T* Release() {
    T* p = m_p;
    m_p = nullptr;
    return p;
  }

private:
  T* m_p = nullptr;
};

// Owns a kernel handle (key, file).
class KernelHandle {
public:
  KernelHandle() = default;
  ~KernelHandle() {
    if (m_h != nullptr) ::ZwClose(m_h);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  HANDLE* Receive() { return &m_h; }
  HANDLE Get() const { return m_h; }

private:
  HANDLE m_h = nullptr;
};

NTSTATUS OpenKey(HANDLE root, PUNICODE_STRING name, KernelHandle* key) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
  return ::ZwOpenKey(key->Receive(), KEY_READ, &attributes);
}

bool ReadDword(HANDLE key, const wchar_t* name, uint32_t* value) {
  UNICODE_STRING valueName;
  ::RtlInitUnicodeString(&valueName, name);
  union {
    KEY_VALUE_PARTIAL_INFORMATION info;
    UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
  } buffer;
  ULONG length = 0;
  NTSTATUS status =
      ::ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, &buffer, sizeof(buffer), &length);
  if (!NT_SUCCESS(status) || buffer.info.Type != REG_DWORD || buffer.info.DataLength != sizeof(ULONG))
    return false;
  __builtin_memcpy(value, buffer.info.Data, sizeof(ULONG));
  return true;
}

// The TableFile value as an NT path in `path` (Length 0 when the value is absent or empty).
NTSTATUS ReadTableFile(HANDLE key, PoolBuffer<wchar_t>* storage, UNICODE_STRING* path) {
  path->Length = path->MaximumLength = 0;
  path->Buffer = nullptr;
  UNICODE_STRING valueName;
  ::RtlInitUnicodeString(&valueName, L"TableFile");
  PoolBuffer<UCHAR> raw;
  const ULONG rawSize = sizeof(KEY_VALUE_PARTIAL_INFORMATION) + kMaxPathBytes;
  if (!raw.Allocate(rawSize)) return STATUS_INSUFFICIENT_RESOURCES;
  auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(raw.Get());
  ULONG length = 0;
  NTSTATUS status = ::ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, rawSize, &length);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) return STATUS_SUCCESS;
  if (!NT_SUCCESS(status)) return status;
  if (info->Type != REG_SZ && info->Type != REG_EXPAND_SZ) return STATUS_OBJECT_TYPE_MISMATCH;
  const wchar_t* text = reinterpret_cast<const wchar_t*>(info->Data);
  ULONG chars = info->DataLength / sizeof(wchar_t);
  ULONG used = 0;
  while (used < chars && text[used] != L'\0') ++used;
  if (used == 0) return STATUS_SUCCESS;

  // DOS paths go under \??\, \\?\X:\ and \\server\share as well; anything else starting with \ is NT already.
  const wchar_t* prefix = L"";
  ULONG skip = 0;
  if (used >= 4 && text[0] == L'\\' && (text[1] == L'\\' || text[1] == L'?') && text[2] == L'?' &&
      text[3] == L'\\') {
    prefix = L"\\??\\";
    skip = 4;
  } else if (used >= 2 && text[0] == L'\\' && text[1] == L'\\') {
    prefix = L"\\??\\UNC\\";
    skip = 2;
  } else if (used >= 2 && text[1] == L':') {
    prefix = L"\\??\\";
  } else if (text[0] != L'\\') {
    return STATUS_OBJECT_PATH_SYNTAX_BAD;
  }
  ULONG prefixChars = 0;
  while (prefix[prefixChars] != L'\0') ++prefixChars;
  ULONG total = prefixChars + used - skip;
  if (!storage->Allocate(total + 1)) return STATUS_INSUFFICIENT_RESOURCES;
  wchar_t* out = storage->Get();
  __builtin_memcpy(out, prefix, prefixChars * sizeof(wchar_t));
  __builtin_memcpy(out + prefixChars, text + skip, (used - skip) * sizeof(wchar_t));
  out[total] = L'\0';
  path->Buffer = out;
  path->Length = static_cast<USHORT>(total * sizeof(wchar_t));
  path->MaximumLength = static_cast<USHORT>(path->Length + sizeof(wchar_t));
  return STATUS_SUCCESS;
}

// Settings absent from the registry stay at their defaults; so does everything when Parameters is missing.
NTSTATUS ReadSettings(PUNICODE_STRING registryPath, BoardInfoFaults* faults, HoldSettings* hold,
                      PoolBuffer<wchar_t>* pathStorage, UNICODE_STRING* tableFile) {
  *faults = BoardInfoFaults();
  *hold = {0, kDefaultHoldMs};
  tableFile->Length = 0;
  KernelHandle service;
  if (!NT_SUCCESS(OpenKey(nullptr, registryPath, &service))) return STATUS_SUCCESS;
  UNICODE_STRING name;
  ::RtlInitUnicodeString(&name, L"Parameters");
  KernelHandle parameters;
  if (!NT_SUCCESS(OpenKey(service.Get(), &name, &parameters))) return STATUS_SUCCESS;
  HANDLE key = parameters.Get();

  ReadDword(key, L"FailInfo", &faults->failInfo);
  ReadDword(key, L"InfoStatus", &faults->infoStatus);
  faults->hasStructureCount = ReadDword(key, L"StructureCount", &faults->structureCount);
  faults->hasLargestStructure = ReadDword(key, L"LargestStructure", &faults->largestStructure);
  faults->hasNoStructureHandle = ReadDword(key, L"NoStructureHandle", &faults->noStructureHandle);
  if (!ReadDword(key, L"NoStructureCount", &faults->noStructureCount)) faults->noStructureCount = 1;
  ReadDword(key, L"StructureStatus", &faults->structureStatus);
  faults->hasStructureStatusHandle = ReadDword(key, L"StructureStatusHandle", &faults->structureStatusHandle);
  ReadDword(key, L"FailStructure", &faults->failStructure);
  ReadDword(key, L"CopyTruncated", &faults->copyTruncated);
  ReadDword(key, L"HoldRequest", &hold->request);
  ReadDword(key, L"HoldMs", &hold->ms);
  if (hold->ms > kMaxHoldMs) hold->ms = kMaxHoldMs;
  return ReadTableFile(key, pathStorage, tableFile);
}

NTSTATUS ReadWholeFile(PUNICODE_STRING path, PoolBuffer<UCHAR>* data, SIZE_T* size) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  IO_STATUS_BLOCK io;
  KernelHandle file;
  NTSTATUS status = ::ZwCreateFile(file.Receive(), GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
  if (!NT_SUCCESS(status)) return status;
  FILE_STANDARD_INFORMATION standard;
  status = ::ZwQueryInformationFile(file.Get(), &io, &standard, sizeof(standard), FileStandardInformation);
  if (!NT_SUCCESS(status)) return status;
  LONGLONG fileSize = standard.EndOfFile.QuadPart;
  if (fileSize < 0 || fileSize > kMaxTableFile) return STATUS_FILE_TOO_LARGE;
  if (!data->Allocate(static_cast<SIZE_T>(fileSize))) return STATUS_INSUFFICIENT_RESOURCES;
  SIZE_T done = 0;
  while (done < static_cast<SIZE_T>(fileSize)) {
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(done);
    status = ::ZwReadFile(file.Get(), nullptr, nullptr, nullptr, &io, data->Get() + done,
                          static_cast<ULONG>(fileSize - done), &offset, nullptr);
    if (status == STATUS_END_OF_FILE || (NT_SUCCESS(status) && io.Information == 0)) break;
    if (!NT_SUCCESS(status)) return status;
    done += io.Information;
  }
  *size = done;
  return STATUS_SUCCESS;
}

// The firmware's RSMB blob: asked once for its size, then for the blob.
NTSTATUS ReadFirmwareTable(PoolBuffer<UCHAR>* data, SIZE_T* blobOffset, SIZE_T* blobSize) {
  FirmwareTableRequest probe = {kProviderRsmb, kFirmwareTableGet, 0, 0};
  ULONG needed = 0;
  NTSTATUS status = ::ZwQuerySystemInformation(kSystemFirmwareTableInformation, &probe, sizeof(probe), &needed);
  // Not even an RSMB header fits in no bytes: success here means the firmware has no table.
  if (NT_SUCCESS(status)) return STATUS_NOT_FOUND;
  if (status != STATUS_BUFFER_TOO_SMALL || needed <= sizeof(probe)) return status;
  if (!data->Allocate(needed)) return STATUS_INSUFFICIENT_RESOURCES;
  auto* request = reinterpret_cast<FirmwareTableRequest*>(data->Get());
  *request = {kProviderRsmb, kFirmwareTableGet, 0, needed - static_cast<ULONG>(sizeof(probe))};
  ULONG returned = 0;
  status = ::ZwQuerySystemInformation(kSystemFirmwareTableInformation, request, needed, &returned);
  if (!NT_SUCCESS(status)) return status;
  SIZE_T available = needed - sizeof(probe);
  *blobOffset = sizeof(probe);
  *blobSize = request->tableBufferLength < available ? request->tableBufferLength : available;
  return STATUS_SUCCESS;
}

HANDLE CreateHoldEvent() {
  UNICODE_STRING name;
  ::RtlInitUnicodeString(&name, kHoldEventName);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_OPENIF | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE event = nullptr;
  if (!NT_SUCCESS(::ZwCreateEvent(&event, EVENT_ALL_ACCESS, &attributes, SynchronizationEvent, FALSE))) return nullptr;
  return event;
}

void DeleteLinks() {
  for (ULONG i = 0; i < kLinkCount; ++i) {
    UNICODE_STRING link;
    ::RtlInitUnicodeString(&link, kLinkNames[i]);
    ::IoDeleteSymbolicLink(&link);
  }
}

NTSTATUS CreateLinks(PUNICODE_STRING deviceName) {
  for (ULONG i = 0; i < kLinkCount; ++i) {
    UNICODE_STRING link;
    ::RtlInitUnicodeString(&link, kLinkNames[i]);
    NTSTATUS status = ::IoCreateSymbolicLink(&link, deviceName);
    if (status == STATUS_OBJECT_NAME_COLLISION) {
      // Left behind by an instance that never unloaded (its host process died): ours now.
      ::IoDeleteSymbolicLink(&link);
      status = ::IoCreateSymbolicLink(&link, deviceName);
    }
    if (!NT_SUCCESS(status)) {
      for (ULONG j = 0; j < i; ++j) {
        ::RtlInitUnicodeString(&link, kLinkNames[j]);
        ::IoDeleteSymbolicLink(&link);
      }
      return status;
    }
  }
  return STATUS_SUCCESS;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// Each open handle gets its walk in the file object's FsContext; it goes with the handle's last close.
NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  auto* walk = static_cast<BoardInfoWalk*>(AllocatePool(sizeof(BoardInfoWalk)));
  if (walk == nullptr) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  InitBoardInfoWalk(&static_cast<DeviceState*>(device->DeviceExtension)->server, walk);
  IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext = walk;
  return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS, 0); }

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT, PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  FreePool(file->FsContext);
  file->FsContext = nullptr;
  return Complete(irp, STATUS_SUCCESS, 0);
}

// The reply is already in the IRP's buffer: nothing of the device is touched after the pause, so the
// service may be stopped meanwhile.
void Hold(HANDLE event, ULONG ms) {
  if (event) ::ZwSetEvent(event, nullptr);
  LARGE_INTEGER delay;
  delay.QuadPart = -10000LL * ms; // relative, in 100 ns units
  ::KeDelayExecutionThread(KernelMode, FALSE, &delay);
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_BOARDINFO_CALL)
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  auto* state = static_cast<DeviceState*>(device->DeviceExtension);
  auto* walk = static_cast<BoardInfoWalk*>(stack->FileObject->FsContext);
  if (walk == nullptr) return Complete(irp, STATUS_INVALID_DEVICE_STATE, 0);
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  // Windows gives a buffered request a system buffer whenever a length is not zero; wine passes a caller's
  // null input with its length through as a null buffer. Never read or write through it.
  if (buffer == nullptr && (inputLength != 0 || stack->Parameters.DeviceIoControl.OutputBufferLength != 0))
    return Complete(irp, STATUS_INVALID_USER_BUFFER, 0);
  // Read before the reply overwrites the request in the shared buffer.
  uint16_t function = 0;
  if (inputLength >= sizeof(function)) __builtin_memcpy(&function, buffer, sizeof(function));
  size_t written = 0;
  switch (BoardInfoCall(&state->server, walk, buffer, inputLength, buffer,
                        stack->Parameters.DeviceIoControl.OutputBufferLength, &written)) {
  case kBoardInfoReplied:
    if (state->hold.request != 0 && function == BOARDINFO_GET_STRUCTURE &&
        __atomic_load_n(&walk->structureRequests, __ATOMIC_SEQ_CST) == state->hold.request)
      Hold(state->holdEvent, state->hold.ms);
    return Complete(irp, STATUS_SUCCESS, written);
  case kBoardInfoInvalidParameter:
    return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  case kBoardInfoBufferTooSmall:
    return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
  case kBoardInfoDeviceError:
  default:
    return Complete(irp, STATUS_IO_DEVICE_ERROR, 0);
  }
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  DeleteLinks();
  PDEVICE_OBJECT device = driver->DeviceObject;
  if (device == nullptr) return;
  auto* state = static_cast<DeviceState*>(device->DeviceExtension);
  FreePool(state->entries);
  FreePool(state->image);
  if (state->holdEvent) ::ZwClose(state->holdEvent);
  ::IoDeleteDevice(device);
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  BoardInfoFaults faults;
  HoldSettings hold;
  PoolBuffer<wchar_t> pathStorage;
  UNICODE_STRING tableFile;
  NTSTATUS status = ReadSettings(registryPath, &faults, &hold, &pathStorage, &tableFile);
  if (!NT_SUCCESS(status)) {
    ::DbgPrint("boardinfo: TableFile unusable (0x%08lx)\n", status);
    return status;
  }

  PoolBuffer<UCHAR> image;
  DmiImage located = {};
  if (tableFile.Length != 0) {
    SIZE_T size = 0;
    status = ReadWholeFile(&tableFile, &image, &size);
    if (NT_SUCCESS(status) && !LocateDmiTable(image.Get(), size, &located)) status = STATUS_INVALID_IMAGE_FORMAT;
  } else {
    SIZE_T offset = 0;
    SIZE_T size = 0;
    status = ReadFirmwareTable(&image, &offset, &size);
    if (NT_SUCCESS(status) && !LocateRsmbTable(image.Get() + offset, size, &located))
      status = STATUS_INVALID_IMAGE_FORMAT;
  }
  if (!NT_SUCCESS(status)) {
    ::DbgPrint("boardinfo: no table (0x%08lx)\n", status);
    return status;
  }

  PoolBuffer<DmiEntry> entries;
  uint32_t count = CountDmiStructures(located.table, located.size);
  if (!entries.Allocate(count)) return STATUS_INSUFFICIENT_RESOURCES;
  DmiTable table;
  IndexDmiTable(located, entries.Get(), count, &table);

  UNICODE_STRING deviceName;
  ::RtlInitUnicodeString(&deviceName, kDeviceName);
  PDEVICE_OBJECT device = nullptr;
  status = ::IoCreateDevice(driver, sizeof(DeviceState), &deviceName, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  // Ready to serve before the links make the device reachable.
  auto* state = static_cast<DeviceState*>(device->DeviceExtension);
  InitBoardInfoServer(&state->server, table, faults);
  state->hold = hold;
  state->holdEvent = hold.request != 0 ? CreateHoldEvent() : nullptr;
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  status = CreateLinks(&deviceName);
  if (!NT_SUCCESS(status)) {
    if (state->holdEvent) ::ZwClose(state->holdEvent);
    ::IoDeleteDevice(device);
    return status;
  }
  state->image = image.Release();
  state->entries = entries.Release();
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
