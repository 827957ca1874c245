// Figures for the event path: log text per event with a full rule cache, and queueing then
// draining 10,000 and 40,000 events that the audit rules answer. Prints; asserts nothing.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "base/bytes.h"
#include "dispatch/dispatch.h"
#include "log/eventlog.h"
#include "log/formatters.h"
#include "rules/ruleport.h"
#include "rules/caches.h"

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void Put32(_REPORT_EVENT_HEAD& r, uint32_t at, uint32_t v) { StoreLe32(reinterpret_cast<uint8_t*>(&r) + at, v); }

void LogTextBench() {
  const uint32_t kRules = 1000, kEvents = 100000;
  std::vector<std::vector<char>> names(kRules);
  IpRuleCache = _bufferPtr<_RKFW_RULE>(kRules);
  for (uint32_t i = 0; i < kRules; ++i) {
    names[i].resize(40);
    snprintf(names[i].data(), 40, "规则 %u", i);
    IpRuleCache[i].RuleId = 1000 + i;
    IpRuleCache[i].Name = names[i].data();
  }
  std::vector<_REPORT_EVENT_HEAD> events(kEvents);
  uint32_t seed = 12345;
  for (uint32_t i = 0; i < kEvents; ++i) {
    _REPORT_EVENT_HEAD& r = events[i];
    memset(&r, 0, sizeof r);
    seed = seed * 1103515245 + 12345;
    StoreLe64(&r, 126703333870000000ULL + i * 10000000ULL);
    uint32_t kind = i % 4 == 3 ? 3 : 1;  // three system events to one application event
    Put32(r, EVENT_AT_KIND, kind);
    Put32(r, EVENT_AT_DATA_SIZE, seed % 1500);
    if (kind == 1) {
      Put32(r, SYS_AT_PROTOCOL, seed >> 8 & 3 ? 3 : 1);
      Put32(r, SYS_AT_ACTION, seed >> 12 & 3);
      Put32(r, SYS_AT_OPERATION, 1u << (seed >> 16 & 3));
      Put32(r, SYS_AT_RULE_ID, 1000 + (seed >> 4) % (kRules + 50));  // some unknown
      Put32(r, SYS_AT_LOCAL_ADDR, (seed & 7) == 0 ? 0 : 0x0500000A);
      Put32(r, SYS_AT_REMOTE_ADDR, seed);
    } else {
      memcpy(reinterpret_cast<uint8_t*>(&r) + APP_AT_PROCESS_NAME, "iexplore.exe", 13);
      Put32(r, APP_AT_PROTOCOL, (seed >> 8) % 3);
      Put32(r, APP_AT_LOCAL_ADDR, 0x0200A8C0);
      Put32(r, APP_AT_REMOTE_ADDR, seed);
    }
  }
  SetComputerNameOverride("BENCH");
  size_t bytes = 0;
  Clock::time_point start = Clock::now();
  for (const _REPORT_EVENT_HEAD& r : events) bytes += strlen(BuildEventLogText(r).Data());
  double s = Seconds(start);
  printf("log text: %u events, %u cached rules: %.2f us per event (%.1f MB of text)\n", kEvents, kRules,
         s * 1e6 / kEvents, bytes / 1e6);
  IpRuleCache = _bufferPtr<_RKFW_RULE>();
  SetComputerNameOverride(nullptr);
}

struct CBusyPrompt final : CEventPrompt {
  _REPORT_EVENT_HEAD record;
  bool HoldsEvent() const override { return true; }
};

class CBenchConsole : public CEventWindows, public CEventSettings, public CEventLogSink, public CProcessPathSource {
 public:
  CEventPrompt* CreateEventPrompt(const _REPORT_EVENT_HEAD& record) override {
    auto* p = new CBusyPrompt;
    memcpy(&p->record, &record, sizeof record);
    ++prompts;
    return p;
  }
  void DestroyEventPrompt(CEventPrompt* prompt) override {
    auto* p = static_cast<CBusyPrompt*>(prompt);
    ReleaseEventPath(p->record);
    delete p;
  }
  void AppendLogText(const char*) override {}
  void Beep(uint32_t) override {}
  void PostMainMessage(uint32_t message) override { posted.push_back(message); }
  bool BeepAlert() const override { return false; }
  bool RecordLog() const override { return false; }
  bool Loaded() const override { return false; }
  void RecordLog(const char*) override {}
  _textPtr ProcessPath(const _REPORT_EVENT_HEAD& record) override {
    return MakeText(kValueTextSize, EventU32(record, APP_AT_PROCESS_ID) == 1 ? "C:\\first.exe" : "C:\\Tools\\sync.exe");
  }
  std::deque<uint32_t> posted;
  int prompts = 0;
};

uint32_t g_verdicts = 0;
struct CCounting final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return ++g_verdicts, 0u; }
} g_counting;

// N events queued behind a prompt (appended), then drained by automatic verdicts once the
// user's answer permits the application. Returns the two times in milliseconds.
void DrainBench(uint32_t queued, double* appendMs, double* drainMs) {
  char path[] = "C:\\TOOLS\\SYNC.EXE";
  AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>(1);
  AuditRuleCache[0].AppPath = path;
  AuditRuleCache[0].Access = 0x27;  // the first events wait for the user
  SetRulePort(&g_counting);
  g_verdicts = 0;

  CBenchConsole console;
  CEventDispatcher d(console, console, console, console);
  std::vector<_REPORT_EVENT_HEAD> events(queued + 1);
  for (uint32_t i = 0; i <= queued; ++i) {
    memset(&events[i], 0, sizeof events[i]);
    Put32(events[i], EVENT_AT_KIND, EVENT_KIND_APP_ASK);
    Put32(events[i], APP_AT_PROCESS_ID, i == 0 ? 1 : 2);
  }
  Clock::time_point start = Clock::now();
  for (uint32_t i = 0; i <= queued; i += 37) d.DispatchEvents(&events[i], std::min(37u, queued + 1 - i));
  *appendMs = Seconds(start) * 1e3;
  int32_t pending = d.PendingEvents().Count();

  AuditRuleCache[0].Access = 0x07;  // the user's answer to the first prompt: always permit
  start = Clock::now();
  CEventPrompt* first = d.OpenPrompts()[0];
  d.TakeNextPendingEvent();
  d.FreeChild(first);
  while (!console.posted.empty()) {
    console.posted.pop_front();
    d.NextEvent();
  }
  *drainMs = Seconds(start) * 1e3;
  if (pending != static_cast<int32_t>(queued) || g_verdicts != queued || console.prompts != 1)
    printf("queue %u: unexpected: %d queued, %u verdicts, %d prompts\n", queued, pending, g_verdicts, console.prompts);
  SetRulePort(nullptr);
  AuditRuleCache[0].AppPath = nullptr;
  AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>();
}

void QueueBench() {
  double costs[2] = {};
  const uint32_t sizes[2] = {10000, 40000};
  for (int i = 0; i < 2; ++i) {
    double appendMs = 0, drainMs = 0;
    DrainBench(sizes[i], &appendMs, &drainMs);
    printf("queue %u: append %.1f ms, drain %.1f ms\n", sizes[i], appendMs, drainMs);
    costs[i] = appendMs + drainMs;
  }
  printf("queue: 40,000 cost %.2f x what 10,000 cost (grow step %d; linear is 4)\n", costs[1] / costs[0],
         kPendingEventsGrowStep);
}
}  // namespace

int main() {
  LogTextBench();
  QueueBench();
  return 0;
}
