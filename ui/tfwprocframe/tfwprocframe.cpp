#include "ui/tfwprocframe/tfwprocframe.h"

#include <shellapi.h>

#include <cstring>

#include "base/result.h"
#include "driver/rkfw.h"
#include "ui/framework/fileinfo.h"
#include "ui/framework/looks.h"
#include "ui/tfwprocframe/connrows.h"

namespace {
const char* const kGroupNames[3] = {"IP", "TCP", "UDP"};
constexpr int kEndpointImage = 1;

// The program text when the path cannot be had: "System" for the system's own process, else
// the name with the process id in decimal and hexadecimal.
_textPtr NameFallback(const _RKFW_NETWORKCONNECTION& row) {
  char name[RKFW_PROCESS_NAME_SIZE + 1] = {};
  memcpy(name, row.ProcessName, RKFW_PROCESS_NAME_SIZE);
  _textPtr text = MakeText(kValueTextSize);
  if (CompareTextIgnoringCase(name, "System") == 0)
    CopyText(text.Data(), kValueTextSize, "System");
  else
    FormatText(text.Data(), kValueTextSize, "%s(%ud,%x)", name, row.ProcessId, row.ProcessId);
  return text;
}

bool SameProcess(const _RKFW_NETWORKCONNECTION& a, const _RKFW_NETWORKCONNECTION& b) {
  return a.ProcessId == b.ProcessId && a.NameSource == b.NameSource &&
         memcmp(a.ProcessName, b.ProcessName, RKFW_PROCESS_NAME_SIZE) == 0;
}
}  // namespace

TProcFrame::TProcFrame(CComponent* owner, CConsoleHost& host)
    : CPage(owner, "ProcFrame"), driver_(host.Driver()) {
  AppImageList = new CImageList(this, "AppImageList", 16, 16);
  HBITMAP generic = MakeGenericProgramPicture();
  AppImageList->Add(generic, kGlyphKeyColor);
  DeleteObject(generic);
  HBITMAP endpoint = MakeEndpointPicture();
  AppImageList->Add(endpoint, kGlyphKeyColor);
  DeleteObject(endpoint);

  ProcPopupMenu = new CPopupMenu(this, "ProcPopupMenu");
  CloseConnectionItem = ProcPopupMenu->AddItem("CloseConnectionItem", "断开该连接");
  CloseConnectionItem->OnClick = Bind(this, &TProcFrame::CloseConnectionItemClick);

  ProcTreeView = NewControl<CTreeView>(this, this, "ProcTreeView", 0, 0, kPageWidth, kPageHeight);
  ProcTreeView->SetAlign(TAlign::Client);
  ProcTreeView->SetImages(AppImageList);
  ProcTreeView->OnContextPopup = Bind(this, &TProcFrame::ProcTreeViewContextPopup);

  RefreshTimer = new CTimer(this, "RefreshTimer");
  RefreshTimer->SetInterval(1000);
  RefreshTimer->OnTimer = Bind(this, &TProcFrame::RefreshTimerTimer);
  RefreshTimer->SetEnabled(true);
}

TProcFrame::~TProcFrame() = default;

void TProcFrame::PageInit() {
  if (ProcTreeView->Handle() != nullptr) SendMessageA(ProcTreeView->Handle(), TVM_SETINDENT, 28, 0);
  Refresh();
}

void TProcFrame::RefreshTimerTimer(CComponent*) {
  // Refreshes run from the first resize on, when the tree has its window.
  if (Initialised) Refresh();
}

void TProcFrame::Refresh() {
  uint32_t rows = 0, tcp = 0, udp = 0;
  if (driver_.GetConnections(nullptr, &rows, &tcp, &udp) != RESULT_OK) return;
  if (rows == 0 && programs_.empty()) return;
  // The count is the driver's word: it sizes the table only up to what one request can carry,
  // and the table only grows, so an unchanged count allocates and clears nothing.
  if (rows > kMostConnectionRows) rows = kMostConnectionRows;
  if (table_.size() < rows) table_.resize(rows);
  if (table_.size() > 4096 && table_.size() / 4 > rows) std::vector<_RKFW_NETWORKCONNECTION>(rows).swap(table_);
  // A failed or torn answer keeps the tree as it was.
  if (rows != 0 && driver_.GetConnections(table_.data(), &rows, &tcp, &udp) != RESULT_OK) return;
  // Redrawing held for nodes that come and go is given back however the refresh ends.
  struct CRedrawRelease {
    TProcFrame* page;
    ~CRedrawRelease() {
      if (page->structureChanging_) page->ProcTreeView->EndUpdate();
      page->structureChanging_ = false;
    }
  } release{this};
  FoldDuplicateEndpoints(table_.data(), rows);

  // Redrawing is held only while nodes come and go: switching it off and on costs the tree
  // control a layout of its own, and captions change without a request to the tree.
  structureChanging_ = false;
  captionsChanged_ = false;
  // A line is seen in this refresh when it carries this refresh's number: no walk over every
  // line to clear flags first.
  ++refresh_;
  for (auto& program : programs_) {
    program->RowCount = 0;
    for (auto& group : program->Groups) group->RowCount = group->SeenLines = 0;
  }
  for (uint32_t i = 0; i < rows; ++i) {
    const _RKFW_NETWORKCONNECTION& row = table_[i];
    if (row.State == kHiddenRow || row.Protocol > 2) continue;  // no group would hold the line
    // A row of a known line whose process is the same belongs to the same program and group:
    // no path request, no text comparison.
    CConnectionContext* line = nullptr;
    auto known = byKey_.find(row.Key);
    if (known != byKey_.end() && known->second->Row.Protocol == row.Protocol && SameProcess(known->second->Row, row))
      line = known->second;
    CProgramContext* program = line != nullptr ? line->Program : FindOrAddProgram(ProgramText(row), row);
    CGroupContext* group = program->Groups[row.Protocol].get();
    ++program->RowCount;
    ++group->RowCount;
    if (line == nullptr) {
      auto found = group->Lines.find(row.Key);
      if (found != group->Lines.end()) line = found->second.get();
    }
    if (line == nullptr) {
      auto made = std::make_unique<CConnectionContext>();
      made->Kind = 2;
      made->Row = row;
      made->Program = program;
      line = made.get();
      // Filed before its node exists: a node never points at a line that could not be kept.
      group->Lines.emplace(row.Key, std::move(made));
      // A key that moved to another program keeps its old line until the pruning.
      byKey_[row.Key] = line;
      // The tree asks for a line's text when it draws it: a changed line costs no request to
      // the tree, which under load would cost more than the rest of the refresh.
      HoldRedraw();
      line->Node = ProcTreeView->AddChild(group->Node, LPSTR_TEXTCALLBACKA, kEndpointImage, reinterpret_cast<LPARAM>(line));
    }
    if (line->SeenIn != refresh_) {
      line->SeenIn = refresh_;
      ++group->SeenLines;
    }
    // Most rows are as they were a second ago: their caption is not formatted again.
    if (!line->Captioned || memcmp(&line->Shown, &row, sizeof row) != 0) {
      line->Shown = row;
      line->Captioned = true;
      line->Caption = ConnectionRowText(row);
      captionsChanged_ = true;
    }
  }
  Prune();
  if (!structureChanging_ && captionsChanged_ && ProcTreeView->Handle() != nullptr) {
    InvalidateRect(ProcTreeView->Handle(), nullptr, FALSE);  // one redraw, at the next paint
  }
}

void TProcFrame::HoldRedraw() {
  if (structureChanging_) return;
  structureChanging_ = true;
  ProcTreeView->BeginUpdate();
}

_textPtr TProcFrame::ProgramText(const _RKFW_NETWORKCONNECTION& row) {
  // The first 76 bytes of a row are the process block the path request reads.
  ProcessBlock block;
  memcpy(&block, &row, sizeof block);
  _textPtr text;
  if (driver_.GetProcessPath(&block, &text) != RESULT_OK || text.Data() == nullptr || text.Data()[0] == 0)
    return NameFallback(row);  // the driver gave no path: the row still gets a program
  return text;
}

CProgramContext* TProcFrame::FindOrAddProgram(const _textPtr& text, const _RKFW_NETWORKCONNECTION& row) {
  std::string key = ProgramKey(text.Data());
  auto found = byText_.find(key);
  if (found != byText_.end()) return found->second;

  auto program = std::make_unique<CProgramContext>();
  program->Kind = 0;
  program->ProcessId = row.ProcessId;
  program->Text = MakeText(kValueTextSize, text.Data());
  // The text may lose half a character when it is stored: the program is filed, and later
  // forgotten, under the key it was found by.
  program->Key = key;
  for (int i = 0; i < 3; ++i) {
    program->Groups[i] = std::make_unique<CGroupContext>();
    program->Groups[i]->Kind = 1;
    program->Groups[i]->Text = MakeText(kValueTextSize, kGroupNames[i]);
  }
  std::string caption = text.Data();
  int image = 0;
  {
    CShellFileInfo shell(text.Data(), true);
    if (shell.Answered()) {
      std::string description = ReadVersionString(text.Data(), "FileDescription");
      caption = !description.empty() ? description : shell.DisplayName();
      image = ProgramImage(text.Data(), key, shell.Icon());
    }
  }
  // Filed before its nodes exist, so that no node points at a program that could not be kept.
  CProgramContext* added = program.get();
  programs_.push_back(std::move(program));
  try {
    byText_[key] = added;
  } catch (...) {
    programs_.pop_back();
    throw;
  }
  HoldRedraw();
  added->Node = ProcTreeView->AddChild(nullptr, caption.c_str(), image, reinterpret_cast<LPARAM>(added));
  for (int i = 0; i < 3; ++i) {
    CGroupContext* group = added->Groups[i].get();
    group->Node = ProcTreeView->AddChild(added->Node, kGroupNames[i], kEndpointImage, reinterpret_cast<LPARAM>(group));
  }
  return added;
}

int TProcFrame::ProgramImage(const char* path, const std::string& key, HICON icon) {
  auto known = images_.find(key);
  if (known != images_.end()) return known->second;
  // A file without icons of its own shows the generic program picture.
  int image = 0;
  if (icon != nullptr && reinterpret_cast<UINT_PTR>(ExtractIconA(GetModuleHandleA(nullptr), path, static_cast<UINT>(-1))) != 0) {
    int added = AppImageList->AddIcon(icon);
    if (added >= 0) image = added;
  }
  // One picture per program for the whole run: a program that comes and goes does not make
  // the list grow each time.
  images_[key] = image;
  return image;
}

void TProcFrame::Prune() {
  for (size_t i = 0; i < programs_.size();) {
    CProgramContext* program = programs_[i].get();
    if (program->RowCount == 0) {
      DeleteProgram(program);
      programs_.erase(programs_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    for (auto& group : program->Groups) {
      if (static_cast<size_t>(group->SeenLines) == group->Lines.size()) continue;  // nothing went
      for (auto it = group->Lines.begin(); it != group->Lines.end();) {
        CConnectionContext* line = it->second.get();
        if (line->SeenIn == refresh_) {
          ++it;
          continue;
        }
        auto indexed = byKey_.find(it->first);
        if (indexed != byKey_.end() && indexed->second == line) byKey_.erase(indexed);
        HoldRedraw();
        ProcTreeView->DeleteItem(line->Node);
        it = group->Lines.erase(it);
      }
    }
    ++i;
  }
}

void TProcFrame::DeleteProgram(CProgramContext* program) {
  for (auto& group : program->Groups)
    for (auto& line : group->Lines) {
      auto indexed = byKey_.find(line.first);
      if (indexed != byKey_.end() && indexed->second == line.second.get()) byKey_.erase(indexed);
    }
  // Deleting the node deletes its children with it.
  HoldRedraw();
  ProcTreeView->DeleteItem(program->Node);
  byText_.erase(program->Key);
}

_NODE_CONTEXT* TProcFrame::ContextOf(HTREEITEM node) const {
  return node != nullptr ? reinterpret_cast<_NODE_CONTEXT*>(ProcTreeView->ItemData(node)) : nullptr;
}

const CConnectionContext* TProcFrame::LineOf(HTREEITEM node) const {
  _NODE_CONTEXT* context = ContextOf(node);
  return context != nullptr && context->Kind == 2 ? static_cast<const CConnectionContext*>(context) : nullptr;
}

namespace {
// The same connection: a key the driver gave to another connection since is not it.
bool SameConnection(const _RKFW_NETWORKCONNECTION& a, const _RKFW_NETWORKCONNECTION& b) {
  return a.Key == b.Key && a.Protocol == b.Protocol && a.ProcessId == b.ProcessId &&
         a.LocalAddress == b.LocalAddress && a.LocalPort == b.LocalPort &&
         a.RemoteAddress == b.RemoteAddress && a.RemotePort == b.RemotePort;
}
}  // namespace

void TProcFrame::AimMenuAt(const CConnectionContext* line) {
  menuAimed_ = line != nullptr;
  if (line != nullptr) menuRow_ = line->Shown;
  CloseConnectionItem->SetEnabled(line != nullptr && CanCloseConnection(line->Shown));
}

void TProcFrame::ProcPopupMenuPopup(CComponent*) { AimMenuAt(LineOf(ProcTreeView->Selected())); }

void TProcFrame::CloseConnectionItemClick(CComponent*) {
  // The refreshes go on while the menu is open: the menu acts on the connection it was opened
  // for, as it is now, and on nothing once that one is gone.
  if (!menuAimed_) return;
  menuAimed_ = false;
  auto known = byKey_.find(menuRow_.Key);
  if (known == byKey_.end() || known->second->SeenIn != refresh_) return;
  const _RKFW_NETWORKCONNECTION& now = known->second->Shown;
  if (SameConnection(now, menuRow_) && CanCloseConnection(now)) driver_.CloseConnection(now.Key);
}

LRESULT TProcFrame::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY && lParam != 0) {
    auto* info = reinterpret_cast<NMTVDISPINFOA*>(lParam);
    if (info->hdr.code == TVN_GETDISPINFOA && info->hdr.hwndFrom == ProcTreeView->Handle()) {
      auto* context = reinterpret_cast<_NODE_CONTEXT*>(info->item.lParam);
      if ((info->item.mask & TVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0) {
        const char* text = context != nullptr && context->Kind == 2
                               ? static_cast<CConnectionContext*>(context)->Caption.c_str() : "";
        lstrcpynA(info->item.pszText, text, info->item.cchTextMax);
      }
      return 0;
    }
  }
  return CPage::WndProc(msg, wParam, lParam);
}

void TProcFrame::ProcTreeViewContextPopup(CComponent*, TMouseButton, TShiftState, int X, int Y) {
  // The line under the point (the tree has selected it); none beside every line.
  AimMenuAt(LineOf(ProcTreeView->RowAt(X, Y)));
  POINT at = {X, Y};
  ClientToScreen(ProcTreeView->Handle(), &at);
  ProcPopupMenu->Popup(ProcTreeView->Handle(), at.x, at.y);
}
