#include "platform/textcase.h"

#include <windows.h>

int CompareAnsiTextIgnoringCase(const char* a, const char* b) { return lstrcmpiA(a, b); }
