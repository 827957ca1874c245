// Owners of the Win32 handles the console opens: each closes its handle once, on every path
// out, cannot be copied, and can be moved. Closing keeps the caller's GetLastError(), so an
// error code read after a failed call survives the cleanup. Win32 only.
#pragma once
#include <windows.h>

#include <utility>

template <class Traits>
class CHandleOwner {
 public:
  using Handle = typename Traits::Handle;

  CHandleOwner() = default;
  explicit CHandleOwner(Handle handle) : handle_(handle) {}
  ~CHandleOwner() { Reset(); }
  CHandleOwner(const CHandleOwner&) = delete;
  CHandleOwner& operator=(const CHandleOwner&) = delete;
  CHandleOwner(CHandleOwner&& other) noexcept : handle_(other.Release()) {}
  CHandleOwner& operator=(CHandleOwner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  bool Valid() const { return Traits::Valid(handle_); }
  Handle Get() const { return handle_; }
  Handle Release() { return std::exchange(handle_, Traits::None()); }
  void Reset(Handle handle = Traits::None()) {
    Handle old = std::exchange(handle_, handle);
    if (!Traits::Valid(old)) return;
    DWORD error = GetLastError();
    Traits::Close(old);
    SetLastError(error);
  }

 private:
  Handle handle_ = Traits::None();
};

// A registry key (RegOpenKeyExA, RegCreateKeyExA). The predefined roots are never closed.
struct CRegKeyTraits {
  using Handle = HKEY;
  static HKEY None() { return nullptr; }
  static bool Valid(HKEY key) { return key != nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};
using CRegKey = CHandleOwner<CRegKeyTraits>;

// A kernel object: files, processes (both "no handle" values are refused by Valid).
struct CKernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE None() { return nullptr; }
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
using CFileHandle = CHandleOwner<CKernelHandleTraits>;
using CKernelHandle = CHandleOwner<CKernelHandleTraits>;

// A FindFirstFileA search.
struct CFindHandleTraits {
  using Handle = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { FindClose(handle); }
};
using CFindHandle = CHandleOwner<CFindHandleTraits>;

// A service manager or service handle. ADVAPI32's CloseServiceHandle is looked up at run time
// (Win9x has no service manager), so the owner carries the function that closes it.
class CServiceHandle {
 public:
  using CloseFn = BOOL(WINAPI*)(SC_HANDLE);
  CServiceHandle(SC_HANDLE handle, CloseFn close) : handle_(handle), close_(close) {}
  ~CServiceHandle() {
    if (handle_ == nullptr || close_ == nullptr) return;
    DWORD error = GetLastError();
    close_(handle_);
    SetLastError(error);
  }
  CServiceHandle(const CServiceHandle&) = delete;
  CServiceHandle& operator=(const CServiceHandle&) = delete;
  bool Valid() const { return handle_ != nullptr; }
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_;
  CloseFn close_;
};

// An object selected into a device context, put back out when the scope ends.
class CDcSelection {
 public:
  CDcSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~CDcSelection() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  CDcSelection(const CDcSelection&) = delete;
  CDcSelection& operator=(const CDcSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};
