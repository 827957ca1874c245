#include "app/registry.h"

#include <vector>

#include "platform/msgbox.h"
#include "platform/win32/handles.h"

// The helpers below speak the registry's own results (ERROR_SUCCESS or the system's error);
// the functions of registry.h turn them into 1 and 0 once.
namespace {

LONG OpenKey(HKEY root, const char* path, REGSAM access, CRegKey& key) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(root, path, 0, access, &opened);
  key.Reset(status == ERROR_SUCCESS ? opened : nullptr);
  return status;
}

LONG CreateKey(HKEY root, const char* path, CRegKey& key) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ,
                                nullptr, &created, &disposition);
  key.Reset(status == ERROR_SUCCESS ? created : nullptr);
  return status;
}

LONG SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

uint32_t Done(LONG status) { return status == ERROR_SUCCESS ? 1 : 0; }

}  // namespace

uint32_t ReadRegistryDword(HKEY root, const char* key, const char* name, uint32_t fallback) {
  CRegKey k;
  if (OpenKey(root, key, KEY_READ, k) != ERROR_SUCCESS) return fallback;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(k.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return fallback;
  return value;
}

std::string ReadRegistryText(HKEY root, const char* key, const char* name, const char* fallback,
                             uint32_t maxLength) {
  std::string result = fallback ? fallback : "";
  CRegKey k;
  if (OpenKey(root, key, KEY_READ, k) != ERROR_SUCCESS) return result;
  DWORD size = 0, type = 0;
  if (RegQueryValueExA(k.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return result;
  if (size == 0) return std::string();
  // The value may grow between the two calls and need not end in a zero: read into a buffer
  // one byte larger than reported and cut at the size actually returned.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<char> data(size + 1, 0);
    DWORD got = size;
    LONG status = RegQueryValueExA(k.Get(), name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &got);
    if (status == ERROR_MORE_DATA) {
      size = got > size ? got : size * 2;
      continue;
    }
    if (status != ERROR_SUCCESS || type != REG_SZ) return result;
    if (got > size) got = size;
    data[got] = 0;
    std::string text(data.data());  // up to the first zero
    // A text too long for the buffer it is meant for would be cut: it reads as missing.
    return text.size() >= maxLength ? result : text;
  }
  return result;
}

uint32_t WriteRegistryDword(HKEY root, const char* key, const char* name, uint32_t value,
                            TKeyFailure failure) {
  CRegKey k;
  LONG status = CreateKey(root, key, k);
  if (status != ERROR_SUCCESS) {
    if (failure == TKeyFailure::Shown) {
      // The registry functions return their error instead of setting the thread's last error.
      SetLastError(static_cast<DWORD>(status));
      ShowLastError();
    }
    return 0;
  }
  DWORD data = value;
  return Done(SetValue(k.Get(), name, REG_DWORD, &data, sizeof data));
}

uint32_t WriteRegistryText(HKEY root, const char* key, const char* name, const char* text) {
  if (text == nullptr) text = "";
  CRegKey k;
  if (CreateKey(root, key, k) != ERROR_SUCCESS) return 0;
  // REG_SZ data carries its terminating zero, so every reader gets a terminated text.
  return Done(SetValue(k.Get(), name, REG_SZ, text, static_cast<DWORD>(lstrlenA(text)) + 1));
}

uint32_t DeleteRegistryValue(HKEY root, const char* key, const char* name) {
  CRegKey k;
  if (OpenKey(root, key, KEY_SET_VALUE, k) != ERROR_SUCCESS) return 0;
  return Done(RegDeleteValueA(k.Get(), name));
}

uint32_t RegistryKeyOpens(HKEY root, const char* key) {
  CRegKey k;
  return Done(OpenKey(root, key, KEY_READ, k));
}

uint32_t RegistryValueAbsent(HKEY root, const char* key, const char* name) {
  CRegKey k;
  LONG status = OpenKey(root, key, KEY_QUERY_VALUE, k);
  if (status == ERROR_FILE_NOT_FOUND) return 1;
  if (status != ERROR_SUCCESS) return 0;
  DWORD size = 0;
  return RegQueryValueExA(k.Get(), name, nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

void ShowLastError() {
  DWORD error = GetLastError();
  char* message = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<char*>(&message), 0, nullptr);
  char fallback[32];
  if (n == 0 || message == nullptr) wsprintfA(fallback, "%lu", static_cast<unsigned long>(error));
  ShowMessageBox(nullptr, n != 0 && message != nullptr ? message : fallback, "错误",
                 kMbOk | kMbIconInformation);
  if (message != nullptr) LocalFree(message);
}
