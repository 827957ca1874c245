// Small owners of GDI objects: one object, one DeleteObject. Non-copyable, movable.
#pragma once
#include <windows.h>

#include <utility>

template <class H>
class CGdiObject {
 public:
  CGdiObject() = default;
  explicit CGdiObject(H handle) : handle_(handle) {}
  ~CGdiObject() { Reset(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  CGdiObject(CGdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  CGdiObject& operator=(CGdiObject&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  H Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(H handle = nullptr) {
    if (handle_ != nullptr && handle_ != handle) DeleteObject(handle_);
    handle_ = handle;
  }
  H Release() { return std::exchange(handle_, nullptr); }

 private:
  H handle_ = nullptr;
};

using CBitmap = CGdiObject<HBITMAP>;
using CFont = CGdiObject<HFONT>;
using CBrush = CGdiObject<HBRUSH>;

// A memory DC with a 32-bit top-down section selected, for flicker-free painting.
class CMemoryDC {
 public:
  CMemoryDC(HDC target, int width, int height);
  ~CMemoryDC();
  CMemoryDC(const CMemoryDC&) = delete;
  CMemoryDC& operator=(const CMemoryDC&) = delete;
  HDC Get() const { return dc_; }
  void CopyTo(HDC target, int x, int y) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  int width_, height_;
};

// A solid brush of `color`, made once for the process and shared (never delete it): a window
// that answers a colour query with it owns no GDI object. The console paints with a handful
// of colours, so the cache stays that small.
HBRUSH SharedSolidBrush(COLORREF color);

// A font by face name and pixel height (character height, negative LOGFONT height), GBK set.
HFONT CreatePixelFont(const char* face, int pixels, bool bold = false);
// A bitmap file (LoadImage from file, device-independent section); nullptr when missing.
HBITMAP LoadBitmapFile(const char* path);
// Draws `bitmap` at (x, y), leaving out every pixel of colour `transparent`
// (CLR_INVALID draws it opaque).
void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF transparent);
SIZE BitmapSize(HBITMAP bitmap);
