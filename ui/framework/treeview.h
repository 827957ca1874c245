// The system's tree view, with an image list. Items are handles kept by the caller, so a
// tree updated in place keeps its selection and expanded branches; BeginUpdate/EndUpdate
// hold the painting while many items change.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/framework/control.h"

class CImageList;

class CTreeView : public CControl {
 public:
  CTreeView(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TTreeView"; }
  void SetImages(CImageList* images);  // shared, not owned

  // Adds an item as the last child of `parent` (nullptr: at the root).
  HTREEITEM AddChild(HTREEITEM parent, const char* text, int image = -1, LPARAM data = 0);
  void DeleteItem(HTREEITEM item);
  void Clear();
  // Changes only what differs, so an unchanged tree is not repainted.
  void SetItemText(HTREEITEM item, const char* text);
  void SetItemImage(HTREEITEM item, int image);
  std::string ItemText(HTREEITEM item) const;
  LPARAM ItemData(HTREEITEM item) const;
  HTREEITEM Parent(HTREEITEM item) const;
  HTREEITEM FirstChild(HTREEITEM item) const;  // nullptr: the first root item
  HTREEITEM NextSibling(HTREEITEM item) const;
  int Count() const;

  HTREEITEM Selected() const;
  void Select(HTREEITEM item);
  void Expand(HTREEITEM item, bool expand = true);
  bool Expanded(HTREEITEM item) const;
  // The item at a point of the control, or nullptr.
  HTREEITEM ItemAt(int x, int y) const;
  // The item whose row holds the point, beside its caption too, or nullptr.
  HTREEITEM RowAt(int x, int y) const;

  void BeginUpdate();
  void EndUpdate();

  CNotifyEvent OnChange;  // the selection changed
  // The right button went up over the control (x, y in its coordinates): the item whose row
  // is under it is selected first, as a context menu expects. The Apps key and Shift+F10 fire
  // it too, at the selected item.
  CMouseEvent OnContextPopup;
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  void KeyboardContextPopup();
  CImageList* images_ = nullptr;
  int updating_ = 0;
};
