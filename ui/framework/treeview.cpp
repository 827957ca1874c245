#include "ui/framework/treeview.h"

#include "ui/framework/imagelist.h"

CTreeView::CTreeView(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetColor(GetSysColor(COLOR_WINDOW));
}

void CTreeView::CreateParams(CCreateParams& params) {
  params.windowClass = WC_TREEVIEWA;
  params.style = WS_CHILD | WS_CLIPSIBLINGS | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                 TVS_SHOWSELALWAYS;
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CTreeView::HandleCreated() {
  if (images_ != nullptr) SendMessageA(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_->Handle()));
}

void CTreeView::SetImages(CImageList* images) {
  images_ = images;
  if (Handle() != nullptr)
    SendMessageA(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(images != nullptr ? images->Handle() : nullptr));
}

HTREEITEM CTreeView::AddChild(HTREEITEM parent, const char* text, int image, LPARAM data) {
  if (Handle() == nullptr) return nullptr;
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent != nullptr ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | (image >= 0 ? TVIF_IMAGE | TVIF_SELECTEDIMAGE : 0);
  insert.item.pszText = const_cast<char*>(text != nullptr ? text : "");
  insert.item.iImage = insert.item.iSelectedImage = image;
  insert.item.lParam = data;
  return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CTreeView::DeleteItem(HTREEITEM item) {
  if (Handle() != nullptr && item != nullptr) SendMessageA(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

void CTreeView::Clear() {
  if (Handle() != nullptr) SendMessageA(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

std::string CTreeView::ItemText(HTREEITEM item) const {
  char text[1024] = {};
  TVITEMA tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  if (Handle() == nullptr || !SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return "";
  return text;
}

void CTreeView::SetItemText(HTREEITEM item, const char* text) {
  if (Handle() == nullptr || item == nullptr || ItemText(item) == (text ? text : "")) return;
  TVITEMA tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = const_cast<char*>(text != nullptr ? text : "");
  SendMessageA(Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
}

void CTreeView::SetItemImage(HTREEITEM item, int image) {
  if (Handle() == nullptr || item == nullptr) return;
  TVITEMA tv = {};
  tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tv.hItem = item;
  if (SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) && tv.iImage == image) return;
  tv.iImage = tv.iSelectedImage = image;
  SendMessageA(Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
}

LPARAM CTreeView::ItemData(HTREEITEM item) const {
  TVITEMA tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (Handle() == nullptr || !SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return 0;
  return tv.lParam;
}

HTREEITEM CTreeView::Parent(HTREEITEM item) const {
  if (Handle() == nullptr) return nullptr;
  return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CTreeView::FirstChild(HTREEITEM item) const {
  if (Handle() == nullptr) return nullptr;
  if (item == nullptr) return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CTreeView::NextSibling(HTREEITEM item) const {
  if (Handle() == nullptr || item == nullptr) return nullptr;
  return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

int CTreeView::Count() const {
  return Handle() != nullptr ? static_cast<int>(SendMessageA(Handle(), TVM_GETCOUNT, 0, 0)) : 0;
}

HTREEITEM CTreeView::Selected() const {
  if (Handle() == nullptr) return nullptr;
  return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void CTreeView::Select(HTREEITEM item) {
  if (Handle() != nullptr) SendMessageA(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void CTreeView::Expand(HTREEITEM item, bool expand) {
  if (Handle() != nullptr && item != nullptr)
    SendMessageA(Handle(), TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
}

bool CTreeView::Expanded(HTREEITEM item) const {
  if (Handle() == nullptr || item == nullptr) return false;
  return (SendMessageA(Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

HTREEITEM CTreeView::ItemAt(int x, int y) const {
  if (Handle() == nullptr) return nullptr;
  TVHITTESTINFO hit = {};
  hit.pt = POINT{x, y};
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return (hit.flags & TVHT_ONITEM) ? item : nullptr;
}

HTREEITEM CTreeView::RowAt(int x, int y) const {
  if (Handle() == nullptr) return nullptr;
  TVHITTESTINFO hit = {};
  hit.pt = POINT{x, y};
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  constexpr UINT kOnRow = TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMRIGHT;
  return (hit.flags & kOnRow) ? item : nullptr;
}

void CTreeView::BeginUpdate() {
  if (updating_++ == 0 && Handle() != nullptr) SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
}

void CTreeView::EndUpdate() {
  if (updating_ == 0 || --updating_ != 0 || Handle() == nullptr) return;
  SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool CTreeView::HandleNotification(UINT msg, WPARAM, LPARAM lParam, LRESULT* result) {
  if (msg != WM_NOTIFY) return false;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) {
    Fire(OnChange, this);
    *result = 0;
    return true;
  }
  if (header->code == NM_RCLICK) {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(Handle(), &pt);
    if (HTREEITEM item = RowAt(pt.x, pt.y)) Select(item);
    Fire(OnContextPopup, this, TMouseButton::Right, TShiftState{0}, static_cast<int>(pt.x), static_cast<int>(pt.y));
    *result = 1;
    return true;
  }
  return false;
}

void CTreeView::KeyboardContextPopup() {
  // At the middle of the selected caption, in view; at the corner when nothing is selected.
  POINT at = {0, 0};
  if (HTREEITEM item = Selected()) {
    SendMessageA(Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RECT box;
    *reinterpret_cast<HTREEITEM*>(&box) = item;
    if (SendMessageA(Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&box)))
      at = POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  }
  Fire(OnContextPopup, this, TMouseButton::Right, TShiftState{0}, static_cast<int>(at.x), static_cast<int>(at.y));
}

LRESULT CTreeView::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  if ((msg == WM_KEYDOWN && wParam == VK_APPS) || (msg == WM_SYSKEYDOWN && wParam == VK_F10 && shift)) {
    KeyboardContextPopup();
    return 0;
  }
  // The system's own menu message for those keys would open a second menu.
  if (msg == WM_CONTEXTMENU && lParam == -1) return 0;
  if ((msg == WM_KEYUP && wParam == VK_APPS) || (msg == WM_SYSKEYUP && wParam == VK_F10 && shift)) return 0;
  return CControl::WndProc(msg, wParam, lParam);
}
