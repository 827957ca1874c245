// The console's one way into the registry, and the places its settings live.
// Win32 only. The helpers return 1 for success and 0 for failure. A value of another type than
// the one asked for reads as missing.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The settings key under HKEY_LOCAL_MACHINE. The single-value helpers spell it with a trailing
// separator; both name the same key.
constexpr const char* kSettingsKey = "SOFTWARE\\Harlune\\Qelt";
constexpr const char* kSettingsKeyPath = "SOFTWARE\\Harlune\\Qelt\\";
// Start with Windows: this value under the current user's Run key holds the program's path.
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "QELT";

// `fallback` when the key cannot be opened or the value is not a REG_DWORD of 4 bytes.
uint32_t ReadRegistryDword(HKEY root, const char* key, const char* name, uint32_t fallback);

// `fallback` when the key cannot be opened, the value is not a REG_SZ, the size query fails,
// reading fails or the text has `maxLength` characters or more; an empty text for a value of
// size 0. The text ends at the first zero or at the value's end, whether
// or not the stored data carries its terminator.
std::string ReadRegistryText(HKEY root, const char* key, const char* name, const char* fallback,
                             uint32_t maxLength = 0xFFFFFFFFu);

// Whether a key that cannot be created or opened is told to the user (ShowLastError).
enum class TKeyFailure { Shown, Silent };

// Creates or opens the key (0 when that fails, after ShowLastError unless Silent) and sets a
// REG_DWORD.
uint32_t WriteRegistryDword(HKEY root, const char* key, const char* name, uint32_t value,
                            TKeyFailure failure = TKeyFailure::Shown);

// Creates or opens the key (silently 0 when that fails) and sets a REG_SZ, terminator included.
uint32_t WriteRegistryText(HKEY root, const char* key, const char* name, const char* text);

// Opens the key and deletes the value; 0 when either fails (also when the value is absent).
uint32_t DeleteRegistryValue(HKEY root, const char* key, const char* name);

// 1 when the key opens for reading.
uint32_t RegistryKeyOpens(HKEY root, const char* key);
// 1 when the value is certainly absent: the key or the value is not found (a key that cannot
// be read for another reason is 0).
uint32_t RegistryValueAbsent(HKEY root, const char* key, const char* name);

// A box without owner, information icon, caption "错误", with the system's text for the
// calling thread's last error.
void ShowLastError();
