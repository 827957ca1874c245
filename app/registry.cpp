#include "app/registry.h"

#include <vector>

#include "platform/msgbox.h"

namespace {

// Owns an open registry key.
class CRegKey {
 public:
  CRegKey() = default;
  ~CRegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;

  LONG Open(HKEY root, const char* path, REGSAM access) {
    return RegOpenKeyExA(root, path, 0, access, &key_);
  }
  LONG Create(HKEY root, const char* path) {
    DWORD disposition = 0;
    return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ,
                           nullptr, &key_, &disposition);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

uint32_t ReadRegistryDword(HKEY root, const char* key, const char* name, uint32_t fallback) {
  CRegKey k;
  if (k.Open(root, key, KEY_READ) != ERROR_SUCCESS) return fallback;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return fallback;
  return value;
}

std::string ReadRegistryText(HKEY root, const char* key, const char* name, const char* fallback,
                             uint32_t maxLength) {
  std::string result = fallback ? fallback : "";
  CRegKey k;
  if (k.Open(root, key, KEY_READ) != ERROR_SUCCESS) return result;
  DWORD size = 0, type = 0;
  if (RegQueryValueExA(k.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return result;
  if (size == 0) return std::string();
  // The value may grow between the two calls and need not end in a zero: read into a buffer
  // one byte larger than reported and cut at the size actually returned.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<char> data(size + 1, 0);
    DWORD got = size;
    LONG status = RegQueryValueExA(k.get(), name, nullptr, &type,
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

uint32_t WriteRegistryDword(HKEY root, const char* key, const char* name, uint32_t value) {
  CRegKey k;
  LONG status = k.Create(root, key);
  if (status != ERROR_SUCCESS) {
    // The registry functions return their error instead of setting the thread's last error.
    SetLastError(static_cast<DWORD>(status));
    ShowLastError();
    return 0;
  }
  DWORD data = value;
  return RegSetValueExA(k.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS
             ? 1
             : 0;
}

uint32_t WriteRegistryText(HKEY root, const char* key, const char* name, const char* text) {
  if (text == nullptr) text = "";
  CRegKey k;
  if (k.Create(root, key) != ERROR_SUCCESS) return 0;
  // REG_SZ data carries its terminating zero, so every reader gets a terminated text.
  DWORD size = static_cast<DWORD>(lstrlenA(text)) + 1;
  return RegSetValueExA(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

uint32_t DeleteRegistryValue(HKEY root, const char* key, const char* name) {
  CRegKey k;
  if (k.Open(root, key, KEY_SET_VALUE) != ERROR_SUCCESS) return 0;
  return RegDeleteValueA(k.get(), name) == ERROR_SUCCESS ? 1 : 0;
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
