// Figures for the connection page: one refresh of its tree for 100, 1,000 and 4,000 rows
// spread over 10, 100 and 400 programs, with a tenth of the rows changing between refreshes
// (their byte counts grow, as a second of traffic does). The table comes through the page's
// driver port, since the stand-in driver holds 128 rows at most. Prints; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/result.h"
#include "tests/win32/support/consolehost.h"
#include "ui/framework/application.h"
#include "ui/tfwprocframe/tfwprocframe.h"

namespace {
using Clock = std::chrono::steady_clock;
double Millis(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

std::vector<_RKFW_NETWORKCONNECTION> g_rows;
int g_programs = 1;

// The table of the benchmark as the page's driver.
struct CBenchDriver final : CAbsentDriverPort {
  uint32_t GetConnections(_RKFW_NETWORKCONNECTION* rows, uint32_t* capacity, uint32_t* tcp,
                          uint32_t* udp) override {
    uint32_t n = static_cast<uint32_t>(g_rows.size());
    *tcp = *udp = 0;
    if (rows == nullptr) {
      *capacity = n;
      return RESULT_OK;
    }
    if (n > *capacity) n = *capacity;
    memcpy(rows, g_rows.data(), n * sizeof(_RKFW_NETWORKCONNECTION));
    *capacity = n;
    return RESULT_OK;
  }
  uint32_t GetProcessPath(const ProcessBlock* block, _textPtr* path) override {
    char text[64];
    snprintf(text, sizeof text, "C:\\Programs\\app%u.exe", block->ProcessId % static_cast<uint32_t>(g_programs));
    *path = MakeText(kValueTextSize, text);
    return RESULT_OK;
  }
  uint32_t CloseConnection(uint32_t) override { return RESULT_OK; }
} g_benchDriver;

class CBenchForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CBenchForm(CComponent* owner) : CForm(owner, "BenchForm") {}
  CDriverPort& Driver() const override { return g_benchDriver; }
};

void MakeTable(int rows, int programs) {
  g_programs = programs;
  g_rows.assign(static_cast<size_t>(rows), _RKFW_NETWORKCONNECTION());
  for (int i = 0; i < rows; ++i) {
    _RKFW_NETWORKCONNECTION& r = g_rows[static_cast<size_t>(i)];
    memset(&r, 0, sizeof r);
    snprintf(r.ProcessName, sizeof r.ProcessName, "app%d.exe", i % programs);
    r.ProcessId = static_cast<uint32_t>(1000 + i % programs);
    r.Protocol = static_cast<uint32_t>(i % 3);
    r.State = 4;
    r.LocalAddress = 0x0501A8C0;
    r.RemoteAddress = 0x14056CCA;
    r.LocalPort = static_cast<uint16_t>(((1024 + i) >> 8) | (((1024 + i) & 0xFF) << 8));
    r.RemotePort = 0x5000;
    r.Key = static_cast<uint32_t>(i + 1);
  }
}
}  // namespace

int main() {
  Application.Initialize();
  // Other programs share the machine: the median and the fastest of twenty refreshes say more
  // than the mean.
  printf("  rows  programs  first ms  refresh ms: median  fastest  slowest  empty update ms\n");
  const int sizes[][2] = {{100, 10}, {1000, 100}, {4000, 400}};
  for (const auto& size : sizes) {
    MakeTable(size[0], size[1]);
    auto* form = new CBenchForm(&Application);
    form->SetClientSize(560, 320);
    auto* page = new TProcFrame(form, *form);
    page->RefreshTimer->SetEnabled(false);
    page->SetParent(form);
    page->SetAlign(TAlign::Client);
    auto start = Clock::now();
    page->Show();
    form->Show();  // the first resize builds the tree
    double first = Millis(start);
    Application.ProcessMessages();
    std::vector<double> times;
    for (int turn = 0; turn < 20; ++turn) {
      // A tenth of the rows, a different tenth each second, carries new bytes.
      for (size_t i = static_cast<size_t>(turn % 10); i < g_rows.size(); i += 10) g_rows[i].BytesSent += 1460;
      auto t = Clock::now();
      page->Refresh();
      times.push_back(Millis(t));
      Application.ProcessMessages();
    }
    std::sort(times.begin(), times.end());
    // What the tree control costs when an update changes nothing: redrawing switched off and on.
    std::vector<double> empty;
    for (int turn = 0; turn < 20; ++turn) {
      auto t = Clock::now();
      page->ProcTreeView->BeginUpdate();
      page->ProcTreeView->EndUpdate();
      empty.push_back(Millis(t));
      Application.ProcessMessages();
    }
    std::sort(empty.begin(), empty.end());
    printf("%6d  %8d  %8.1f  %18.2f  %7.2f  %7.2f  %15.2f\n", size[0], size[1], first, times[times.size() / 2],
           times.front(), times.back(), empty[empty.size() / 2]);
    FreeComponent(form);
  }
  Application.Shutdown();
  return 0;
}
