// Popup menus and the tray icon.
#pragma once
#include <windows.h>

#include <string>

#include "ui/framework/component.h"
#include "ui/framework/control.h"
#include "ui/framework/events.h"

class CMenuItem : public CComponent {
 public:
  CMenuItem(CComponent* owner, const char* name, const char* caption);
  const char* ClassName() const override { return "TMenuItem"; }
  void SetCaption(const char* caption) { caption_ = caption ? caption : ""; }
  const std::string& Caption() const { return caption_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }
  // The picture drawn beside the caption from the menu's image list (-1: none).
  void SetImageIndex(int index) { imageIndex_ = index; }
  int ImageIndex() const { return imageIndex_; }
  CNotifyEvent OnClick;
  void Click() { Fire(OnClick, this); }

 private:
  std::string caption_;
  bool enabled_ = true;
  int imageIndex_ = -1;
};

class CImageList;

// The items of a popup menu are the menu items it owns, in creation order.
class CPopupMenu : public CComponent {
 public:
  CPopupMenu(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TPopupMenu"; }
  CMenuItem* AddItem(const char* name, const char* caption);
  int ItemCount() const;
  CMenuItem* Item(int index) const;
  // Shows the menu at a screen point for `window` and runs the chosen item's handler.
  // Returns the chosen item or nullptr.
  CMenuItem* Popup(HWND window, int x, int y);

  // Owner-drawn: the items in the console's font and colours, with their pictures. `window`
  // of Popup must be a framework window, which hands the drawing messages back here.
  void SetOwnerDraw(bool ownerDraw) { ownerDraw_ = ownerDraw; }
  void SetImages(CImageList* images) { images_ = images; }  // shared, not owned
  void SetFont(HFONT font) { font_ = font; }                 // shared, not owned
  // WM_MEASUREITEM / WM_DRAWITEM of a menu: true when they were for the menu now shown.
  static bool HandleMenuMessage(UINT msg, LPARAM lParam);

 private:
  void MeasureItem(MEASUREITEMSTRUCT* measure);
  void DrawItem(const DRAWITEMSTRUCT* draw);
  bool ownerDraw_ = false;
  CImageList* images_ = nullptr;
  HFONT font_ = nullptr;
};

// A notification-area icon with a tip, a popup menu on right button release and a handler
// for double clicks. Re-adds itself when the shell's taskbar is re-created.
class CTrayIcon : public CComponent {
 public:
  CTrayIcon(CComponent* owner, const char* name);
  ~CTrayIcon() override;
  const char* ClassName() const override { return "TTrayIcon"; }

  void SetHint(const char* hint);
  const std::string& Hint() const { return hint_; }
  void SetIcon(HICON icon);  // shared, not owned
  void SetPopupMenu(CPopupMenu* menu) { menu_ = menu; }
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  HWND Handle() const;  // the icon's message window

  CNotifyEvent OnDblClick;

  static constexpr UINT kCallbackMessage = kMsgTrayCallback;

 private:
  class CIconWindow;
  bool Notify(DWORD action);
  void Callback(LPARAM mouseMessage);
  CIconWindow* window_ = nullptr;
  CPopupMenu* menu_ = nullptr;  // not owned
  HICON icon_ = nullptr;
  std::string hint_;
  bool visible_ = false;
  bool added_ = false;
};
