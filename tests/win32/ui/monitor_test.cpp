// The two monitoring pages in a window of the test, against RkFw.sys started through the
// service manager as the console starts it; rkfwctl's commands feed the traffic and the
// connection table. Each refresh is run by hand, so that one refresh is one step.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/result.h"
#include "driver/rkfw.h"
#include "standin/rkfwctl/rkfwctl.h"
#include "tests/win32/support/consolehost.h"
#include "tests/win32/support/golden.h"
#include "tests/win32/support/services.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/tfwinfoframe/tfwinfoframe.h"
#include "ui/tfwprocframe/tfwprocframe.h"

namespace {
void Ctl(const std::string& line) {
  CRkfwctl ctl;
  ASSERT_EQ(kRkfwctlOk, ctl.Run(SplitRkfwctlLine(line))) << line << ": " << ctl.Err;
}

std::string Status(const char* name) {
  CRkfwctl ctl;
  ctl.Run({"status"});
  size_t at = ctl.Out.find(std::string(name) + " ");
  if (at == std::string::npos) return "";
  size_t from = at + strlen(name) + 1;
  return ctl.Out.substr(from, ctl.Out.find('\n', from) - from);
}

// Stands in for the main window: the level slider, and a record of the log page being asked
// for.
class CHostForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CHostForm(CComponent* owner) : CForm(owner, "HostForm") {
    SetClientSize(kPageWidth, kPageHeight);
    TrackBar1 = NewControl<CTrackBar>(this, this, "TrackBar1", 0, 0, 1, 1);
    TrackBar1->SetRange(0, 10);
    TrackBar1->Hide();
  }
  int SecurityLevel() const override { return TrackBar1->Position(); }
  void RequestLogPage() override { ++logViewAsked; }
  CTrackBar* TrackBar1;
  int logViewAsked = 0;
};

class MonitorPages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StopService(RKFW_SERVICE_NAME);
    ResetDriverLinkForTests();
    ASSERT_EQ(RESULT_OK, DetectPlatform());
    ASSERT_EQ(RESULT_OK, OpenDriver(1));
  }
  static void TearDownTestSuite() {
    CRkfwctl().Run({"reset"});
    ResetDriverLinkForTests();
    StopService(RKFW_SERVICE_NAME);
  }
  void SetUp() override {
    Ctl("reset");
    Application.Initialize();
    host = new CHostForm(&Application);
    host->EnsureCreated();
  }
  void TearDown() override { Application.Shutdown(); }

  template <class Page>
  Page* Open() {
    auto* page = new Page(host, *host);
    page->SetParent(host);
    page->SetAlign(TAlign::Client);
    page->Show();
    host->Show();
    Application.ProcessMessages();
    return page;
  }
  // The colour the screen shows at (x, y) of a windowless control.
  COLORREF Pixel(CControl* box, int x, int y) {
    Application.ProcessMessages();
    UpdateWindow(box->HostHandle());
    HDC dc = GetDC(box->HostHandle());
    COLORREF colour = GetPixel(dc, box->Left() + x, box->Top() + y);
    ReleaseDC(box->HostHandle(), dc);
    return colour;
  }
  CHostForm* host = nullptr;
};

std::string GoldenPath(const char* name) { return std::string(VARDEEN_GOLDEN) + "\\" + name; }

// The tree as indented captions.
std::string TreeText(CTreeView* tree) {
  std::string out;
  std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
    for (; item != nullptr; item = tree->NextSibling(item)) {
      out += std::string(static_cast<size_t>(depth) * 2, ' ') + tree->ItemText(item) + "\n";
      walk(tree->FirstChild(item), depth + 1);
    }
  };
  walk(tree->FirstChild(nullptr), 0);
  return out;
}

// The line of the tree whose caption starts with `prefix`.
HTREEITEM FindLine(CTreeView* tree, const std::string& prefix) {
  HTREEITEM hit = nullptr;
  std::function<void(HTREEITEM)> walk = [&](HTREEITEM item) {
    for (; item != nullptr && hit == nullptr; item = tree->NextSibling(item)) {
      if (tree->ItemText(item).compare(0, prefix.size(), prefix) == 0) hit = item;
      walk(tree->FirstChild(item));
    }
  };
  walk(tree->FirstChild(nullptr));
  return hit;
}
}  // namespace

TEST_F(MonitorPages, InfoPageFollowsTheDriversTotalsCountsStateAndTheSlider) {
  host->TrackBar1->SetPosition(3);
  Ctl("traffic 5000 7000");  // before the page: the first interval counts from its opening
  auto* page = Open<TFWInfoFrame>();
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), GoldenPath("infoframe.txt")));
  EXPECT_EQ(kDriverVersionText, page->VersionLabel->Text());
  EXPECT_EQ("5,000", page->SendLabel->Text());
  EXPECT_EQ("自定义", page->jibie->Text());
  EXPECT_EQ("禁用中", page->StateLabel->Text());
  // The first refresh saw no new bytes: both traces on the bottom edge, the idle picture.
  EXPECT_EQ(0u, page->SendGraph.History[page->SendGraph.History.Count - 1]);
  EXPECT_EQ(0, page->Activity);

  Ctl("conn add key=1 proto=tcp local=10.0.0.5:1025 remote=10.0.0.1:80");
  Ctl("conn add key=2 proto=tcp local=10.0.0.5:1026 remote=10.0.0.1:80");
  Ctl("conn add key=3 proto=udp local=10.0.0.5:53");
  Ctl("traffic 1234567 300");
  ASSERT_EQ(RESULT_OK, SetFilterEnabled(1));
  page->RefreshTimerTimer(nullptr);
  EXPECT_EQ("1,239,567", page->SendLabel->Text());
  EXPECT_EQ("7,300", page->RecvLabel->Text());
  EXPECT_EQ("2", page->TCPLabel->Text());
  EXPECT_EQ("1", page->UDPLabel->Text());
  EXPECT_EQ(3, page->Activity);
  EXPECT_EQ("启用中", page->StateLabel->Text());
  // A sample above the full scale reaches the top edge; 300 of 10240 bytes sits 3 rows up.
  EXPECT_EQ(kGraphFullScale, page->SendGraph.History[page->SendGraph.History.Count - 1]);
  EXPECT_EQ(RGB(0, 192, 0), Pixel(page->SendPanel, 0, 0));
  int h = page->RecvPanel->Height();
  EXPECT_EQ(RGB(0, 192, 0), Pixel(page->RecvPanel, 0, static_cast<int>(h - 300.0 / 10240 * h)));

  // The driver's counters start again from 0: no sample, the grid stays where it was.
  int sendCount = page->SendGraph.History.Count, sendPhase = page->SendGraph.Phase;
  Ctl("reset");
  page->RefreshTimerTimer(nullptr);
  EXPECT_EQ("0", page->SendLabel->Text());
  EXPECT_EQ(sendCount, page->SendGraph.History.Count);
  EXPECT_EQ(sendPhase, page->SendGraph.Phase);

  host->TrackBar1->SetPosition(7);
  page->RefreshTimerTimer(nullptr);
  EXPECT_EQ("中级", page->jibie->Text());

  page->ViewLogBtn->Click();
  Application.ProcessMessages();
  EXPECT_EQ(1, host->logViewAsked);
}

TEST_F(MonitorPages, ProcessTreeGroupsRowsByProgramAndFoldsWhatTheDriverRepeats) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string console = std::string(self, strrchr(self, '\\') + 1) + "Vardeen.exe";
  // Two processes of one program; its caption is the program's version description.
  Ctl("conn add key=1 proto=tcp pid=100 name=Vardeen.exe path=\"" + console +
      "\" local=10.0.0.5:1025 remote=10.0.0.1:80 sent=1500");
  Ctl("conn add key=2 proto=udp pid=101 name=Vardeen.exe path=\"" + console + "\" local=10.0.0.5:53");
  // A row the driver itself hides, and two rows of one endpoint object without a remote end.
  Ctl("conn add key=3 proto=tcp state=0xFFFFFFFF pid=100 name=Vardeen.exe path=\"" + console +
      "\" local=10.0.0.5:99");
  Ctl("conn add key=4 proto=tcp state=closed endpoint=7 pid=100 name=Vardeen.exe path=\"" + console +
      "\" local=10.0.0.5:139");
  Ctl("conn add key=5 proto=tcp state=closed endpoint=7 pid=100 name=Vardeen.exe path=\"" + console +
      "\" local=10.0.0.5:139");
  // Processes the system cannot find: named by the driver's name.
  Ctl("conn add key=6 proto=ip pid=0x7FFFFFF0 name=SYSTEM byid local=10.0.0.5:0");
  Ctl("conn add key=7 proto=ip pid=12 name=svc.exe byid local=10.0.0.5:0");

  auto* page = Open<TProcFrame>();
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), GoldenPath("procframe.txt")));
  EXPECT_EQ(
      "Vardeen firewall console\n"
      "  IP\n"
      "  TCP\n"
      "    连接: 本地地址:  10.  0.  0.  5:1025 远程地址  10.  0.  0.  1:80 发送 1,500 接收 0\n"
      "    侦听: 本地地址:  10.  0.  0.  5:139\n"
      "  UDP\n"
      "    绑定: 本地地址:  10.  0.  0.  5:53 发送 0 接收 0\n"
      "System\n"
      "  IP\n"
      "    本地地址:  10.  0.  0.  5:0 发送 0 接收 0\n"
      "  TCP\n"
      "  UDP\n"
      "svc.exe(12d,c)\n"
      "  IP\n"
      "    本地地址:  10.  0.  0.  5:0 发送 0 接收 0\n"
      "  TCP\n"
      "  UDP\n",
      TreeText(page->ProcTreeView));
  HTREEITEM program = page->ProcTreeView->FirstChild(nullptr);
  _NODE_CONTEXT* context = page->ContextOf(program);
  ASSERT_NE(nullptr, context);
  EXPECT_EQ(0, context->Kind);
  EXPECT_EQ(100u, static_cast<CProgramContext*>(context)->ProcessId);
}

TEST_F(MonitorPages, ProcessTreeKeepsItsNodesAcrossRefreshesAndBreaksOnlyTcpConnections) {
  Ctl("conn add key=1 proto=tcp pid=100 name=web.exe local=10.0.0.5:1025 remote=10.0.0.1:80");
  Ctl("conn add key=2 proto=tcp state=listen pid=100 name=web.exe local=10.0.0.5:8080");
  Ctl("conn add key=3 proto=udp pid=100 name=web.exe local=10.0.0.5:53");
  Ctl("conn add key=4 proto=ip pid=100 name=web.exe local=10.0.0.5:0");
  Ctl("conn add key=9 proto=udp pid=300 name=mail.exe local=10.0.0.5:25");
  auto* page = Open<TProcFrame>();
  CTreeView* tree = page->ProcTreeView;
  HTREEITEM established = FindLine(tree, "连接:");
  ASSERT_NE(nullptr, established) << TreeText(tree);
  tree->Expand(tree->FirstChild(nullptr));
  tree->Select(established);

  // A refresh with new byte counts and one program gone keeps the node, its selection and
  // its branch.
  Ctl("traffic 4096 0 key=1");
  Ctl("conn del 9");
  page->Refresh();
  EXPECT_EQ(established, tree->Selected());
  EXPECT_TRUE(tree->Expanded(tree->FirstChild(nullptr)));
  EXPECT_NE(std::string::npos, tree->ItemText(established).find("发送 4,096")) << tree->ItemText(established);
  EXPECT_EQ(1, page->ProgramCount());
  EXPECT_EQ(nullptr, FindLine(tree, "mail.exe"));

  struct {
    const char* line;
    bool closes;
  } cases[] = {{"侦听:", false}, {"绑定:", false}, {"本地地址:", false}, {"连接:", true}};
  for (const auto& c : cases) {
    HTREEITEM item = FindLine(tree, c.line);
    ASSERT_NE(nullptr, item) << c.line;
    tree->Select(item);
    page->CloseConnectionItem->SetEnabled(!c.closes);
    page->ProcPopupMenuPopup(page->ProcPopupMenu);
    EXPECT_EQ(c.closes, page->CloseConnectionItem->Enabled()) << c.line;
    page->CloseConnectionItemClick(page->CloseConnectionItem);
  }
  EXPECT_EQ("1", Status("closed-connections"));
  page->Refresh();
  EXPECT_EQ(nullptr, FindLine(tree, "连接:")) << TreeText(tree);
  EXPECT_NE(nullptr, FindLine(tree, "侦听:"));

  // The last row gone: the program node goes too.
  for (const char* key : {"2", "3", "4"}) Ctl(std::string("conn del ") + key);
  page->Refresh();
  EXPECT_EQ(0, page->ProgramCount());
  EXPECT_EQ("", TreeText(tree));
}

// A path ending in half a GBK character was filed under one key and forgotten under another:
// the next row of the program used the freed record.
TEST_F(MonitorPages, AProgramWhosePathEndsInHalfACharacterComesAndGoesCleanly) {
  const std::string row = " proto=tcp pid=500 name=game.exe path=\"C:\\游戏\\\xD3\" local=10.0.0.5:1025 remote=10.0.0.1:80";
  Ctl("conn add key=5" + row);
  auto* page = Open<TProcFrame>();
  ASSERT_EQ(1, page->ProgramCount());
  Ctl("conn del 5");
  page->Refresh();
  EXPECT_EQ(0, page->ProgramCount());
  Ctl("conn add key=6" + row);
  page->Refresh();
  page->Refresh();
  EXPECT_EQ(1, page->ProgramCount());
  EXPECT_NE(nullptr, FindLine(page->ProcTreeView, "连接:")) << TreeText(page->ProcTreeView);
}

// Counts of millions were allocated before any cap, threw, and stopped the refreshes for good;
// a torn table emptied the tree for a second.
TEST_F(MonitorPages, ADriverClaimingMillionsOfRowsOrTearingItsTableLeavesThePageRefreshing) {
  Ctl("conn add key=1 proto=tcp pid=100 name=web.exe local=10.0.0.5:1025 remote=10.0.0.1:80");
  auto* page = Open<TProcFrame>();
  ASSERT_EQ(1, page->ProgramCount());
  // A torn table keeps the tree as it was; a count or length beyond the table is cut to it.
  struct {
    const char* fault;
    int programs;
  } cases[] = {{"fault counts claim 20000000", 2}, {"fault connections short 100", 1},
               {"fault connections short 200", 1}, {"fault connections claim 100000", 2}};
  for (const auto& c : cases) {
    const char* fault = c.fault;
    Ctl(fault);
    Ctl("conn add key=2 proto=udp pid=300 name=mail.exe local=10.0.0.5:25");
    EXPECT_NO_THROW(page->RefreshTimer->Tick()) << fault;
    EXPECT_NO_THROW(page->RefreshTimer->Tick()) << fault;
    EXPECT_EQ(c.programs, page->ProgramCount()) << fault;
    Ctl("fault counts none");
    Ctl("fault connections none");
    page->RefreshTimer->Tick();
    EXPECT_EQ(2, page->ProgramCount()) << fault;
    Ctl("conn del 2");
    page->Refresh();
  }
}

// The refreshes go on while the menu is open: it acted on whatever line was selected when it
// closed, and judged the row as it was when its line was made.
TEST_F(MonitorPages, TheConnectionMenuActsOnTheConnectionItWasOpenedFor) {
  Ctl("conn add key=1 proto=tcp pid=100 name=web.exe local=10.0.0.5:1025 remote=10.0.0.1:80");
  Ctl("conn add key=2 proto=tcp pid=100 name=web.exe local=10.0.0.5:1026 remote=10.0.0.1:81");
  auto* page = Open<TProcFrame>();
  CTreeView* tree = page->ProcTreeView;
  tree->Expand(tree->FirstChild(nullptr));
  tree->Expand(tree->NextSibling(tree->FirstChild(tree->FirstChild(nullptr))));
  HTREEITEM first = FindLine(tree, "连接: 本地地址:  10.  0.  0.  5:1025");
  ASSERT_NE(nullptr, first) << TreeText(tree);

  // Opened on line 1, which goes while the menu is open: nothing is closed, not its neighbour.
  tree->Select(first);
  page->ProcPopupMenuPopup(page->ProcPopupMenu);
  Ctl("conn del 1");
  page->Refresh();
  page->CloseConnectionItemClick(page->CloseConnectionItem);
  EXPECT_EQ("0", Status("closed-connections"));

  // A line opened while listening that is connected now is closed as it is now.
  Ctl("conn add key=3 proto=tcp state=listen pid=100 name=web.exe local=10.0.0.5:8080");
  page->Refresh();
  tree->Select(FindLine(tree, "侦听:"));
  Ctl("conn del 3");
  Ctl("conn add key=3 proto=tcp pid=100 name=web.exe local=10.0.0.5:8080 remote=10.0.0.1:82");
  page->Refresh();
  page->ProcPopupMenuPopup(page->ProcPopupMenu);
  EXPECT_TRUE(page->CloseConnectionItem->Enabled());
  page->CloseConnectionItemClick(page->CloseConnectionItem);
  EXPECT_EQ("1", Status("closed-connections"));

  // A right click beside a caption aims at the line of that row; the Apps key at the selection.
  HTREEITEM second = FindLine(tree, "连接: 本地地址:  10.  0.  0.  5:1026");
  ASSERT_NE(nullptr, second) << TreeText(tree);
  RECT box;
  *reinterpret_cast<HTREEITEM*>(&box) = second;
  ASSERT_TRUE(SendMessageA(tree->Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&box)));
  EXPECT_EQ(second, tree->RowAt(2, (box.top + box.bottom) / 2));  // in its indent
  int popups = 0;
  tree->OnContextPopup = [&](CComponent*, TMouseButton, TShiftState, int x, int y) {
    ++popups;
    EXPECT_EQ(second, tree->RowAt(x, y));
  };
  tree->Select(second);
  SendMessageA(tree->Handle(), WM_KEYDOWN, VK_APPS, 0);
  SendMessageA(tree->Handle(), WM_KEYUP, VK_APPS, 0);
  EXPECT_EQ(1, popups);
}
