// bench_prompt.exe [EVENTS [PROGRAMS]]: the real console asked about EVENTS application events
// (default 2000) of PROGRAMS programs without a rule (default 200), one after another, each
// prompt answered as soon as it shows: for good ("许可" ticked) for every other program, once
// for the rest. Prints the prompts shown, the verdicts the driver received, the time from an
// event's injection to its prompt on screen (mean, worst), and the console's private bytes
// before and after. Run tools/install-standin.sh first.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/console_driver.h"

namespace {
SIZE_T PrivateBytes(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (process != nullptr) {
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    CloseHandle(process);
  }
  // Wine leaves PrivateUsage at 0; the page-file usage is the same figure on Windows.
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

HWND VisiblePrompt(DWORD pid, HWND answered) {
  for (HWND w : TopWindows(pid, "TFWEventNotifyForm"))
    if (w != answered && IsWindowVisible(w)) return w;
  return nullptr;
}

void Click(HWND prompt, const char* name) {
  CControlInfo info;
  if (QueryControl(prompt, name, &info)) ClickControl(info);
}
}  // namespace

int main(int argc, char** argv) {
  const int events = argc > 1 ? atoi(argv[1]) : 2000;
  const int programs = argc > 2 ? std::max(1, atoi(argv[2])) : 200;
  ClearInstanceMark();
  StopService(kConsoleService);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt");
  SetSettingDword("Enable", 1);
  SetSettingDword("Level", 1);
  CProgramFolder folder("bench-prompt");
  CConsole console;
  if (!folder.Ready() || !console.Start(folder) || console.WaitMainWindow() == nullptr ||
      !WaitUntil([] { return DriverCounter("ip-loads") >= 1; }, 60000)) {
    fputs("bench_prompt: the console did not start\n", stderr);
    return 1;
  }
  Sleep(2000);  // settled
  const SIZE_T before = PrivateBytes(console.Pid());

  int prompts = 0, lost = 0;
  double totalMs = 0, worstMs = 0;
  LARGE_INTEGER frequency, start, now;
  setvbuf(stdout, nullptr, _IONBF, 0);
  QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER begin;
  QueryPerformanceCounter(&begin);
  HWND answered = nullptr;
  for (int i = 0; i < events; ++i) {
    const int program = i % programs;
    char line[256];
    snprintf(line, sizeof line,
             "event ask path=\"C:\\Bench\\program%03d.exe\" pid=%d op=connect proto=tcp "
             "local=192.168.1.5:%d remote=10.0.0.1:80",
             program, 1000 + program, 1024 + i % 60000);
    const uint32_t verdicts = DriverCounter("verdicts");
    QueryPerformanceCounter(&start);
    Rkfwctl(line);
    HWND prompt = nullptr;
    // Either a prompt shows, or the program's rule answers without one.
    WaitUntil([&] {
      prompt = VisiblePrompt(console.Pid(), answered);
      return prompt != nullptr || DriverCounter("verdicts") > verdicts;
    }, 30000);
    if (prompt != nullptr) {
      QueryPerformanceCounter(&now);
      const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
      totalMs += ms;
      worstMs = std::max(worstMs, ms);
      ++prompts;
      if (program % 2 == 0) {
        Click(prompt, "AuditCheckBox");
        Click(prompt, "PermitRadioButton");
        Click(prompt, "OkBitBtn");
      } else {
        Click(prompt, "PermitBtn");
      }
      answered = prompt;
    }
    if (!WaitUntil([&] { return DriverCounter("verdicts") > verdicts; }, 30000)) ++lost;
    if (!WaitUntil([&] { return answered == nullptr || !IsWindow(answered); }, 30000)) ++lost;
    answered = nullptr;
    if ((i + 1) % 100 == 0) {
      QueryPerformanceCounter(&now);
      printf("  %5d events  %6.1f s  %zu prompt windows  %lu KB\n", i + 1,
             static_cast<double>(now.QuadPart - begin.QuadPart) / frequency.QuadPart,
             TopWindows(console.Pid(), "TFWEventNotifyForm").size(),
             static_cast<unsigned long>(PrivateBytes(console.Pid()) / 1024));
      fflush(stdout);
    }
  }
  Sleep(2000);
  const SIZE_T after = PrivateBytes(console.Pid());
  const uint32_t verdicts = DriverCounter("verdicts");

  printf("events injected        %d (from %d programs)\n", events, programs);
  printf("prompts shown          %d\n", prompts);
  printf("verdicts received      %u\n", verdicts);
  printf("events not answered    %d\n", lost);
  printf("injection to prompt    mean %.1f ms, worst %.1f ms\n", prompts ? totalMs / prompts : 0.0, worstMs);
  printf("private bytes          before %lu KB, after %lu KB (%+ld KB)\n",
         static_cast<unsigned long>(before / 1024), static_cast<unsigned long>(after / 1024),
         static_cast<long>(after / 1024) - static_cast<long>(before / 1024));
  console.Kill();
  StopService(kConsoleService);
  return 0;
}
