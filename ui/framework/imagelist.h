// A list of same-sized pictures (the system's image list), for tree views and menus.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/framework/component.h"

class CImageList : public CComponent {
 public:
  CImageList(CComponent* owner, const char* name, int width = 16, int height = 16);
  ~CImageList() override;
  const char* ClassName() const override { return "TImageList"; }
  HIMAGELIST Handle() const { return list_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Adds a picture (not taken: the list copies it), `transparent` left out; returns its index.
  int Add(HBITMAP bitmap, COLORREF transparent = CLR_INVALID);
  int AddIcon(HICON icon);  // copied, not taken
  // Replaces picture `index` by an icon (copied).
  bool ReplaceIcon(int index, HICON icon);
  int Count() const;
  void Clear();
  void Draw(HDC dc, int index, int x, int y) const;

 private:
  HIMAGELIST list_ = nullptr;
  int width_, height_;
};
