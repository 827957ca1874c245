// Figures for the log page: 20,000 event log blocks, built as the poll builds them, appended to
// the log page's memo in a real window, once while the page is shown and once while it is
// hidden (where it usually is). Each poll appends up to 37 blocks and the window then handles
// its messages (painting included), so a thousand blocks cost what the user waits for.
// Prints the first and the last thousand and the total; asserts nothing.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "driver/protocol.h"
#include "log/eventlog.h"
#include "log/eventrecord.h"
#include "log/formatters.h"
#include "rules/caches.h"
#include "ui/framework/application.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"

namespace {
using Clock = std::chrono::steady_clock;
double Millis(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

constexpr uint32_t kBlocks = 20000;
constexpr uint32_t kChunk = 1000;
bool g_verbose = false;
constexpr uint32_t kPerPoll = 37;  // records in one driver batch at most

void Put32(_REPORT_EVENT_HEAD& r, uint32_t at, uint32_t v) {
  StoreLe32(reinterpret_cast<uint8_t*>(&r) + at, v);
}

// Three rule hits to one logged application event, with named rules, as a busy evening gives.
std::vector<std::string> BuildTexts() {
  const uint32_t kRules = 40;
  static std::vector<std::vector<char>> names(kRules);
  IpRuleCache = _bufferPtr<_RKFW_RULE>(kRules);
  for (uint32_t i = 0; i < kRules; ++i) {
    names[i].resize(40);
    snprintf(names[i].data(), 40, "禁止TCP连接请求 %u", i);
    IpRuleCache[i].RuleId = 1000 + i;
    IpRuleCache[i].Name = names[i].data();
  }
  SetComputerNameOverride("BENCH");
  std::vector<std::string> texts;
  texts.reserve(kBlocks);
  uint32_t seed = 2026;
  for (uint32_t i = 0; i < kBlocks; ++i) {
    _REPORT_EVENT_HEAD r;
    memset(&r, 0, sizeof r);
    seed = seed * 1103515245 + 12345;
    StoreLe64(&r, 134100000000000000ULL + i * 7000000ULL);
    uint32_t kind = i % 4 == 3 ? EVENT_KIND_APP_LOG : EVENT_KIND_SYSTEM;
    Put32(r, EVENT_AT_KIND, kind);
    Put32(r, EVENT_AT_DATA_SIZE, 40 + seed % 1460);
    if (kind == EVENT_KIND_SYSTEM) {
      Put32(r, SYS_AT_PROTOCOL, (seed >> 8 & 3) ? 3 : 4);
      Put32(r, SYS_AT_ACTION, seed >> 12 & 1);
      Put32(r, SYS_AT_OPERATION, 1u << (seed >> 16 & 3));
      Put32(r, SYS_AT_RULE_ID, 1000 + (seed >> 4) % kRules);
      Put32(r, SYS_AT_LOCAL_ADDR, 0x0501A8C0);
      StoreLe16(reinterpret_cast<uint8_t*>(&r) + SYS_AT_LOCAL_PORT, static_cast<uint16_t>(seed >> 3));
      Put32(r, SYS_AT_REMOTE_ADDR, seed);
      StoreLe16(reinterpret_cast<uint8_t*>(&r) + SYS_AT_REMOTE_PORT, 0x5000);
    } else {
      memcpy(reinterpret_cast<uint8_t*>(&r) + APP_AT_PROCESS_NAME, "iexplore.exe", 13);
      Put32(r, APP_AT_OPERATION, 4);
      Put32(r, APP_AT_ACTION, 0);
      Put32(r, APP_AT_PROTOCOL, 1);
      Put32(r, APP_AT_LOCAL_ADDR, 0x0501A8C0);
      Put32(r, APP_AT_REMOTE_ADDR, seed);
    }
    texts.emplace_back(BuildEventLogText(r).Data());
  }
  SetComputerNameOverride(nullptr);
  return texts;
}

// The main window's view panel and the log page in it.
class CBenchForm : public CForm {
 public:
  explicit CBenchForm(CComponent* owner) : CForm(owner, "BenchForm") {
    SetText("bench_ui");
    SetBorderStyle(TBorderStyle::None);
    SetPosition(TPosition::ScreenCenter);
    SetBounds(0, 0, 580, 468);
    SetColor(RGB(229, 243, 252));
    SetFormFont("宋体", 12);
    ViewPanel = new CPanel(this, "ViewPanel");
    ViewPanel->SetParent(this);
    ViewPanel->SetBounds(18, 154, 544, 298);
    LogFrame = new TFWLogViewFrame(this);
    LogFrame->SetParent(ViewPanel);
    LogFrame->SetAlign(TAlign::Client);
  }
  const char* ClassName() const override { return "TBenchForm"; }
  CPanel* ViewPanel;
  TFWLogViewFrame* LogFrame;
};

// One text area under test: the log page's memo, or the system edit control for comparison.
struct CTarget {
  std::function<void(const char*)> append;
  std::function<void()> clear;
  std::function<uint32_t()> lines, length;
};

void Run(CBenchForm* form, const CTarget& target, const std::vector<std::string>& texts,
         uint32_t blocks, const char* how) {
  std::vector<double> chunks;
  double chunk = 0, total = 0;
  for (uint32_t i = 0; i < blocks; i += kPerPoll) {
    Clock::time_point start = Clock::now();
    uint32_t end = i + kPerPoll < blocks ? i + kPerPoll : blocks;
    for (uint32_t j = i; j < end; ++j) {
      target.append(texts[j].c_str());
      // A chunk ends inside a poll: count its blocks exactly.
      if ((j + 1) % kChunk == 0) {
        double ms = Millis(start);
        chunk += ms;
        total += ms;
        chunks.push_back(chunk);
        if (g_verbose) {
          printf("  %u: %.1f ms\n", j + 1, chunk);
          fflush(stdout);
        }
        chunk = 0;
        start = Clock::now();
      }
    }
    Application.ProcessMessages();
    UpdateWindow(form->Handle());
    double ms = Millis(start);
    chunk += ms;
    total += ms;
  }
  total += chunk;
  printf("%s: first %u blocks %.1f ms, last %u blocks %.1f ms (%.2fx), all %u blocks %.0f ms;"
         " %u lines, %.1f MB of text\n",
         how, kChunk, chunks.front(), kChunk, chunks.back(), chunks.back() / chunks.front(), blocks,
         total, target.lines(), target.length() / 1e6);
  printf("  per thousand (ms):");
  for (double ms : chunks) printf(" %.0f", ms);
  printf("\n");
  Clock::time_point start = Clock::now();
  target.clear();
  Application.ProcessMessages();
  printf("  clearing: %.1f ms\n", Millis(start));
  fflush(stdout);
}
}  // namespace

// bench_ui [-v] [--edit BLOCKS]: -v prints every thousand as it ends; --edit runs BLOCKS
// blocks (default 2000) through the system edit control instead, for comparison.
int main(int argc, char** argv) {
  uint32_t editBlocks = 0;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-v") == 0) g_verbose = true;
    if (strcmp(argv[i], "--edit") == 0)
      editBlocks = i + 1 < argc ? static_cast<uint32_t>(atoi(argv[i + 1])) : 2000;
  }
  if (editBlocks > kBlocks) editBlocks = kBlocks;
  if (editBlocks != 0 && editBlocks < kChunk) editBlocks = kChunk;
  std::vector<std::string> texts = BuildTexts();
  size_t bytes = 0;
  for (const std::string& t : texts) bytes += t.size();
  printf("%u log blocks, %.0f bytes each on average\n", kBlocks, double(bytes) / kBlocks);

  Application.Initialize();
  auto* form = Application.CreateForm<CBenchForm>();
  form->Show();
  CTarget target;
  uint32_t blocks = kBlocks;
  CControl* shown = form->LogFrame;
  if (editBlocks == 0) {
    CLogMemo* memo = form->LogFrame->LogMemo;
    TFWLogViewFrame* page = form->LogFrame;
    target = {[page](const char* t) { page->AppendLog(t); },
              [form] { form->LogFrame->ClearBitBtnClick(form->LogFrame->ClearBitBtn); },
              [memo] { return static_cast<uint32_t>(memo->LineCount()); },
              [memo] { return memo->TextLength(); }};
  } else {
    auto* edit = new CMemo(form, "EditMemo");
    edit->SetReadOnly(true);
    edit->SetScrollBars(true, false);
    edit->SetVisible(false);
    edit->SetParent(form->ViewPanel);
    edit->SetBounds(0, 30, 544, 268);
    target = {[edit](const char* t) { edit->AppendLines(t); }, [edit] { edit->Clear(); },
              [edit] { return static_cast<uint32_t>(SendMessageA(edit->Handle(), EM_GETLINECOUNT, 0, 0)); },
              [edit] { return edit->TextLength(); }};
    blocks = editBlocks;
    shown = edit;
    printf("the system edit control, for comparison:\n");
  }
  shown->Show();
  Application.ProcessMessages();
  Run(form, target, texts, blocks, "log page shown");
  shown->Hide();
  Application.ProcessMessages();
  Run(form, target, texts, blocks, "log page hidden");
  Application.Shutdown();
  IpRuleCache = _bufferPtr<_RKFW_RULE>();
  return 0;
}
