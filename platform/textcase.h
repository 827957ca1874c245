// Comparing ANSI texts ignoring letter case the way Windows does (Win32 side only: lstrcmpiA
// in the ANSI code page). Portable code on the host uses CompareTextIgnoringCase (base/text.h).
#pragma once

#ifdef _WIN32
int CompareAnsiTextIgnoringCase(const char* a, const char* b);
#endif
