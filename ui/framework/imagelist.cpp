#include "ui/framework/imagelist.h"

CImageList::CImageList(CComponent* owner, const char* name, int width, int height)
    : CComponent(owner, name), width_(width), height_(height) {
  list_ = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4);
}

CImageList::~CImageList() {
  if (list_ != nullptr) ImageList_Destroy(list_);
}

int CImageList::Add(HBITMAP bitmap, COLORREF transparent) {
  if (list_ == nullptr || bitmap == nullptr) return -1;
  if (transparent == CLR_INVALID) return ImageList_Add(list_, bitmap, nullptr);
  return ImageList_AddMasked(list_, bitmap, transparent);
}

int CImageList::AddIcon(HICON icon) {
  return list_ != nullptr && icon != nullptr ? ImageList_AddIcon(list_, icon) : -1;
}

bool CImageList::ReplaceIcon(int index, HICON icon) {
  return list_ != nullptr && icon != nullptr && ImageList_ReplaceIcon(list_, index, icon) >= 0;
}

int CImageList::Count() const { return list_ != nullptr ? ImageList_GetImageCount(list_) : 0; }

void CImageList::Clear() {
  if (list_ != nullptr) ImageList_RemoveAll(list_);
}

void CImageList::Draw(HDC dc, int index, int x, int y) const {
  if (list_ != nullptr && index >= 0 && index < Count()) ImageList_Draw(list_, index, dc, x, y, ILD_TRANSPARENT);
}
