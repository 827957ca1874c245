// A stand-in companion library that lacks "QLETCleanLog": the console must not use it at all.
#include <cstdint>

#include "companion/qeltutilapi.h"

namespace {
int32_t g_calls = 0;
}

extern "C" {
int32_t QELTUTIL_CALL QeltGetFolder(char* buffer, void*) {
  ++g_calls;
  buffer[0] = 'X';
  buffer[1] = 0;
  return 1;
}
void QELTUTIL_CALL QeltRecordLog(const char*, const char*) { ++g_calls; }
// How often any entry point was called.
int32_t QELTUTIL_CALL PartialCalls() { return g_calls; }
}
