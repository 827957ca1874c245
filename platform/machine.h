// Facts about the machine the console runs on.
#pragma once
#include <cstdint>

// The computer's name, zero-terminated, cut to fit. Returns false (empty text) on failure.
bool GetComputerNameText(char* out, uint32_t size);
