// The stand-in driver in-process on the host: the core answers platform/'s device control, so
// host tests run the console's driver link against the same code RkFw.sys runs.
#pragma once
#include <cstdint>

#include "standin/core/standin.h"

// Starts answering for "\\.\RkFw_slot" and "\\.\RkFw.VXD" with a freshly reset state.
void StandinHostInstall();
// No device opens any more (the state is kept until the next install).
void StandinHostRemove();
// The state the requests reach; tests may read it and change it directly.
RKFW_STATE* StandinHostState();
// Which device names open (both after StandinHostInstall).
void StandinHostServeNames(bool nt, bool vxd);
// Requests the host shell has answered since the install, and the last code: for tests that
// need to know whether the console asked at all.
uint32_t StandinHostRequestCount();
uint32_t StandinHostLastCode();
// Sends one request to the state directly (for feeding it through the private codes).
int StandinHostControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned);
