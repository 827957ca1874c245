// Test-only isolation of the registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are redirected
// for this process to two fresh keys under the real HKEY_CURRENT_USER, so the code under test
// uses its real paths while test programs running side by side, and earlier cases, cannot
// disturb each other. Everything is deleted again when the scope ends.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CScratchRegistry {
 public:
  CScratchRegistry() {
    path_ = "Software\\VardeenTests\\" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    machine_ = Create((path_ + "\\HKLM").c_str());
    user_ = Create((path_ + "\\HKCU").c_str());
    EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS);
  }
  ~CScratchRegistry() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(machine_);
    RegCloseKey(user_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VardeenTests");  // fails while others use it
  }
  CScratchRegistry(const CScratchRegistry&) = delete;
  CScratchRegistry& operator=(const CScratchRegistry&) = delete;

  // The real keys behind the redirected roots, for checks that bypass the code under test.
  HKEY machine() const { return machine_; }
  HKEY user() const { return user_; }

 private:
  static HKEY Create(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    return key;
  }
  std::string path_;
  HKEY machine_ = nullptr;
  HKEY user_ = nullptr;
};

// A value as stored, read straight from the registry.
struct RawValue {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

inline RawValue ReadRaw(HKEY root, const char* key, const char* name) {
  RawValue v;
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(k, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.present = RegQueryValueExA(k, name, nullptr, &v.type, size ? v.data.data() : nullptr,
                                 &size) == ERROR_SUCCESS;
    v.data.resize(size);
  }
  RegCloseKey(k);
  return v;
}

inline void WriteRaw(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(k);
}

inline bool KeyExists(HKEY root, const char* key) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}
