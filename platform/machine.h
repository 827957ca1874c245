// Facts about the machine the console runs on.
#pragma once
#include <cstdint>

// The computer's name, zero-terminated, cut to fit. Returns false (empty text) on failure.
bool GetComputerNameText(char* out, uint32_t size);

// True on the Win9x family (95, 98, Me), false on NT and its successors. The Win9x driver
// stamps its events in UTC.
bool RunsWin9x();
// Host build only: the family RunsWin9x answers (NT unless a test asks for Win9x).
void SetHostWin9xForTests(bool win9x);
