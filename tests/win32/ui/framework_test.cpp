// The widget layer under Wine: ownership and destruction, modal results, the scripted seams,
// the glyph button's styling messages and drawing, the memo, the track bar and the timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <commctrl.h>

#include "ui/framework/application.h"
#include "ui/framework/controls.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/form.h"
#include "ui/framework/logmemo.h"
#include "ui/framework/timer.h"
#include "ui/framework/windowquery.h"

namespace {
std::vector<std::string> g_destroyed;

class CTracked : public CComponent {
 public:
  CTracked(CComponent* owner, const char* name) : CComponent(owner, name) {}
  ~CTracked() override { g_destroyed.push_back(Name()); }
  const char* ClassName() const override { return "TTracked"; }
};

class CTestForm : public CForm {
 public:
  explicit CTestForm(CComponent* owner) : CForm(owner, "TestForm") {
    SetBounds(10, 10, 200, 120);
    SetColor(RGB(10, 20, 30));
  }
  const char* ClassName() const override { return "TTestForm"; }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.Initialize();
    form = new CTestForm(&Application);
    form->EnsureCreated();
    g_destroyed.clear();
  }
  void TearDown() override {
    SetModalScript(nullptr, nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetFileDialogScript(nullptr, nullptr);
    Application.Shutdown();
  }
  COLORREF PixelOf(CControl* control, int x, int y) {
    HDC screen = GetDC(nullptr);
    CMemoryDC memory(screen, control->Width(), control->Height());
    SendMessageA(control->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.Get()),
                 PRF_CLIENT);
    COLORREF pixel = GetPixel(memory.Get(), x, y);
    ReleaseDC(nullptr, screen);
    return pixel;
  }
  CTestForm* form = nullptr;
};

}  // namespace

TEST_F(FrameworkTest, OwnersDestroyWhatTheyOwnNewestFirstAndFreedChildrenLeaveTheList) {
  auto* root = new CTracked(nullptr, "root");
  new CTracked(root, "a");
  auto* b = new CTracked(root, "b");
  new CTracked(b, "b1");
  new CTracked(root, "c");
  EXPECT_EQ(root->FindComponent("b"), b);
  EXPECT_TRUE(b->IsClass("TTracked"));
  EXPECT_EQ(root->FindComponent("missing"), nullptr);

  FreeComponent(root->FindComponent("c"));
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->FindComponent("c"), nullptr);
  g_destroyed.clear();
  FreeComponent(root);
  // The owner's own destructor first, then what it owns, newest first (each with its own).
  EXPECT_EQ(g_destroyed, (std::vector<std::string>{"root", "b", "b1", "a"}));
}

TEST_F(FrameworkTest, ControlWindowsCarryTheirNameAndGoAwayWithTheirParent) {
  auto* panel = NewControl<CPanel>(form, form, "Panel1", 0, 0, 100, 50);
  auto* box = NewControl<CCheckBox>(form, panel, "LogCheckBox", 2, 2, 90, 16, "启用中");
  HWND boxWindow = box->Handle();
  ASSERT_NE(boxWindow, nullptr);
  EXPECT_EQ(GetParent(boxWindow), panel->Handle());
  EXPECT_EQ(ComponentName(boxWindow), "LogCheckBox");
  EXPECT_EQ(WindowText(boxWindow), "启用中");
  EXPECT_EQ(CControl::FromHandle(boxWindow), box);

  // The panel's window takes the box's with it; the box object is unbound, not dangling.
  FreeComponent(panel);
  EXPECT_FALSE(IsWindow(boxWindow));
  EXPECT_EQ(box->Handle(), nullptr);
  box->SetText("禁用中");  // must not touch the dead window
  EXPECT_EQ(box->Text(), "禁用中");
  FreeComponent(box);
}

TEST_F(FrameworkTest, WindowlessControlsAreFoundPaintedAndClickedThroughTheirParent) {
  form->Show();
  auto* page = NewControl<CFrame>(form, form, "Page", 0, 60, 100, 30);  // comes first
  NewControl<CLabel>(page, page, "Label8", 0, 0, 50, 14, "日 志");
  auto* panel = NewControl<CPanel>(form, form, "Panel1", 10, 10, 100, 50);
  auto* label = NewControl<CLabel>(form, panel, "Label8", 20, 5, 60, 14, "启用中");
  EXPECT_EQ(label->Handle(), nullptr) << "a label costs no window";
  EXPECT_EQ(label->HostHandle(), panel->Handle());
  CControlInfo info;
  ASSERT_TRUE(QueryControl(form->Handle(), "Label8", &info));
  EXPECT_EQ(info.className, "TLabel");
  EXPECT_EQ(info.text, "启用中");
  EXPECT_EQ(info.host, panel->Handle());
  RECT panelScreen;
  GetWindowRect(panel->Handle(), &panelScreen);
  EXPECT_EQ(info.screen.left, panelScreen.left + 20);
  EXPECT_EQ(info.screen.bottom, panelScreen.top + 19);
  EXPECT_TRUE(info.showing);
  panel->Hide();
  ASSERT_TRUE(QueryControl(form->Handle(), "Label8", &info));
  EXPECT_FALSE(info.showing) << "hidden with its parent";
  panel->Show();
  EXPECT_FALSE(QueryControl(form->Handle(), "NoSuchControl", &info));
  // A frame's control of the same name (frames own their names) does not hide the form's.
  ASSERT_TRUE(QueryControl(form->Handle(), "Label8", &info));
  EXPECT_EQ(info.text, "启用中");
  ASSERT_TRUE(QueryControl(form->Handle(), "Page.Label8", &info));
  EXPECT_EQ(info.text, "日 志");

  // A click on the label's area reaches the label only once it has a click handler.
  int clicks = 0;
  SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 8));
  SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(25, 8));
  label->OnClick = [&](CComponent* sender) { clicks += sender == label; };
  SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 8));
  SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(25, 8));
  SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 8));
  SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(95, 45));  // released elsewhere
  EXPECT_EQ(clicks, 1);
  int downAt = -1;
  label->OnMouseDown = [&](CComponent*, TMouseButton, TShiftState, int x, int) { downAt = x; };
  SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(27, 8));
  EXPECT_EQ(downAt, 7) << "in the label's own coordinates";
  FreeComponent(label);  // while it holds the mouse: the panel forgets it
  SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(27, 8));
  EXPECT_EQ(clicks, 1);
}

TEST_F(FrameworkTest, ControlsMadeBeforeTheirParentsWindowAppearWithIt) {
  auto* frame = new CFrame(form, "Page");
  auto* inner = new CPanel(frame, "Inner");
  inner->SetParent(frame);
  EXPECT_EQ(inner->Handle(), nullptr);
  frame->SetParent(form);
  ASSERT_NE(frame->Handle(), nullptr);
  EXPECT_EQ(GetParent(inner->Handle()), frame->Handle());
  char cls[32] = {};
  GetClassNameA(frame->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TFrame");
}

TEST_F(FrameworkTest, AFramesFirstResizeFindsItsChildrensWindows) {
  // Pages run their one-time set-up at their first resize and style their buttons there.
  auto* frame = new CFrame(form, "Page");
  frame->SetBounds(0, 0, 100, 60);
  auto* button = new CGlyphButton(frame, "ClearBitBtn");
  button->SetParent(frame);
  std::vector<bool> seen;
  frame->OnResize = [&](CComponent*) {
    seen.push_back(button->Handle() != nullptr);
    button->ApplyFlatLook();
  };
  frame->SetParent(form);  // the same size as designed: no change of size follows
  EXPECT_EQ(seen, (std::vector<bool>{true}));
  EXPECT_TRUE(button->Flat());
  frame->SetBounds(0, 0, 120, 60);
  EXPECT_EQ(seen.size(), 2u);
}

// A frame whose window the system refuses to make.
class CUnmadeFrame : public CFrame {
 public:
  explicit CUnmadeFrame(CComponent* owner) : CFrame(owner, "Unmade") { SetBounds(0, 0, 100, 30); }

 protected:
  void CreateParams(CCreateParams& params) override { params.windowClass = "NoSuchWindowClass"; }
};

BOOL CALLBACK CountToolTips(HWND window, LPARAM count) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, TOOLTIPS_CLASSA) == 0) *reinterpret_cast<int*>(count) += static_cast<int>(SendMessageA(window, TTM_GETTOOLCOUNT, 0, 0));
  return TRUE;
}

TEST_F(FrameworkTest, AScrollBoxKeepsWindowsForWhatIsInViewAndSurvivesAFrameWithoutOne) {
  form->Show();
  auto* box = new CScrollBox(form, "Box");
  box->SetBounds(0, 0, 180, 90);
  box->SetParent(form);
  std::vector<CFrame*> frames;
  std::vector<CCheckBox*> checks;
  {
    CScrollBox::CUpdate hold(box);
    for (int i = 0; i < 60; ++i) {
      auto* frame = new CFrame(form, ("Card" + std::to_string(i)).c_str());
      frame->SetBounds(0, 0, 100, 30);
      auto* check = new CCheckBox(form, "Check");
      check->SetBounds(4, 4, 16, 16);
      check->SetHint("on or off");
      check->SetChecked(i % 2 == 0);
      check->SetParent(frame);
      frame->SetParent(box);
      frames.push_back(frame);
      checks.push_back(check);
    }
  }
  int view = box->ClientRect().bottom, screen = view / 30 + 2;
  auto withWindows = [&] {
    int n = 0;
    for (CFrame* frame : frames) n += frame->Handle() != nullptr;
    return n;
  };
  auto tools = [] {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountToolTips, reinterpret_cast<LPARAM>(&n));
    return n;
  };
  int most = 0, mostTools = 0;
  uint32_t seed = 7;
  for (int step = 0; step < 400; ++step) {
    seed = seed * 1103515245u + 12345u;
    box->SetScrollPos(step < 200 ? step * 10 : static_cast<int>((seed >> 8) % 1800));
    most = std::max(most, withWindows());
    mostTools = std::max(mostTools, tools());
  }
  EXPECT_LE(most, screen);
  EXPECT_LE(mostTools, screen);  // the check boxes' hints go with their windows
  // Back in view, a frame's windows are made again from what its objects kept.
  box->SetScrollPos(0);
  ASSERT_NE(checks[1]->Handle(), nullptr);
  EXPECT_EQ(SendMessageA(checks[0]->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(checks[1]->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The frame that has the keyboard keeps its windows out of view.
  checks[0]->SetFocus();
  box->SetScrollPos(1500);
  EXPECT_NE(frames[0]->Handle(), nullptr);
  EXPECT_LE(withWindows(), screen + 1);

  // A frame whose window cannot be made: the failure reaches the caller, and the box lays
  // out and makes windows for the frames that come after it.
  box->SetScrollPos(0);
  auto* unmade = new CUnmadeFrame(form);
  EXPECT_THROW(
      {
        CScrollBox::CUpdate hold(box);
        unmade->SetParent(box);
        box->MoveChildTo(unmade, 0);
      },
      CFrameworkError);
  EXPECT_FALSE(box->Updating());
  FreeComponent(unmade);
  auto* last = new CFrame(form, "Last");
  last->SetBounds(0, 0, 100, 30);
  last->SetParent(box);
  EXPECT_EQ(box->StackTop(last), 60 * 30);
  box->ScrollInView(last);
  EXPECT_NE(last->Handle(), nullptr);
  EXPECT_EQ(box->StackTop(frames[1]), 30);
}

BOOL CALLBACK ToolText(HWND window, LPARAM info) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, TOOLTIPS_CLASSA) == 0) SendMessageA(window, TTM_GETTEXTA, 0, info);
  return TRUE;
}

// Frames of one make trade windows: the receiver's state shows in them as if it had made them
// (check, caption, enabled, place, hints), all painted anew; another make, or a receiver with
// windows, is refused.
TEST_F(FrameworkTest, FramesOfOneMakeTradeWindowsAndTheWindowsShowTheReceiver) {
  form->Show();
  auto card = [&](const char* name, bool checked, const char* caption, bool withEdit = false) {
    auto* frame = NewControl<CFrame>(form, form, name, 0, 0, 100, 40);
    auto* check = NewControl<CCheckBox>(form, frame, "Check", 4, 4, 16, 16);
    check->SetChecked(checked);
    check->SetHint(caption);
    NewControl<CGlyphButton>(form, frame, "Button", 24, 4, 40, 20, caption)->SetEnabled(checked);
    NewControl<CLabel>(form, frame, "Label", 70, 4, 20, 14, caption)->SetHint(caption);
    if (withEdit) NewControl<CEdit>(form, frame, "Edit", 4, 24, 40, 14);
    return frame;
  };
  auto tools = [] {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountToolTips, reinterpret_cast<LPARAM>(&n));
    return n;
  };
  CFrame* giver = card("Giver", true, "one");
  CFrame* taker = card("Taker", false, "two");
  taker->SetBounds(0, 50, 100, 40);
  taker->FreeHandle();
  const int toolsBefore = tools();
  HWND frameWindow = giver->Handle(), checkWindow = giver->Child(0)->Handle();
  HWND buttonWindow = giver->Child(1)->Handle();
  ASSERT_TRUE(giver->HandWindowsTo(taker));
  EXPECT_EQ(giver->Handle(), nullptr);
  EXPECT_EQ(giver->Child(0)->Handle(), nullptr);
  EXPECT_EQ(taker->Handle(), frameWindow);
  EXPECT_EQ(CControl::FromHandle(checkWindow), taker->Child(0));
  EXPECT_EQ(SendMessageA(checkWindow, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  char text[16] = {};
  GetWindowTextA(buttonWindow, text, sizeof text);
  EXPECT_STREQ(text, "two");
  EXPECT_FALSE(IsWindowEnabled(buttonWindow));
  RECT r;
  GetWindowRect(frameWindow, &r);
  MapWindowPoints(HWND_DESKTOP, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(tools(), toolsBefore) << "the giver's tools went, the taker's came";
  TTTOOLINFOA info = {};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.hwnd = form->Handle();
  info.uId = reinterpret_cast<UINT_PTR>(checkWindow);
  info.lpszText = text;
  EnumThreadWindows(GetCurrentThreadId(), ToolText, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, "two");
  // Painted once, all of it, after the trade; then each window asks for its paints again.
  for (HWND w : {frameWindow, checkWindow, buttonWindow})
    EXPECT_TRUE(GetUpdateRect(w, nullptr, FALSE)) << "a traded window waits for its paint";
  UpdateWindow(frameWindow);
  EXPECT_FALSE(GetUpdateRect(buttonWindow, nullptr, FALSE)) << "painted";
  taker->Child(1)->Invalidate();
  EXPECT_TRUE(GetUpdateRect(buttonWindow, nullptr, FALSE)) << "the hold on paints was let go";

  CFrame* busy = card("Busy", true, "three");
  CFrame* other = card("Other", true, "four", true);
  CFrame* typed = card("Typed", true, "five", true);
  other->FreeHandle();
  EXPECT_FALSE(taker->HandWindowsTo(busy)) << "it has windows of its own";
  EXPECT_FALSE(taker->HandWindowsTo(other)) << "another make";
  EXPECT_FALSE(typed->HandWindowsTo(other)) << "a window that keeps what was typed is not traded";
  EXPECT_EQ(taker->Handle(), frameWindow);
  EXPECT_EQ(other->Handle(), nullptr);
}

// GDI objects of the process: every handle value whose low word is a live entry of Wine's table.
int GdiObjects() {
  int live = 0;
  for (UINT_PTR h = 1; h < 0x10000; ++h) live += GetObjectType(reinterpret_cast<HGDIOBJ>(h)) != 0;
  return live;
}

TEST_F(FrameworkTest, ScrollingThroughFramesCostsNoGdiObjectsAndWheelBurstsAreOneStep) {
  form->Show();
  auto* box = new CScrollBox(form, "Box");
  box->SetBounds(0, 0, 180, 90);
  box->SetParent(form);
  {
    CScrollBox::CUpdate hold(box);
    for (int i = 0; i < 100; ++i) {
      auto* frame = new CFrame(form, "Card");
      frame->SetBounds(0, 0, 100, 30);
      frame->SetColor(i % 2 ? RGB(200, 220, 240) : RGB(240, 240, 200));
      frame->SetParentColor(false);
      auto* check = new CCheckBox(form, "Check");  // paints on its frame's colour
      check->SetBounds(4, 4, 16, 16);
      check->SetParent(frame);
      frame->SetParent(box);
    }
  }
  UpdateWindow(form->Handle());
  int before = GdiObjects();
  for (int pos = 0; pos <= box->ContentHeight(); pos += 30) {
    box->SetScrollPos(pos);
    UpdateWindow(form->Handle());
  }
  box->SetScrollPos(0);
  UpdateWindow(form->Handle());
  EXPECT_LE(GdiObjects(), before + 2);

  // Notches queued together are taken as one step; turns finer than a notch add up to one.
  const int notch = 3 * 16;
  for (int i = 0; i < 3; ++i)
    PostMessageA(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, box->Handle(), WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE));
  DispatchMessageA(&msg);
  EXPECT_EQ(box->ScrollPos(), 3 * notch);
  EXPECT_FALSE(PeekMessageA(&msg, box->Handle(), WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_NOREMOVE));
  SendMessageA(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 0);
  EXPECT_EQ(box->ScrollPos(), 3 * notch);
  SendMessageA(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 0);
  EXPECT_EQ(box->ScrollPos(), 2 * notch);
}

// Each form answers for the keyboard and the tool tip of its own window only.
TEST_F(FrameworkTest, AFormsFocusAndToolTipAreItsOwn) {
  form->Show();
  auto* hinted = NewControl<CButton>(form, form, "Hinted", 4, 4, 60, 20, "ok");
  hinted->SetHint("a hint");
  auto* other = new CTestForm(&Application);
  auto* edit = NewControl<CEdit>(other, other, "Edit", 4, 4, 80, 20);
  other->Show();
  edit->SetFocus();
  EXPECT_EQ(other->FocusedControl(), edit);
  EXPECT_EQ(form->FocusedControl(), nullptr) << "the keyboard is in another form";
  auto tools = [] {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountToolTips, reinterpret_cast<LPARAM>(&n));
    return n;
  };
  EXPECT_EQ(tools(), 1);
  // The form's window made again: the tool tip that went with the old one is not used again.
  form->FreeHandle();
  EXPECT_EQ(tools(), 0);
  form->EnsureCreated();
  EXPECT_EQ(tools(), 1);
  FreeComponent(other);
}

TEST_F(FrameworkTest, AlignmentFillsTopThenClient) {
  auto* frame = new CFrame(form, "Page");
  frame->SetParent(form);
  frame->SetAlign(TAlign::Client);
  auto* top = new CPanel(frame, "Top");
  top->SetParent(frame);
  top->SetBounds(0, 0, 10, 30);
  top->SetAlign(TAlign::Top);
  auto* memo = new CMemo(frame, "Memo");
  memo->SetParent(frame);
  memo->SetAlign(TAlign::Client);
  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(frame->Width(), client.right);
  EXPECT_EQ(top->Width(), client.right);
  EXPECT_EQ(memo->Top(), 30);
  EXPECT_EQ(memo->Height(), client.bottom - 30);
  form->SetBounds(10, 10, 300, 200);
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(memo->Width(), client.right);
}

TEST_F(FrameworkTest, AlignmentStartsOverWhenAResizeChangesTheChildren) {
  // A child's new size runs code that reorders, frees and adds children of the same parent, as
  // a page building itself on its first size does: every child still ends where its place in
  // the new order puts it, and nothing is read from the list as it was.
  struct CBuildingFrame : CFrame {
    using CFrame::CFrame;
    using CControl::MoveChild;
  };
  auto* page = new CBuildingFrame(form, "Building");
  page->SetParent(form);
  page->SetBounds(0, 0, 200, 100);
  auto top = [&](const char* name, int height) {
    auto* panel = new CPanel(page, name);
    panel->SetParent(page);
    panel->SetBounds(0, 0, 10, height);
    panel->SetAlign(TAlign::Top);
    return panel;
  };
  CPanel* a = top("A", 10);
  CPanel* b = top("B", 20);
  CPanel* c = top("C", 30);
  CPanel* gone = top("Gone", 5);
  int built = 0;
  a->OnResize = [&](CComponent*) {
    if (built++ > 0) return;
    page->MoveChild(c, 0);
    FreeComponent(gone);
    for (int i = 0; i < 32; ++i) (new CPanel(page, nullptr))->SetParent(page);  // the list moves
  };
  page->SetBounds(0, 0, 300, 100);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(c->Top(), 0);
  EXPECT_EQ(a->Top(), 30);
  EXPECT_EQ(b->Top(), 40);
  for (CPanel* panel : {a, b, c}) EXPECT_EQ(panel->Width(), 300);
}

TEST_F(FrameworkTest, InputQueuedForAFormBelowAModalWindowIsDropped) {
  // Clicks and keys that reach a form a modal dialog has disabled (posted, or queued before
  // the dialog opened) do nothing; the same input does its work once the dialog has closed.
  form->Show();
  auto* button = NewControl<CButton>(form, form, "Queued", 4, 4, 60, 20, "ok");
  int clicks = 0;
  button->OnClick = [&](CComponent*) { ++clicks; };
  auto post = [&] {
    PostMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageA(button->Handle(), WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(button->Handle(), WM_KEYUP, VK_SPACE, 0);
  };
  auto* dialog = new CTestForm(&Application);
  dialog->OnShow = [&](CComponent*) {
    post();
    PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(clicks, 0);
  post();
  Application.ProcessMessages();
  EXPECT_GE(clicks, 1);
  FreeComponent(dialog);
}

TEST_F(FrameworkTest, ModalResultsComeFromTheLoopOrFromTheScript) {
  auto* dialog = new CTestForm(&Application);
  auto* ok = new CGlyphButton(dialog, "OKBtn");
  ok->SetParent(dialog);
  ok->OnClick = [dialog](CComponent*) { dialog->SetModalResult(mrOk); };
  // A real loop: the button is clicked by a posted message while the dialog runs.
  dialog->OnShow = [ok](CComponent*) { PostMessageA(ok->Handle(), BM_CLICK, 0, 0); };
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(dialog->Modal());
  EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  EXPECT_TRUE(IsWindowEnabled(form->Handle())) << "the owner is enabled again";

  // Closing a modal form answers Cancel.
  dialog->OnShow = [dialog](CComponent*) { PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0); };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);

  static CForm* seen = nullptr;
  SetModalScript([](void*, CForm* f) { seen = f; return mrYes; }, nullptr);
  EXPECT_EQ(dialog->ShowModal(), mrYes);
  EXPECT_EQ(seen, dialog);
}

TEST_F(FrameworkTest, MessageBoxesAndFileDialogsGoThroughTheirScripts) {
  struct Box {
    void* owner;
    std::string text, caption;
    uint32_t flags;
  } box{};
  SetMessageBoxScript(
      [](void* ctx, void* owner, const char* text, const char* caption, uint32_t flags) {
        *static_cast<Box*>(ctx) = Box{owner, text, caption, flags};
        return kIdCancel;
      },
      &box);
  EXPECT_EQ(MessageDlg(form, "初始化防火墙组件失败!", "错误", kMbOkCancel), kIdCancel);
  EXPECT_EQ(box.owner, form->Handle());
  EXPECT_EQ(box.text, "初始化防火墙组件失败!");
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.flags, kMbOkCancel);

  CFileDialog save(nullptr, "SaveDialog1", true);
  SetFileDialogScript(
      [](void*, CFileDialog* d) {
        d->FileName = std::string(400, 'x');  // longer than any path
        return d->Save();
      },
      nullptr);
  EXPECT_TRUE(save.Execute(form));
  EXPECT_EQ(save.FileName.size(), 259u);
}

TEST_F(FrameworkTest, GlyphButtonTakesTheTwoStylingMessagesAndLeavesTheKeyColourOut) {
  form->SetColor(RGB(200, 100, 50));
  auto* button = new CGlyphButton(form, "EnableBtn");
  button->SetParent(form);
  button->SetBounds(0, 0, 40, 40);
  // A 32 x 32 glyph: key colour all round a 16 x 16 blue square in the middle.
  HDC screen = GetDC(nullptr);
  HBITMAP glyph = CreateCompatibleBitmap(screen, 32, 32);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, glyph);
  RECT all = {0, 0, 32, 32}, middle = {8, 8, 24, 24};
  HBRUSH key = CreateSolidBrush(0x8080), blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(dc, &all, key);
  FillRect(dc, &middle, blue);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(key);
  DeleteObject(blue);
  ReleaseDC(nullptr, screen);
  button->SetGlyph(glyph);
  EXPECT_FALSE(button->Flat());

  HFONT font = CreatePixelFont("宋体", 12);
  SendMessageA(button->Handle(), kMsgButtonLayout, 2, reinterpret_cast<LPARAM>(font));
  EXPECT_TRUE(button->Flat());
  EXPECT_EQ(button->Layout(), TButtonLayout::GlyphTop);
  EXPECT_EQ(button->SkinFont(), font);
  SendMessageA(button->Handle(), kMsgButtonGlyph, 0x8080, reinterpret_cast<LPARAM>(glyph));
  EXPECT_EQ(button->TransparentColor(), 0x8080u);
  EXPECT_EQ(button->SkinGlyph(), glyph);

  // Glyph centred at (4, 4): its key colour shows the form, its square shows blue.
  EXPECT_EQ(PixelOf(button, 6, 6), RGB(200, 100, 50));
  EXPECT_EQ(PixelOf(button, 20, 20), RGB(0, 0, 255));

  // A new picture replaces the one the skin was handed, and the skin follows it.
  button->LoadGlyphFromFile("no such file.bmp");
  EXPECT_EQ(button->SkinGlyph(), glyph);
  HBITMAP second = CreateBitmap(8, 8, 1, 32, nullptr);
  button->SetGlyph(second);
  EXPECT_EQ(button->SkinGlyph(), second);
  DeleteObject(font);
}

TEST_F(FrameworkTest, GlyphButtonClicksOnlyWhenEnabled) {
  auto* button = new CGlyphButton(form, "Btn");
  button->SetParent(form);
  button->SetBounds(0, 0, 20, 20);
  int clicks = 0;
  button->OnClick = [&clicks](CComponent*) { ++clicks; };
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(50, 50));  // released outside
  EXPECT_EQ(clicks, 2);
  button->SetEnabled(false);
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
}

TEST_F(FrameworkTest, TransparentLabelShowsThePictureBelowIt) {
  auto* image = new CImage(form, "Image1");
  image->SetParent(form);
  image->SetBounds(0, 0, 100, 100);
  HDC screen = GetDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(screen, 100, 100);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, picture);
  RECT left = {0, 0, 50, 100}, right = {50, 0, 100, 100};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0)), red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &left, green);
  FillRect(dc, &right, red);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(green);
  DeleteObject(red);
  ReleaseDC(nullptr, screen);
  image->SetPicture(picture);
  auto* label = NewControl<CLabel>(form, form, "Label2", 40, 10, 20, 10, "");
  EXPECT_EQ(PixelOf(form, 42, 12), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(form, 55, 12), RGB(255, 0, 0));
  // A transparent button above shows the picture and the label under it too.
  label->SetTransparent(false);
  label->SetColor(RGB(0, 0, 255));
  auto* button = NewControl<CGlyphButton>(form, form, "Btn", 30, 0, 40, 40);
  button->ApplyFlatLook();
  EXPECT_EQ(PixelOf(button, 5, 20), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(button, 15, 15), RGB(0, 0, 255)) << "the label under the button";
}

TEST_F(FrameworkTest, MemoAppendsLinesAtTheEndBeyondTheDefaultLimit) {
  auto* memo = new CMemo(form, "LogMemo");
  memo->SetReadOnly(true);
  memo->SetParent(form);
  memo->SetBounds(0, 0, 150, 100);
  memo->Clear();  // clearing an empty memo is harmless
  EXPECT_EQ(memo->LineCount(), 0);
  memo->AppendLines("第一行\r\n第二行");
  memo->AppendLines("third\nfourth\r\n");
  EXPECT_EQ(memo->AllText(), "第一行\r\n第二行\r\nthird\r\nfourth\r\n");
  EXPECT_EQ(memo->LineCount(), 4);

  // The edit control stops at 32 KB unless the limit is raised.
  std::string line(1000, 'x');
  for (int i = 0; i < 60; ++i) memo->AppendLines(line.c_str());
  EXPECT_GT(memo->TextLength(), 60000u);
  EXPECT_EQ(memo->LineCount(), 64);
  memo->Clear();
  EXPECT_EQ(memo->TextLength(), 0u);
}

TEST_F(FrameworkTest, TrackBarReportsUserMovesButNotProgrammedOnes) {
  auto* bar = new CTrackBar(form, "TrackBar1");
  bar->SetVertical(true);
  bar->SetRange(0, 3);
  bar->SetPosition(1);
  bar->SetParent(form);
  bar->SetBounds(0, 0, 40, 100);
  std::vector<int> seen;
  bar->OnChange = [&](CComponent*) { seen.push_back(bar->Position()); };
  bar->SetPosition(2);
  EXPECT_TRUE(seen.empty());
  SendMessageA(bar->Handle(), WM_KEYDOWN, VK_END, 0);
  SendMessageA(bar->Handle(), WM_KEYDOWN, VK_HOME, 0);
  SendMessageA(bar->Handle(), WM_KEYDOWN, VK_HOME, 0);  // already at 0: no change
  EXPECT_EQ(seen, (std::vector<int>{3, 0}));
  bar->SetPosition(9);
  EXPECT_EQ(bar->Position(), 3);
}

TEST_F(FrameworkTest, TimerTicksThroughTheLoopAndStopsWhenFreed) {
  auto* timer = new CTimer(form, "NotifyTimer");
  int ticks = 0;
  timer->SetInterval(20);
  timer->OnTimer = [&](CComponent*) { ++ticks; };
  timer->SetEnabled(true);
  DWORD start = GetTickCount();
  while (ticks < 2 && GetTickCount() - start < 2000) {
    Application.ProcessMessages();
    Sleep(5);
  }
  EXPECT_GE(ticks, 2);
  FreeComponent(timer);
  int after = ticks;
  Sleep(60);
  Application.ProcessMessages();
  EXPECT_EQ(ticks, after);
}

TEST_F(FrameworkTest, ExceptionsInHandlersReachTheStandardBoxOnlyWhenTheUserCanActOnThem) {
  std::string shown;
  SetMessageBoxScript(
      [](void* ctx, void*, const char* text, const char* caption, uint32_t) {
        *static_cast<std::string*>(ctx) = std::string(caption) + ": " + text;
        return kIdOk;
      },
      &shown);
  auto* button = new CGlyphButton(form, "Btn");
  button->SetParent(form);
  const std::string resources = "错误: 系统资源不足，操作未能完成。请关闭一些窗口或程序后再试。";
  struct {
    std::function<void()> fault;
    std::string box;
  } cases[] = {
      {[] { throw CFrameworkError("broken handler"); }, ""},
      {[] { throw 7; }, ""},
      {[] { throw std::bad_alloc(); }, resources},
      {[] { throw CFrameworkError("Cannot create the window", true); }, resources},
  };
  for (auto& c : cases) {
    shown.clear();
    button->OnClick = [&](CComponent*) { c.fault(); };
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(c.box, shown);
  }

  // A timer whose handler threw still ticks.
  auto* timer = new CTimer(form, "ThrowingTimer");
  int ticks = 0;
  timer->OnTimer = [&](CComponent*) {
    if (++ticks == 1) throw std::bad_alloc();
  };
  timer->SetEnabled(true);
  EXPECT_THROW(timer->Tick(), std::bad_alloc);
  timer->Tick();
  EXPECT_EQ(2, ticks);
}

// ---- the log memo ----

namespace {
CLogMemo* MakeLogMemo(CForm* form, int width, int height) {
  auto* memo = new CLogMemo(form, "LogMemo");
  memo->SetParent(form);
  memo->SetBounds(0, 0, width, height);
  return memo;
}
std::string WindowTextWithin(HWND hwnd, WPARAM size) {
  std::string text(size, '\0');
  LRESULT copied = SendMessageA(hwnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(&text[0]));
  EXPECT_EQ(strlen(text.c_str()), static_cast<size_t>(copied));
  return text.c_str();
}
}  // namespace

TEST_F(FrameworkTest, LogMemoKeepsLinesAndGivesItsWholeTextToReadersOfTheWindowText) {
  CLogMemo* memo = MakeLogMemo(form, 180, 100);
  memo->Clear();  // clearing an empty log is harmless
  EXPECT_EQ(memo->LineCount(), 0);
  EXPECT_EQ(SendMessageA(memo->Handle(), WM_GETTEXTLENGTH, 0, 0), 0);
  memo->AppendLines("第一行\r\n第二行");
  memo->AppendLines("third\nfourth\r\n");
  memo->AppendLines("");  // an empty log text is an empty line
  memo->AppendLines("\n\nlast");
  EXPECT_EQ(memo->AllText(), "第一行\r\n第二行\r\nthird\r\nfourth\r\n\r\n\r\n\r\nlast\r\n");
  EXPECT_EQ(memo->LineCount(), 8);
  EXPECT_EQ(memo->Line(1), "第二行");
  EXPECT_EQ(memo->Line(4), "");
  EXPECT_EQ(memo->Line(8), "");

  // Tools outside the process read the log as the window text.
  EXPECT_EQ(SendMessageA(memo->Handle(), WM_GETTEXTLENGTH, 0, 0),
            static_cast<LRESULT>(memo->AllText().size()));
  EXPECT_EQ(WindowTextWithin(memo->Handle(), 200), memo->AllText());
  // A short buffer never ends in half a double-byte character.
  EXPECT_EQ(WindowTextWithin(memo->Handle(), 4), "第");
  EXPECT_EQ(WindowTextWithin(memo->Handle(), 5), "第一");
  EXPECT_EQ(WindowTextWithin(memo->Handle(), 11), "第一行\r\n第");
  char title[7] = {};
  EXPECT_EQ(GetWindowTextA(memo->Handle(), title, sizeof title), 6);
  EXPECT_STREQ(title, "第一行");

  SetWindowTextA(memo->Handle(), "替换\r\n");
  EXPECT_EQ(memo->AllText(), "替换\r\n");
  memo->Clear();
  EXPECT_EQ(memo->TextLength(), 0u);
  EXPECT_EQ(memo->LineCount(), 0);
  EXPECT_EQ(memo->SelectionStart(), -1);
}

TEST_F(FrameworkTest, LogMemoHasNoLineLimit) {
  CLogMemo* memo = MakeLogMemo(form, 180, 100);
  // Past the 64 K lines and 64 KB where the system's edit controls stop on some systems.
  std::string block;
  for (int i = 0; i < 10; ++i) block += "[协议类型]: TCP\r\n";
  for (int i = 0; i < 7000; ++i) memo->AppendLines(block.c_str());
  EXPECT_EQ(memo->LineCount(), 70000);
  EXPECT_EQ(memo->TextLength(), 70000u * 17);
  EXPECT_EQ(memo->Line(69999), "[协议类型]: TCP");
  EXPECT_EQ(memo->TopLine(), 70000 - memo->VisibleLines()) << "the last line in view";
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(memo->Handle(), SB_VERT, &info);
  EXPECT_EQ(info.nMax, 69999);
  EXPECT_EQ(info.nPos, memo->TopLine());
}

// A console that runs for weeks: past 4 MB the oldest whole lines make room, and the view and
// a selection stay on the lines they showed.
TEST_F(FrameworkTest, LogMemoKeepsTheNewestFourMegabytes) {
  CLogMemo* memo = MakeLogMemo(form, 180, 100);
  auto text = [](int i) {
    char line[64];
    snprintf(line, sizeof line, "%06d [协议类型]: TCP %039d", i, i);  // 64 bytes with its line end
    return std::string(line);
  };
  auto append = [&](int first, int count) {
    std::string block;
    for (int i = first; i < first + count; ++i) block += text(i) + "\r\n";
    memo->AppendLines(block.c_str());
  };
  const int below = (4 << 20) / 64 - 36;  // just under 4 MB
  for (int i = 0; i < below; i += 100) append(i, std::min(100, below - i));
  ASSERT_EQ(memo->LineCount(), below) << "nothing dropped under 4 MB";
  EXPECT_EQ(memo->TopLine(), below - memo->VisibleLines()) << "the end in view, under the horizontal bar too";
  memo->SelectLines(below - 2, below - 1);
  SendMessageA(memo->Handle(), WM_VSCROLL, SB_LINEUP, 0);  // the reader looks just above the end
  const int top = memo->TopLine();
  append(below, 100);
  const int dropped = below + 100 - memo->LineCount();
  ASSERT_GT(dropped, 0);
  EXPECT_LE(memo->TextLength(), 3u << 20);
  EXPECT_EQ(memo->TextLength(), static_cast<uint32_t>(memo->LineCount()) * 64) << "whole lines";
  EXPECT_EQ(memo->Line(0), text(dropped));
  EXPECT_EQ(memo->Line(memo->LineCount() - 1), text(below + 99));
  EXPECT_EQ(memo->TopLine(), top - dropped);
  EXPECT_EQ(memo->SelectedText(), text(below - 2) + "\r\n" + text(below - 1) + "\r\n");
}

TEST_F(FrameworkTest, LogMemoFollowsTheEndUnlessTheReaderScrolledUp) {
  CLogMemo* memo = MakeLogMemo(form, 180, 100);
  int rows = memo->VisibleLines();
  ASSERT_GT(rows, 2);
  for (int i = 0; i < 3 * rows; ++i) memo->AppendLines(("line " + std::to_string(i)).c_str());
  EXPECT_EQ(memo->TopLine(), 2 * rows);

  // Scrolled up by the reader: new lines do not move the view.
  SendMessageA(memo->Handle(), WM_VSCROLL, SB_PAGEUP, 0);
  EXPECT_EQ(memo->TopLine(), rows);
  SendMessageA(memo->Handle(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(memo->TopLine(), rows - 1);
  memo->AppendLines("more");
  EXPECT_EQ(memo->TopLine(), rows - 1);
  SendMessageA(memo->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(memo->TopLine(), 0);
  SendMessageA(memo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_GT(memo->TopLine(), 0);
  SendMessageA(memo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(memo->TopLine(), 0);

  // Back at the end, the view follows again.
  SendMessageA(memo->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  memo->AppendLines("one\r\ntwo");
  EXPECT_EQ(memo->TopLine(), memo->LineCount() - rows);
  SendMessageA(memo->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(memo->TopLine(), memo->LineCount() - rows) << "not past the last line";

  // A line wider than the view brings the horizontal scroll bar; the vertical one stays.
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(memo->Handle(), SB_HORZ, &info);
  EXPECT_LT(info.nMax, static_cast<int>(info.nPage));
  memo->AppendLines(std::string(200, 'w').c_str());
  GetScrollInfo(memo->Handle(), SB_HORZ, &info);
  EXPECT_GE(info.nMax, static_cast<int>(info.nPage));
  memo->Clear();
  EXPECT_EQ(memo->TopLine(), 0);
}

TEST_F(FrameworkTest, LogMemoSelectsWholeLinesAndCopiesThem) {
  CLogMemo* memo = MakeLogMemo(form, 180, 100);
  memo->AppendLines("[来源]:     系统\r\n[处理方式]: 拦截\r\n[协议类型]: TCP\r\nend");
  int h = memo->LineHeight();
  SendMessageA(memo->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, h + h / 2));
  SendMessageA(memo->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, h + h / 2));
  EXPECT_EQ(memo->SelectionStart(), 1);
  EXPECT_EQ(memo->SelectionEnd(), 1);
  SendMessageA(memo->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 2 * h + 1));
  SendMessageA(memo->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 2 * h + 1));
  EXPECT_EQ(memo->SelectedText(), "[处理方式]: 拦截\r\n[协议类型]: TCP\r\n");
  // Selected rows are drawn in the highlight colour, the others on white.
  EXPECT_EQ(PixelOf(memo, 150, h + 1), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(PixelOf(memo, 150, 1), RGB(255, 255, 255));

  // Dragging from the first line down past the last selects them all.
  SendMessageA(memo->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 1));
  SendMessageA(memo->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 4 * h + 3));
  SendMessageA(memo->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 4 * h + 3));
  EXPECT_EQ(memo->SelectionStart(), 0);
  EXPECT_EQ(memo->SelectionEnd(), 3);

  memo->SelectLines(2, 3);
  SendMessageA(memo->Handle(), WM_COPY, 0, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  ASSERT_NE(data, nullptr);
  std::string copied = static_cast<const char*>(GlobalLock(data));
  GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(copied, "[协议类型]: TCP\r\nend\r\n");

  memo->SelectAll();
  EXPECT_EQ(memo->SelectedText(), memo->AllText());
  memo->Clear();
  EXPECT_FALSE(memo->CopyToClipboard()) << "nothing selected";
}
