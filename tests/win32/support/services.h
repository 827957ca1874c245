// The tests' view of a kernel service: its state, and a stop that waits until it is stopped.
#pragma once
#include <windows.h>

// SERVICE_STOPPED, SERVICE_RUNNING, ...; 0 when the service cannot be asked.
DWORD ServiceState(const char* name);
// Stops the service and waits (up to 5 s) until it has stopped; false when it did not.
bool StopService(const char* name);
