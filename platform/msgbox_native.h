#pragma once
#include <cstdint>

int ShowNativeMessageBox(void* owner, const char* text, const char* caption, uint32_t flags);
