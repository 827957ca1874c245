// Figures for the console's start-up: the real Vardeen.exe started from a copy of its program
// folder against the installed stand-in driver, timed from the process's creation until its
// main window shows and the driver holds both rule sets, the images of the level's file and of
// app.aud (their sizes as the stand-in reports them). Once with the shipped medium level and
// an empty app.aud, then with a medium level of 2,000 rules and an app.aud of 1,000 programs; five
// starts each from a stopped driver service, the console killed after each. Prints its
// figures; asserts nothing.
// Run with the stand-in installed: tools/install-standin.sh, then
// tools/wine-run build/win32/bin/bench_startup.exe.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/array.h"
#include "base/bufferptr.h"
#include "bench/ui/bench_common.h"
#include "platform/heap.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "tests/e2e/console_driver.h"

namespace {
using bench::Clock;
using bench::Millis;

char* HeapText(const char* text) {
  size_t n = strlen(text) + 1;
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(n)));
  memcpy(copy, text, n);
  return copy;
}

_MATCH_VALUE List(uint32_t count, uint32_t seed) {
  uint32_t elements[4];
  for (uint32_t i = 0; i < count; ++i) elements[i] = seed * 31 + i;
  _MATCH_VALUE source = {MATCH_LIST, count, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements))};
  _MATCH_VALUE value = {};
  CopyMatchValue(&value, &source);
  return value;
}

// A level of `count` rules written to `path`; the size of the driver's image of it.
uint32_t WriteLevel(const std::string& path, uint32_t count) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  for (uint32_t i = 0; i < count; ++i) {
    _RKFW_RULE rule;
    memset(&rule, 0, sizeof rule);
    // Grouped by protocol as the rule set page keeps them; TCP most often.
    rule.Protocol = static_cast<int32_t>(i < count / 5 ? 0 : i < count / 4 ? 1 : i < 3 * count / 4 ? 3 : 4);
    rule.Action = static_cast<int32_t>(i % 4);
    rule.Conditions = 0x03;
    rule.RuleId = 0x10000 + i;
    rule.Name = HeapText("禁止外部连接请求");
    rule.Description = HeapText("拦截其他计算机对本机TCP端口的连接请求,并记录");
    // Mostly single values and ranges, as in the shipped levels; lists for the ports. (The
    // stand-in holds images of up to 256 KB: 2,000 entries and 56 KB of lists.)
    _MATCH_VALUE range = {MATCH_RANGE, 0x0A0000FFu + i, 0x0A000000u + i};
    if (rule.Protocol >= RULE_PROTO_TCP) {
      rule.RemoteAddr = range;
      rule.RemotePort = List(2, i);
    } else {
      rule.IpRemoteAddr = range;
    }
    rules.Append(rule);
  }
  _bytePtr image;
  uint32_t size = WriteRuleFile(path.c_str(), rules) == 0 && BuildIpRuleImage(rules, image) == 0 ? image.Length() : 0;
  ReleaseRules(rules);
  return size;
}

// An app.aud of `count` programs at `path`; the size of the driver's image of it.
uint32_t WriteAudit(const std::string& path, uint32_t count) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  for (uint32_t i = 0; i < count; ++i) {
    _RKFW_AUDIT_RULE rule;
    memset(&rule, 0, sizeof rule);
    InitAuditRule(&rule);
    rule.RuleId = 0x20000 + i;
    char program[MAX_PATH];
    snprintf(program, sizeof program, "C:\\Program Files\\Tools %u\\tool%u.exe", i, i);
    rule.AppPath = HeapText(program);
    rule.Access = i % 3 == 0 ? 0x07 : i % 3 == 1 ? 0x27 : 0;
    rules.Append(rule);
  }
  _bytePtr body;
  uint32_t size = WriteAuditFile(path.c_str(), rules) == 0 && BuildAuditBody(rules, body) == 0 ? body.Length() : 0;
  ReleaseAuditRules(rules);
  return size;
}

bool DriverHolds(uint32_t ipImage, uint32_t auditImage) {
  std::map<std::string, std::string> status = DriverStatus();
  return status["ip-image"] == std::to_string(ipImage) && status["audit-image"] == std::to_string(auditImage);
}

// Milliseconds from the process's creation to the main window shown with both images in the
// driver; -1 when that did not come within 30 s.
double OneStart(const CProgramFolder& folder, uint32_t ipImage, uint32_t auditImage) {
  // A stopped driver, as at logon: the console starts its service itself.
  if (!StopService(kConsoleService)) return -1;
  ClearInstanceMark();
  CConsole console;
  Clock::time_point start = Clock::now();
  if (!console.Start(folder)) return -1;
  bool shown = false, loaded = false;
  while (Millis(start) < 30000 && console.Running()) {
    if (!shown)
      for (HWND w : TopWindows(console.Pid(), "TFWMainForm", "Vardeen")) shown = shown || IsWindowVisible(w);
    if (!loaded) loaded = DriverHolds(ipImage, auditImage);
    if (shown && loaded) break;
    Sleep(1);
  }
  double ms = Millis(start);
  console.Kill();
  return shown && loaded ? ms : -1;
}

void Measure(const char* what, const CProgramFolder& folder, uint32_t ipImage, uint32_t auditImage) {
  double best = 1e300, worst = 0, sum = 0;
  int done = 0;
  for (int run = 0; run < 5; ++run) {
    double ms = OneStart(folder, ipImage, auditImage);
    if (ms < 0) continue;
    best = std::min(best, ms);
    worst = std::max(worst, ms);
    sum += ms;
    ++done;
  }
  if (done == 0) {
    printf("%-44s no start reached the window and both images\n", what);
    return;
  }
  printf("%-44s %8.1f %8.1f %8.1f   (%d of 5)\n", what, best, sum / done, worst, done);
  fflush(stdout);
}

// The console's settings this benchmark changes, put back at the end.
class CKeptSetting {
 public:
  explicit CKeptSetting(const char* name) : name_(name) { had_ = ReadSettingDword(name, &value_); }
  ~CKeptSetting() {
    if (had_) SetSettingDword(name_, value_);
    else DeleteSetting(name_);
  }

 private:
  const char* name_;
  DWORD value_ = 0;
  bool had_ = false;
};
}  // namespace

int main() {
  if (ServiceState(kConsoleService) == 0) {
    printf("the stand-in driver is not installed: tools/install-standin.sh first\n");
    return 1;
  }
  CKeptSetting level("Level"), enable("Enable");
  SetSettingDword("Level", 1);  // medium: msec.rul
  SetSettingDword("Enable", 1);
  CProgramFolder folder("bench-startup");
  if (!folder.Ready()) {
    printf("no program folder\n");
    return 1;
  }
  printf("%-44s %8s %8s %8s\n", "start-up to window and both sets, ms", "best", "mean", "worst");

  _Array<_RKFW_RULE> shipped(kIpRuleGrowStep);
  _bytePtr image;
  uint32_t shippedImage = 0;
  if (ReadRuleFile(folder.File("msec.rul").c_str(), shipped, RuleFileLookup::AsGiven) == 0 &&
      BuildIpRuleImage(shipped, image) == 0)
    shippedImage = image.Length();
  char what[64];
  snprintf(what, sizeof what, "shipped level (%d rules), empty app.aud", shipped.Count);
  ReleaseRules(shipped);
  Measure(what, folder, shippedImage, WriteAudit(folder.File("app.aud"), 0));

  uint32_t ipImage = WriteLevel(folder.File("msec.rul"), 2000);
  uint32_t auditImage = WriteAudit(folder.File("app.aud"), 1000);
  Measure("2,000 rules, app.aud of 1,000 programs", folder, ipImage, auditImage);
  StopService(kConsoleService);  // left as installed: stopped
  return 0;
}
