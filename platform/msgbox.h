// The one road of every message box of the program, so tests can script the answers.
#pragma once
#include <cstdint>

// Flags and answers with the Win32 numbers.
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbOkCancel = 0x00000001;
constexpr uint32_t kMbYesNoCancel = 0x00000003;
constexpr uint32_t kMbYesNo = 0x00000004;
constexpr uint32_t kMbIconError = 0x00000010;
constexpr uint32_t kMbIconQuestion = 0x00000020;
constexpr uint32_t kMbIconWarning = 0x00000030;
constexpr uint32_t kMbIconInformation = 0x00000040;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// `owner` is the owning window (HWND on Windows), or nullptr.
int ShowMessageBox(void* owner, const char* text, const char* caption, uint32_t flags);

// A script sees every box instead of the user and gives the answer.
using MessageBoxScript = int (*)(void* context, void* owner, const char* text,
                                 const char* caption, uint32_t flags);
// nullptr restores real boxes (on the host: the text goes to standard error, answer kIdOk).
void SetMessageBoxScript(MessageBoxScript script, void* context);
