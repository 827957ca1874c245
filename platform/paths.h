// The program's own folder and files that live next to the program.
#pragma once
#include <cstdint>

constexpr uint32_t kPathTextSize = 260;  // MAX_PATH, the buffer every program path uses

// The module file name cut after its last separator ("C:\Prog\" on Windows).
// Returns the length written, 0 when the name does not fit or cannot be read.
uint32_t GetProgramFolder(char* out, uint32_t size);

// The program folder plus `name` in a 260-character buffer. `name` uses "\" as separator;
// the host side turns it into "/". Returns false (and an empty text) when it does not fit.
bool GetProgramFilePath(const char* name, char (&out)[kPathTextSize]);

// Test seam: make the program folder something else (nullptr restores the real one).
void SetProgramFolderOverride(const char* folder);
