// Win32 side of the driver link: the OS version, the service manager and the process-status
// functions, all looked up by name at run time (they are missing on Win9x).
#include <windows.h>

#include <cstring>

#include "platform/gbk.h"
#include "base/result.h"
#include "base/text.h"
#include "driver/connection.h"
#include "driver/protocol.h"
#include "platform/win32/handles.h"

namespace {
using OpenSCManagerFn = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
using OpenServiceFn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
using StartServiceFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPCSTR*);
using QueryServiceStatusFn = BOOL(WINAPI*)(SC_HANDLE, LPSERVICE_STATUS);
using CloseServiceHandleFn = BOOL(WINAPI*)(SC_HANDLE);
using ControlServiceFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);

struct CSystemFunctions {
  OpenSCManagerFn OpenSCManagerA;
  OpenServiceFn OpenServiceA;
  StartServiceFn StartServiceA;
  QueryServiceStatusFn QueryServiceStatus;
  CloseServiceHandleFn CloseServiceHandle;
  ControlServiceFn ControlService;  // looked up, never used: the console never stops the service
  GetModuleFileNameExFn GetModuleFileNameExA;
  EnumProcessModulesFn EnumProcessModules;
};
CSystemFunctions g_fn;

template <class Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr DWORD kServiceAllAccess = 0xF01FF;

// The NT branch from the opened manager on; the caller closes the manager.
uint32_t StartAndOpen(SC_HANDLE manager, uint8_t start, const char* serviceName, DeviceHandle* cell) {
  CServiceHandle service(g_fn.OpenServiceA(manager, serviceName, kServiceAllAccess), g_fn.CloseServiceHandle);
  if (!service.Valid())
    return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? RESULT_SERVICE_NOT_INSTALLED
                                                          : RESULT_SERVICE_NOT_ACCESSIBLE;
  SERVICE_STATUS status = {};
  if (!g_fn.QueryServiceStatus(service.Get(), &status)) return RESULT_SERVICE_NOT_ACCESSIBLE;
  if (start == 1 && status.dwCurrentState == SERVICE_STOPPED) {
    g_fn.StartServiceA(service.Get(), 0, nullptr);
    Sleep(500);  // one wait, no polling: a slow start is reported as not running
    if (!g_fn.QueryServiceStatus(service.Get(), &status)) status.dwCurrentState = SERVICE_STOPPED;
  }
  if (status.dwCurrentState != SERVICE_RUNNING) return RESULT_SERVICE_NOT_RUNNING;
  *cell = DeviceOpen(RKFW_NT_DEVICE_NAME, kDeviceRead | kDeviceWrite, kDeviceShareRead, 0);
  return *cell == kInvalidDevice ? RESULT_DEVICE_OPEN_FAILED : RESULT_OK;
}

// A system library from the system folder by its full path: NT 4.0 has no psapi.dll of its
// own, and the search would go on to the current folder and the PATH.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  size_t size = strlen(name) + 1;
  if (length == 0 || length + 1 + size > MAX_PATH) return nullptr;
  path[length] = '\\';
  memcpy(path + length + 1, name, size);
  return LoadLibraryA(path);
}
}  // namespace

uint32_t DetectPlatformOnSystem(bool* nt) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
  static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record");
  if (!GetVersionExA(&version)) return RESULT_UNSUPPORTED_PLATFORM;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    *nt = false;
  } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    *nt = true;
  } else {
    return RESULT_UNSUPPORTED_PLATFORM;
  }
  memset(&g_fn, 0, sizeof g_fn);
  if (!*nt) return RESULT_OK;
  HMODULE advapi = LoadSystemLibrary("ADVAPI32.DLL");  // never unloaded
  if (advapi == nullptr) return RESULT_SERVICE_LIBRARY_MISSING;
  g_fn.OpenSCManagerA = Lookup<OpenSCManagerFn>(advapi, "OpenSCManagerA");
  g_fn.OpenServiceA = Lookup<OpenServiceFn>(advapi, "OpenServiceA");
  g_fn.StartServiceA = Lookup<StartServiceFn>(advapi, "StartServiceA");
  g_fn.QueryServiceStatus = Lookup<QueryServiceStatusFn>(advapi, "QueryServiceStatus");
  g_fn.CloseServiceHandle = Lookup<CloseServiceHandleFn>(advapi, "CloseServiceHandle");
  g_fn.ControlService = Lookup<ControlServiceFn>(advapi, "ControlService");
  if (HMODULE psapi = LoadSystemLibrary("psapi.dll")) {
    g_fn.GetModuleFileNameExA = Lookup<GetModuleFileNameExFn>(psapi, "GetModuleFileNameExA");
    g_fn.EnumProcessModules = Lookup<EnumProcessModulesFn>(psapi, "EnumProcessModules");
  }
  return RESULT_OK;
}

uint32_t OpenDriverNt(uint8_t start, const char* serviceName, DeviceHandle* cell) {
  // A library without one of the service functions cannot drive the service at all.
  if (!g_fn.OpenSCManagerA || !g_fn.OpenServiceA || !g_fn.StartServiceA ||
      !g_fn.QueryServiceStatus || !g_fn.CloseServiceHandle)
    return RESULT_SERVICE_LIBRARY_MISSING;
  // Closing keeps the last error: the caller may want the reason.
  CServiceHandle manager(g_fn.OpenSCManagerA(nullptr, nullptr, kManagerAllAccess), g_fn.CloseServiceHandle);
  if (!manager.Valid()) return RESULT_FAILED;
  return StartAndOpen(manager.Get(), start, serviceName, cell);
}

uint32_t OpenDriverWin9x(DeviceHandle* cell) {
  *cell = DeviceOpen(RKFW_9X_DEVICE_NAME, kDeviceRead, kDeviceShareRead, kDeviceDeleteOnClose);
  return *cell == kInvalidDevice ? RESULT_DEVICE_OPEN_FAILED : RESULT_OK;
}

bool ProcessPathById(uint32_t processId, char* path, uint32_t size) {
  if (!DriverConnection().nt || !g_fn.GetModuleFileNameExA || !g_fn.EnumProcessModules) return false;
  CKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process.Valid()) return false;
  static HMODULE modules[1024];  // one UI thread; too big for the stack of a timer handler
  DWORD needed = 0;
  if (!g_fn.EnumProcessModules(process.Get(), modules, sizeof modules, &needed)) return false;
  DWORD count = needed / sizeof(HMODULE);
  if (count > 1024) count = 1024;
  path[0] = 0;
  for (DWORD i = 0; i < count; ++i) {
    DWORD n = g_fn.GetModuleFileNameExA(process.Get(), modules[i], path, size);
    path[n < size ? n : size - 1] = 0;
    const char* file = path + GbkCutAfterLast(path, strlen(path), '\\');
    const char* dot = strrchr(file, '.');
    if (dot != nullptr && CompareTextIgnoringCase(dot + 1, "exe") == 0) break;
  }
  return true;
}

void ResetSystemForTests() { memset(&g_fn, 0, sizeof g_fn); }
