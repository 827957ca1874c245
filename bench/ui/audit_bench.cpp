// Figures for the application audit page: 10, 100 and 1,000 audited programs, half of them
// real files with version resources (libraries of the system folder), half paths without a
// file. For each: the time from creating the page until it is painted, and the windows it
// costs. Prints its figures; asserts nothing.
// `--show N MS` instead keeps the page with N programs (and one asking the user) on screen
// for MS milliseconds, for a look or a screenshot.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ui/bench_common.h"
#include "rules/auditrules.h"
#include "rules/caches.h"
#include "rules/ruleport.h"
#include "rules/loader.h"
#include "tests/win32/support/consolehost.h"
#include "ui/framework/application.h"
#include "ui/framework/form.h"
#include "ui/framework/timer.h"
#include "ui/tfwauditruleframe/tfwauditruleframe.h"

namespace {
using bench::Clock;
using bench::Millis;
using bench::ProcessWindows;

// The rule store applies to nothing: the page's changes only replace the cache.
struct CNoDriver final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return 0; }
} g_noDriver;

// Up to `count` libraries of the system folder that carry a version record.
std::vector<std::string> SystemLibraries(size_t count) {
  char folder[MAX_PATH];
  GetSystemDirectoryA(folder, MAX_PATH);
  std::vector<std::string> paths;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((std::string(folder) + "\\*.dll").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return paths;
  do {
    std::string path = std::string(folder) + "\\" + found.cFileName;
    DWORD ignored = 0;
    if (GetFileVersionInfoSizeA(path.c_str(), &ignored) != 0) paths.push_back(path);
  } while (paths.size() < count && FindNextFileA(find, &found));
  FindClose(find);
  return paths;
}

// `programs` rules in force: real libraries and made-up paths in turn, every state in turn.
void PutInForce(int programs, const std::vector<std::string>& libraries) {
  std::vector<std::string> paths;
  for (int i = 0; i < programs; ++i) {
    if (i % 2 == 0 && static_cast<size_t>(i / 2) < libraries.size())
      paths.push_back(libraries[static_cast<size_t>(i / 2)]);
    else
      paths.push_back("C:\\Program Files\\Demo\\program" + std::to_string(i) + ".exe");
  }
  static const uint32_t kAccess[] = {0x07, 0x27, 0x00, 0x17};
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  for (int i = 0; i < programs; ++i) {
    _RKFW_AUDIT_RULE rule = {};
    InitAuditRule(&rule);
    rule.RuleId = static_cast<uint32_t>(i + 1);
    rule.AppPath = const_cast<char*>(paths[static_cast<size_t>(i)].c_str());
    rule.Access = kAccess[i % 4];
    rules.Append(rule);
  }
  ApplyAuditRules(rules);  // deep copies into the cache
  rules.Clear();
}

class CHostForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CHostForm(CComponent* owner) : CForm(owner, "HostForm") {
    SetText("应用程序审核");
    SetClientSize(kPageWidth, kPageHeight);
    SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  }
};

TFWAuditRuleFrame* OpenPage(CHostForm* host) {
  auto* page = new TFWAuditRuleFrame(host, *host);
  page->SetParent(host);
  page->SetAlign(TAlign::Client);
  page->Show();
  Application.ProcessMessages();
  UpdateWindow(host->Handle());
  return page;
}
}  // namespace

int main(int argc, char** argv) {
  Application.Initialize();
  SetRulePort(&g_noDriver);
  const std::vector<std::string> libraries = SystemLibraries(500);

  if (argc == 4 && strcmp(argv[1], "--show") == 0) {
    PutInForce(atoi(argv[2]), libraries);
    auto* host = Application.CreateForm<CHostForm>();
    host->Show();
    OpenPage(host);
    auto* stop = new CTimer(host, "StopTimer");
    stop->SetInterval(static_cast<uint32_t>(strtoul(argv[3], nullptr, 10)));
    stop->OnTimer = [](CComponent*) { Application.Terminate(); };
    stop->SetEnabled(true);
    Application.Run();
    Application.Shutdown();
    return 0;
  }

  printf("%zu real programs with version records available\n", libraries.size());
  printf("%9s %12s %12s %14s\n", "programs", "painted ms", "windows", "windows/card");
  for (int programs : {10, 100, 1000}) {
    PutInForce(programs, libraries);
    auto* host = new CHostForm(&Application);
    host->EnsureCreated();
    host->Show();
    Application.ProcessMessages();
    int before = ProcessWindows();
    Clock::time_point start = Clock::now();
    TFWAuditRuleFrame* page = OpenPage(host);
    double painted = Millis(start);
    int windows = ProcessWindows() - before;
    printf("%9d %12.1f %12d %14.2f\n", page->CardCount(), painted, windows,
           static_cast<double>(windows) / page->CardCount());
    fflush(stdout);
    FreeComponent(host);
    Application.ProcessMessages();
  }
  Application.Shutdown();
  ClearAuditRuleCache();
  return 0;
}
