#include "tests/win32/support/services.h"

DWORD ServiceState(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status = {};
  if (service == nullptr || !QueryServiceStatus(service, &status)) status.dwCurrentState = 0;
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return status.dwCurrentState;
}

bool StopService(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
  bool stopped = false;
  if (service != nullptr) {
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    // A driver still starting ignores the first stop; ask again once it runs.
    for (int i = 0; i < 100 && !stopped; ++i) {
      if (!QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) {
        stopped = true;
        break;
      }
      if (status.dwCurrentState == SERVICE_RUNNING) ControlService(service, SERVICE_CONTROL_STOP, &status);
      Sleep(50);
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return stopped;
}
