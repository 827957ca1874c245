// The one device-control road to the filter driver. On Windows these are CreateFileA and
// DeviceIoControl; on the host a backend (the in-process stand-in driver) answers instead.
#pragma once
#include <cstdint>

using DeviceHandle = intptr_t;
constexpr DeviceHandle kInvalidDevice = -1;

// Win32 access, share and flag numbers used by the driver link.
constexpr uint32_t kDeviceRead = 0x80000000u;       // GENERIC_READ
constexpr uint32_t kDeviceWrite = 0x40000000u;      // GENERIC_WRITE
constexpr uint32_t kDeviceShareRead = 0x00000001u;  // FILE_SHARE_READ
constexpr uint32_t kDeviceDeleteOnClose = 0x04000000u;  // FILE_FLAG_DELETE_ON_CLOSE

// Opens an existing device by name (open-existing, no security attributes, no template).
DeviceHandle DeviceOpen(const char* name, uint32_t access, uint32_t share, uint32_t flags);
// One buffered request. `returned` receives the bytes the driver wrote into `out`.
bool DeviceControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned);

// Host only: who answers for devices. `open` tells whether a name is served; `control` answers
// a request (false = the request failed).
struct CHostDeviceBackend {
  bool (*Open)(const char* name);
  bool (*Control)(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                  uint32_t* returned);
};
void SetHostDeviceBackend(const CHostDeviceBackend* backend);  // nullptr: no device opens
