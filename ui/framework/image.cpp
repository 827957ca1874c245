#include "ui/framework/image.h"

CImage::CImage(CComponent* owner, const char* name) : CControl(owner, name) { SetWindowless(); }

void CImage::SetPicture(HBITMAP bitmap) {
  picture_.Reset(bitmap);
  Invalidate();
}

void CImage::SetIcon(HICON icon) {
  icon_ = icon;
  Invalidate();
}

bool CImage::LoadFromFile(const char* path) {
  HBITMAP bitmap = LoadBitmapFile(path);
  if (bitmap == nullptr) return false;
  SetPicture(bitmap);
  return true;
}

void CImage::Paint(HDC dc) {
  if (icon_ != nullptr) {
    int x = center_ ? (Width() - GetSystemMetrics(SM_CXICON)) / 2 : 0;
    int y = center_ ? (Height() - GetSystemMetrics(SM_CYICON)) / 2 : 0;
    DrawIconEx(dc, x, y, icon_, 0, 0, 0, nullptr, DI_NORMAL);
    return;
  }
  if (!picture_) return;
  SIZE size = BitmapSize(picture_.Get());
  if (stretch_) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture_.Get());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, Width(), Height(), source, 0, 0, size.cx, size.cy, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    return;
  }
  int x = center_ ? (Width() - size.cx) / 2 : 0;
  int y = center_ ? (Height() - size.cy) / 2 : 0;
  DrawTransparentBitmap(dc, picture_.Get(), x, y, transparentColor_);
}
