// The process and connection page: every endpoint the driver lists, grouped by the program
// that owns it (one node per program, "IP", "TCP" and "UDP" under it, one line per row),
// updated in place once a second so that selection and expanded branches survive, with a
// pop-up menu that breaks a TCP connection.
#pragma once
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "driver/port.h"
#include "driver/protocol.h"
#include "ui/consolehost/consolehost.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/menu.h"
#include "ui/framework/timer.h"

// What every tree node carries; the kind comes first.
struct _NODE_CONTEXT {
  int Kind;  // 0 program, 1 protocol group, 2 connection line
};

struct CConnectionContext : _NODE_CONTEXT {
  HTREEITEM Node = nullptr;
  uint32_t SeenIn = 0;  // the refresh that last listed its row
  _RKFW_NETWORKCONNECTION Row;    // as it was when the line was made; its key names the line
  _RKFW_NETWORKCONNECTION Shown;  // as it is now, as the caption shows it
  bool Captioned = false;
  std::string Caption;  // handed to the tree when it draws or reads the line
  struct CProgramContext* Program = nullptr;
};

struct CGroupContext : _NODE_CONTEXT {
  int RowCount = 0;
  int SeenLines = 0;  // lines of this group listed in this refresh
  uint32_t ProcessId = 0;
  _textPtr Text;
  HTREEITEM Node = nullptr;
  // The lines under this group by row key: a row finds its line without a walk of the tree.
  std::unordered_map<uint32_t, std::unique_ptr<CConnectionContext>> Lines;
};

struct CProgramContext : _NODE_CONTEXT {
  int RowCount = 0;
  uint32_t ProcessId = 0;  // of the first row seen
  _textPtr Text;           // the resolved path or name: the program's identity
  std::string Key;         // ProgramKey of the text as found, under which it is filed
  HTREEITEM Node = nullptr;
  std::unique_ptr<CGroupContext> Groups[3];  // IP, TCP, UDP
};

class TProcFrame : public CPage {
 public:
  // The connection table comes from the host's driver port.
  TProcFrame(CComponent* owner, CConsoleHost& host);
  ~TProcFrame() override;
  const char* ClassName() const override { return "TProcFrame"; }

  void RefreshTimerTimer(CComponent* Sender);
  void ProcPopupMenuPopup(CComponent* Sender);
  void CloseConnectionItemClick(CComponent* Sender);
  void ProcTreeViewContextPopup(CComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // One refresh of the tree from the driver's table.
  void Refresh();
  // The context of a node (nullptr for none).
  _NODE_CONTEXT* ContextOf(HTREEITEM node) const;
  int ProgramCount() const { return static_cast<int>(programs_.size()); }

  CTreeView* ProcTreeView;
  CImageList* AppImageList;
  CPopupMenu* ProcPopupMenu;
  CMenuItem* CloseConnectionItem;
  CTimer* RefreshTimer;

 protected:
  void PageInit() override;

 private:
  CDriverPort& driver_;  // the host's, not owned
  // The program text of a row, as the driver and the system give it.
  _textPtr ProgramText(const _RKFW_NETWORKCONNECTION& row);
  CProgramContext* FindOrAddProgram(const _textPtr& text, const _RKFW_NETWORKCONNECTION& row);
  // The image of a program's node: 0 (the generic program) or its own icon, added once per
  // program for the whole run.
  int ProgramImage(const char* path, const std::string& key, HICON icon);
  void Prune();
  // Holds the tree's redrawing until the end of the refresh, from the first node added or
  // deleted on.
  void HoldRedraw();
  void DeleteProgram(CProgramContext* program);
  const CConnectionContext* LineOf(HTREEITEM node) const;
  // The connection the menu acts on (nullptr: none), as it is when the menu opens.
  void AimMenuAt(const CConnectionContext* line);

  std::vector<std::unique_ptr<CProgramContext>> programs_;       // in tree order
  std::unordered_map<std::string, CProgramContext*> byText_;     // by ProgramKey of the text
  std::unordered_map<uint32_t, CConnectionContext*> byKey_;      // every line by row key
  std::unordered_map<std::string, int> images_;                  // program key -> image
  std::vector<_RKFW_NETWORKCONNECTION> table_;                   // the last table, reused
  uint32_t refresh_ = 0;            // number of the refresh under way
  bool structureChanging_ = false;  // this refresh adds or deletes nodes
  bool captionsChanged_ = false;    // this refresh changed the text of a line
  bool menuAimed_ = false;          // the menu was opened for a line ...
  _RKFW_NETWORKCONNECTION menuRow_{};  // ... this one, as it was then
};

// The generic program icon (image 0 of the tree's pictures), 16 × 16 on the glyph key colour.
// The caller owns the bitmap.
HBITMAP MakeGenericProgramPicture();
// The picture of group and connection lines (image 1), the same size.
HBITMAP MakeEndpointPicture();
