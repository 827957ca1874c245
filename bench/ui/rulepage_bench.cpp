// Figures for the rule set page: for 10, 100, 1,000 and 2,000 rules in force, the time until
// the page is painted, the windows it costs, the time to move the last card up ten places
// (each move painted) and to delete it, to page through every card to the end (each page
// painted) and then to leave the page (it is freed, as the main window leaves it, and what was
// under it painted). Then, on 2,000 rules, a fast wheel: 20 notches queued at once, the time
// until they are handled and painted, and the rows of the box left black on the screen then.
// Prints its figures; asserts nothing.
//   bench_rulepage.exe            the figures
//   bench_rulepage.exe N...       the figures for those counts, in that order
//   bench_rulepage.exe --show N   the page with N sample rules, shown until the window is
//                                 closed or 60 s have passed (for screenshots)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ui/bench_common.h"
#include "rules/caches.h"
#include "rules/codec.h"
#include "rules/ruleport.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "tests/win32/support/consolehost.h"
#include "ui/framework/application.h"
#include "ui/framework/messages.h"
#include "ui/tfwruleitemframe/tfwruleitemframe.h"
#include "ui/tfwsysruleframe/tfwsysruleframe.h"

namespace {
using bench::Clock;
using bench::Millis;
using bench::ProcessWindows;

struct COpenDriver final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return 0; }
} g_openDriver;

// `count` rules in force; `sample` gives them varied names, protocols, conditions and actions.
void SetRulesInForce(int count, bool sample) {
  static const char* const kNames[] = {"允许局域网内的IP通信", "拦截ICMP回显请求", "通知IGMP组播",
                                       "允许浏览网页(HTTP)", "允许收发邮件", "拦截对本机的TCP连接请求",
                                       "允许域名解析(DNS)", "忽略NetBIOS广播"};
  static const int32_t kProtocols[] = {0, 1, 2, 3, 3, 3, 4, 4};
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  for (int i = 0; i < count; ++i) {
    _RKFW_RULE rule = {};
    char name[64];
    if (sample) {
      int k = i * 8 / count;
      rule.Protocol = kProtocols[k];
      rule.Action = (i * 7) % 4;
      rule.Conditions = static_cast<uint32_t>(1 + (i * 5) % 31);
      rule.Options = (i % 4 == 1 ? RULE_OPT_DISABLED : 0) | (i % 3 == 2 ? RULE_OPT_APPLICATION : 0);
      if (i % 6 == 2) strcpy(rule.Application, "IEXPLORE.EXE");
      snprintf(name, sizeof name, "%s", kNames[k]);
      rule.Description = CopyHeapText("示例规则的说明");
    } else {
      rule.Protocol = RULE_PROTO_TCP;
      rule.Conditions = RULE_COND_CONNECT;
      snprintf(name, sizeof name, "规则 %d", i);
    }
    rule.Name = CopyHeapText(name);
    rules.Append(rule);
  }
  ApplyIpRules(rules);
  ReleaseRules(rules);
}

class CHostForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CHostForm(CComponent* owner) : CForm(owner, "FWMainForm") {
    SetText("规则设置");
    SetBorderStyle(TBorderStyle::Single);
    SetClientSize(kPageWidth, kPageHeight);
    SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  }
};

// Rows of `window`'s client area that are black on the screen from edge to edge: what is
// left where nothing was painted.
int BlackRows(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  int width = client.right, height = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(copy, picture);
  BitBlt(copy, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  int black = 0;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (int y = 0; pixels != nullptr && y < height; ++y) {
    int x = 0;
    while (x < width && (pixels[y * width + x] & 0xFFFFFF) == 0) ++x;
    black += x == width;
  }
  SelectObject(copy, old);
  DeleteObject(picture);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  return black;
}

TSysRuleFrame* OpenPage(CHostForm** host) {
  *host = new CHostForm(&Application);
  auto* page = new TSysRuleFrame(*host, **host);
  page->SetParent(*host);
  page->Show();
  (*host)->EnsureCreated();
  (*host)->Show();
  return page;
}
}  // namespace

int main(int argc, char** argv) {
  SetRulePort(&g_openDriver);
  Application.Initialize();
  if (argc == 3 && strcmp(argv[1], "--show") == 0) {
    SetRulesInForce(atoi(argv[2]), true);
    CHostForm* host;
    OpenPage(&host);
    Clock::time_point start = Clock::now();
    while (IsWindow(host->Handle()) && IsWindowVisible(host->Handle()) && Millis(start) < 60000) {
      Application.ProcessMessages();
      Sleep(20);
    }
    Application.Shutdown();
    return 0;
  }
  printf("%6s %12s %10s %14s %12s %10s %12s %10s\n", "rules", "painted ms", "windows", "10 moves ms", "ms/move",
         "delete ms", "paged ms", "leave ms");
  std::vector<int> counts = {10, 100, 1000, 2000};
  if (argc > 1) counts.clear();
  for (int i = 1; i < argc; ++i) counts.push_back(atoi(argv[i]));
  for (int count : counts) {
    SetRulesInForce(count, false);
    int before = ProcessWindows();
    Clock::time_point start = Clock::now();
    CHostForm* host;
    TSysRuleFrame* page = OpenPage(&host);
    Application.ProcessMessages();
    UpdateWindow(host->Handle());
    double painted = Millis(start);
    int windows = ProcessWindows() - before;

    TFWRuleItemFrame* last = page->Cards[page->Cards.Count - 1];
    page->RuleScrollBox->ScrollInView(last);
    UpdateWindow(host->Handle());
    start = Clock::now();
    for (int i = 0; i < 10; ++i) {
      page->MoveCardUp(last);
      UpdateWindow(host->Handle());
    }
    double moves = Millis(start);

    start = Clock::now();
    SendMessageA(page->Handle(), WM_DELETERULECARD, 0, reinterpret_cast<LPARAM>(last));
    UpdateWindow(host->Handle());
    double removed = Millis(start);

    CScrollBox* box = page->RuleScrollBox;
    box->SetScrollPos(0);
    UpdateWindow(host->Handle());
    start = Clock::now();
    while (box->ScrollPos() + box->ClientRect().bottom < box->ContentHeight()) {
      SendMessageA(box->Handle(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
      UpdateWindow(host->Handle());
    }
    double paged = Millis(start);
    int pages = 0;
    for (int pos = box->ClientRect().bottom; pos < box->ContentHeight(); pos += box->ClientRect().bottom) ++pages;
    printf("%6s paged through %d pages: %.1f ms a page; GDI objects %d, tool tip tools %d\n", "", pages,
           pages ? paged / pages : 0.0, bench::GdiObjects(), bench::ToolTipTools());
    start = Clock::now();
    FreeComponent(page);
    UpdateWindow(host->Handle());
    double left = Millis(start);
    printf("%6d %12.1f %10d %14.1f %12.2f %10.2f %12.1f %10.1f\n", count, painted, windows, moves, moves / 10,
           removed, paged, left);
    fflush(stdout);
    FreeComponent(host);
    Application.ProcessMessages();
  }

  SetRulesInForce(2000, false);
  CHostForm* host;
  TSysRuleFrame* page = OpenPage(&host);
  Application.ProcessMessages();
  UpdateWindow(host->Handle());
  CScrollBox* box = page->RuleScrollBox;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < 20; ++i)
    PostMessageA(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  // The wheel's messages as the loop meets them, each looked at on the screen before anything
  // else runs (the paint the system would send waits for the queue to empty).
  int most = 0;
  double lookedAt = 0;
  MSG msg;
  while (PeekMessageA(&msg, box->Handle(), WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE)) {
    DispatchMessageA(&msg);
    Clock::time_point look = Clock::now();
    most = std::max(most, BlackRows(box->Handle()));
    lookedAt += Millis(look);
  }
  double wheeled = Millis(start) - lookedAt;
  Application.ProcessMessages();
  printf("\nwheel, 20 notches queued at once on 2,000 rules: scrolled to %d in %.1f ms; black rows of %d: "
         "%d at most while wheeling, %d after\n",
         box->ScrollPos(), wheeled, box->ClientRect().bottom, most, BlackRows(box->Handle()));
  FreeComponent(host);
  Application.ProcessMessages();
  Application.Shutdown();
  ClearIpRuleCache();
  return 0;
}
