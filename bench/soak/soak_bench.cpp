// bench_soak.exe [--minutes N | --seconds N] [--seed N] [--no-monkey | --no-traffic | --first-opens [N]]: the
// console under load for a long time (default 10 minutes). Every second rkfwctl replaces forty
// connection rows, grows the traffic totals, queues rule hits and log events, asks about
// programs and sends a packet through the loaded rules; meanwhile a seeded monkey clicks and
// types at random on every page and dialog it finds and answers every prompt, message box, file
// dialog and menu it meets. Every minute and at the end it prints the events injected and
// answered, whether the console lives and answers, its USER and GDI objects, its windows and
// its private bytes. The minutes count after a warm-up in which the monkey clicks every control
// of the main window once and then walks every window a click there does not reach at once (the
// file dialog with each program picked, the new-program dialog, a card's options and their
// address and port lists, the rule dialog's address, port and ICMP type lists, the open and
// folder dialogs, message boxes): their first openings load for good what they need (8 MB under
// Wine, the file dialog alone 4 MB), which the first sample then includes. --no-monkey only answers what asks (prompts, boxes), with no
// warm-up; --no-traffic sends nothing: each alone tells which side a growth comes from.
// --first-opens [N] (default 3) does nothing but that walk, N times, with the private bytes
// after each step: a cost only the first round pays is loaded once, one every round pays leaks. Run
// tools/install-standin.sh first. Exit code 0 when nothing went unanswered, the console lived
// and the figures stayed within 5 % of the first minute's (the memory less the log page's text,
// which grows with the log up to the page's ceiling).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "standin/rkfwctl/rkfwctl.h"
#include "tests/e2e/console_driver.h"
#include "ui/framework/messages.h"

namespace {
// Programs of the traffic. None has a rule at first: the prompts answered for good make them.
const char* const kPrograms[] = {
    "C:\\Apps\\mail.exe",        "C:\\Apps\\update.exe",       "C:\\Apps\\news.exe",
    "C:\\Apps\\games.exe",     "C:\\Apps\\browser.exe",      "C:\\Apps\\chat.exe",
    "C:\\游戏\\联机游戏.exe",    "C:\\Program Files\\下载\\下载工具.exe",
    "C:\\Apps\\ftp.exe",         "C:\\Apps\\player.exe",       "C:\\Apps\\sync.exe",
    "C:\\工具\\远程桌面.exe",    "C:\\Apps\\backup.exe",       "C:\\Apps\\radio.exe",
    "C:\\Apps\\p2p.exe",         "C:\\Apps\\weather.exe"};
constexpr int kProgramCount = sizeof kPrograms / sizeof kPrograms[0];
// Programs the monkey picks in the open dialog of the audit page: files every prefix has.
const char* const kExistingPrograms[] = {"C:\\windows\\notepad.exe", "C:\\windows\\regedit.exe",
                                         "C:\\windows\\system32\\winver.exe", "C:\\windows\\system32\\ping.exe"};
// Controls the monkey leaves alone: the close label ends the console; "查看日志" opens another
// program's window; start with Windows writes the Run key of the prefix every test shares.
const char* const kUntouched[] = {"Label13", "LookForLog", "LoadAtStartCheck"};

double Seconds(DWORD since) { return (GetTickCount() - since) / 1000.0; }

// ---- what the console costs ----

struct CFigures {
  bool alive = false;
  uint32_t user = 0, gdi = 0;  // GetGuiResources; 0 when unknown
  int windows = 0;          // the process's windows, children included
  SIZE_T privateBytes = 0;
  SIZE_T logText = 0;  // the log page's text, which the page keeps up to its ceiling
};

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

struct CWindowCount {
  DWORD pid;
  int count;
};

BOOL CALLBACK CountProcessWindow(HWND window, LPARAM param) {
  auto* counted = reinterpret_cast<CWindowCount*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != counted->pid) return TRUE;
  ++counted->count;
  EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&counted->count));
  return TRUE;
}

struct CTopQuery {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<CTopQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == query->pid) query->found.push_back(window);
  return TRUE;
}

// The process's top-level windows, front first.
std::vector<HWND> ProcessTopWindows(DWORD pid) {
  CTopQuery query = {pid, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

template <typename Fn>
Fn Function(HMODULE module, const char* name) {
  return module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

class CMeter {
 public:
  explicit CMeter(DWORD pid) : pid_(pid) {
    process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    // Neither exists on every system the console runs on: both are looked up here.
    guiResources_ = Function<GuiResources>(GetModuleHandleA("user32.dll"), "GetGuiResources");
    memoryInfo_ = Function<MemoryInfo>(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo");
    if (memoryInfo_ == nullptr) {
      char path[MAX_PATH];
      UINT n = GetSystemDirectoryA(path, MAX_PATH);
      if (n != 0 && n < MAX_PATH - 12) {
        lstrcatA(path, "\\psapi.dll");
        if (HMODULE psapi = LoadLibraryA(path))
          memoryInfo_ = Function<MemoryInfo>(psapi, "GetProcessMemoryInfo");
      }
    }
  }
  ~CMeter() {
    if (process_ != nullptr) CloseHandle(process_);
  }
  CMeter(const CMeter&) = delete;
  CMeter& operator=(const CMeter&) = delete;

  CFigures Take(HWND main) {
    CFigures f;
    DWORD_PTR answer = 0;
    f.alive = process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT &&
              SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
    if (guiResources_ != nullptr && process_ != nullptr) {
      f.gdi = guiResources_(process_, 0 /* GR_GDIOBJECTS */);
      f.user = guiResources_(process_, 1 /* GR_USEROBJECTS */);
      guiKnown_ = guiKnown_ || f.gdi != 0 || f.user != 0;
    }
    CWindowCount counted = {pid_, 0};
    EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&counted));
    f.windows = counted.count;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (memoryInfo_ != nullptr && process_ != nullptr &&
        memoryInfo_(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
      usedPagefile_ = counters.PrivateUsage == 0;
      f.privateBytes = usedPagefile_ ? counters.PagefileUsage : counters.PrivateUsage;
    }
    return f;
  }
  bool GuiKnown() const { return guiKnown_; }
  const char* MemorySource() const {
    if (memoryInfo_ == nullptr) return "unknown (no GetProcessMemoryInfo)";
    // Wine leaves PrivateUsage at 0 and fills PagefileUsage from the Linux process's /proc
    // status (anonymous resident memory and swap).
    return usedPagefile_ ? "PagefileUsage (PrivateUsage answered 0)" : "PrivateUsage";
  }

 private:
  using GuiResources = DWORD(WINAPI*)(HANDLE, DWORD);
  using MemoryInfo = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
  DWORD pid_;
  HANDLE process_ = nullptr;
  GuiResources guiResources_ = nullptr;
  MemoryInfo memoryInfo_ = nullptr;
  bool guiKnown_ = false;
  bool usedPagefile_ = false;
};

// ---- the driver's side: traffic every second ----

class CTraffic {
 public:
  explicit CTraffic(uint32_t seed) : rng_(seed) {
    for (uint32_t key = 1; key <= kRows; ++key) free_.push_back(key);
  }

  void Second() {
    // Connections come and go: the oldest forty rows go and forty new ones come, in the
    // stand-in's table of 128.
    while (live_.size() > kRows - kRowsPerSecond) {
      Run("conn del " + std::to_string(live_.front()));
      free_.push_back(live_.front());
      live_.pop_front();
      ++removed;
    }
    while (live_.size() < kRows) AddRow();
    Run("traffic " + std::to_string(500 + Pick(20000)) + " " + std::to_string(500 + Pick(40000)) +
        (live_.empty() ? "" : " key=" + std::to_string(live_[Pick(static_cast<int>(live_.size()))])));
    const int program = Pick(kProgramCount);
    char line[400];
    snprintf(line, sizeof line, "event rule proto=%s local=192.168.1.5:%d remote=10.%d.0.%d:%d rule=%d op=receive "
             "action=%s count=3", Pick(2) ? "tcp" : "udp", 1024 + Pick(3000), Pick(250), 1 + Pick(250),
             1 + Pick(1024), 1 + Pick(20), Pick(2) ? "block" : "permit");
    if (Run(line)) ruleHits += 3;
    snprintf(line, sizeof line, "event log path=\"%s\" pid=%d op=connect proto=tcp local=192.168.1.5:%d "
             "remote=10.0.0.%d:80 count=2", kPrograms[program], 2000 + program, 1024 + Pick(3000), 1 + Pick(250));
    if (Run(line)) logs += 2;
    // A question every second on average, most of them from programs the console asks about.
    for (int i = Pick(3); i > 0; --i) {
      const int asked = Pick(kProgramCount);
      snprintf(line, sizeof line, "event ask path=\"%s\" pid=%d op=%s proto=tcp local=192.168.1.5:%d "
               "remote=10.1.%d.%d:%d", kPrograms[asked], 2000 + asked, Pick(2) ? "connect" : "accept",
               1024 + Pick(3000), Pick(250), 1 + Pick(250), 1 + Pick(1024));
      if (Run(line)) ++asks;
    }
    // A packet without a program meets the level's rules: a hit may be logged or asked.
    const bool tcp = Pick(2) == 0, in = Pick(2) == 0;
    const char* kind = Pick(2) == 0 ? "" : tcp ? "syn " : in ? "service " : "";
    snprintf(line, sizeof line, "packet proto=%s dir=%s %slocal=192.168.1.5:%d remote=10.2.0.%d:%d wait=0",
             tcp ? "tcp" : "udp", in ? "in" : "out", kind, 1 + Pick(3000), 1 + Pick(250), 1 + Pick(1024));
    if (Run(line)) {
      ++packets;
      if (ctl_.Out.compare(0, 5, "asked") == 0) ++asks;
    }
  }

  // Driver status values; empty when it does not answer.
  std::map<std::string, uint32_t> Status() {
    std::map<std::string, uint32_t> values;
    if (!Run("status")) return values;
    char name[64];
    unsigned long value;
    for (const char* p = ctl_.Out.c_str(); sscanf(p, "%63s %lu", name, &value) == 2;) {
      values[name] = static_cast<uint32_t>(value);
      p = strchr(p, '\n');
      if (p == nullptr) break;
      ++p;
    }
    return values;
  }

  uint32_t asks = 0, ruleHits = 0, logs = 0, packets = 0, added = 0, removed = 0, refused = 0;

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  bool Run(const std::string& line) {
    ctl_.Out.clear();
    ctl_.Err.clear();
    if (ctl_.Run(SplitRkfwctlLine(line)) == kRkfwctlOk) return true;
    if (++refused <= 5) printf("refused: %s: %s", line.c_str(), ctl_.Err.empty() ? "\n" : ctl_.Err.c_str());
    return false;
  }

  // A row of the key that has been free longest. A key stays one program's, so the driver's
  // 32 process paths suffice: the first keys name their program's path, the others only its
  // name (the console then shows the name and process id), some for the console to look up.
  void AddRow() {
    const uint32_t key = free_.front();
    free_.pop_front();
    const int program = static_cast<int>(key % kProgramCount);
    std::string who = key <= kProgramCount ? std::string("path=\"") + kPrograms[program] + "\""
                                           : "name=app" + std::to_string(program) + ".exe";
    if (key > kProgramCount && Pick(4) == 0) who += " byid";
    static const char* const kStates[] = {"established", "syn-sent", "listen", "time-wait", "close-wait"};
    char line[400];
    const bool udp = Pick(4) == 0;
    snprintf(line, sizeof line, "conn add key=%u proto=%s%s pid=%d %s local=192.168.1.5:%d remote=10.3.%d.%d:%d "
             "sent=%d recv=%d", key, udp ? "udp" : "tcp state=", udp ? "" : kStates[Pick(5)], 3000 + program,
             who.c_str(), 1024 + Pick(5000), Pick(250), 1 + Pick(250), 1 + Pick(1024), Pick(100000), Pick(100000));
    if (Run(line)) ++added;
    live_.push_back(key);
  }

  static constexpr size_t kRows = 120, kRowsPerSecond = 40;
  std::mt19937 rng_;
  CRkfwctl ctl_;
  std::deque<uint32_t> live_, free_;  // row keys in the table, oldest first; keys free
};

// ---- the user's side: the monkey ----

struct CEntry {
  std::string className, name;  // name as the form finds it ("Frame.Name" inside a frame)
};

// The controls of a form that show and are enabled, from its description (one line per
// control, two blanks of indent per level).
std::vector<CEntry> UsableControls(HWND form) {
  std::vector<CEntry> usable;
  struct CLevel {
    bool usable;
    std::string frame;
  };
  std::vector<CLevel> stack;
  const std::string text = DescribeWindow(form, 3000);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) continue;
    char className[64] = {}, name[128] = {}, visible[16] = {}, enabled[16] = {};
    int x, y, w, h;
    if (sscanf(line.c_str() + indent, "%63s %127s [%d,%d %dx%d] %15s %15s", className, name, &x, &y, &w, &h, visible,
               enabled) != 8)
      continue;
    const size_t depth = indent / 2;
    stack.resize(std::min(stack.size(), depth));
    const bool parentUsable = stack.empty() || stack.back().usable;
    const std::string frame = stack.empty() ? "" : stack.back().frame;
    const bool ok = parentUsable && strcmp(visible, "visible") == 0 && strcmp(enabled, "enabled") == 0;
    const std::string qualified = frame.empty() || depth <= 1 ? name : frame + "." + name;
    // A frame's controls are found through it; the form itself and its pages are not clicked.
    const bool isFrame = strstr(className, "Frame") != nullptr;
    stack.push_back({ok, isFrame && depth > 0 ? std::string(name) : frame});
    if (ok && depth > 0 && !isFrame && strcmp(name, "-") != 0) usable.push_back({className, qualified});
  }
  return usable;
}

class CMonkey {
 public:
  CMonkey(DWORD pid, uint32_t seed) : pid_(pid), rng_(seed) {}

  // One action: on a menu, a box, a prompt, a dialog, else the main window. Settling, it
  // answers prompts and closes dialogs at once and leaves the main window alone; the result
  // says whether there was anything to answer.
  bool Step(HWND main, bool settling) {
    std::vector<HWND> menus, boxes, dialogs, prompts;
    for (HWND w : ProcessTopWindows(pid_)) {
      if (!IsWindowVisible(w)) continue;
      char cls[64] = {};
      GetClassNameA(w, cls, sizeof cls);
      const std::string c = cls;
      if (c == "#32768") menus.push_back(w);
      else if (c == "#32770") boxes.push_back(w);
      else if (c == "TFWEventNotifyForm") prompts.push_back(w);
      else if (c[0] == 'T' && c != "TFWMainForm" && c != "TTrayIconWindow") dialogs.push_back(w);
      // The first of each kind is told: a window's first showing may load what stays loaded.
      const std::string kind = c == "#32770" ? c + " " + WindowText(w) : c;
      if (seen_.insert(kind).second) printf("monkey: %.0f s: the first %s\n", Seconds(start_), kind.c_str());
    }
    NoteModals(menus, boxes, dialogs);
    ++actions;
    if (!menus.empty()) return AnswerMenu(menus.front()), true;
    if (!boxes.empty()) return AnswerSystemDialog(boxes.back()), true;
    for (HWND prompt : prompts) {
      if (!IsWindowEnabled(prompt)) continue;  // a user could not answer it either
      if (settling || Pick(3) == 0) return AnswerPrompt(prompt), true;
    }
    for (HWND dialog : dialogs) {
      if (!IsWindowEnabled(dialog)) continue;  // below the modal one
      if (settling || ++dialogActions_ > 4 + Pick(12)) return CloseDialog(dialog), true;
      return Play(dialog), true;
    }
    dialogActions_ = 0;
    if (!IsWindowVisible(main)) return Restore(), true;
    if (!settling && IsWindowEnabled(main)) Play(main, touring_);
    return !prompts.empty() || !dialogs.empty();
  }

  // The warm-up: every control of the main window once, in window order, so that each page is
  // shown and each dialog a page opens is met (and played a little, then closed) before the
  // first sample. A window's first showing may load for good what it needs (the shell's file
  // dialog above all); a random monkey meets the last of them only minutes in.
  void StartTour() { touring_ = true; }
  bool Touring() const { return touring_; }
  size_t Toured() const { return toured_.size(); }

  // The longest any modal window (menu, box, dialog) has stayed open, in seconds.
  double OldestModal() const {
    double oldest = 0;
    for (const auto& open : opened_) oldest = std::max(oldest, Seconds(open.second));
    return oldest;
  }

  uint32_t actions = 0, boxesAnswered = 0, dialogsClosed = 0, promptsAnswered = 0, menusAnswered = 0;
  double longestModal = 0;
  std::map<std::string, int> boxTexts;  // GBK, as the boxes said them

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  void NoteModals(const std::vector<HWND>& a, const std::vector<HWND>& b, const std::vector<HWND>& c) {
    std::map<HWND, DWORD> still;
    for (const auto* list : {&a, &b, &c})
      for (HWND w : *list) {
        auto known = opened_.find(w);
        still[w] = known != opened_.end() ? known->second : GetTickCount();
      }
    opened_.swap(still);
    longestModal = std::max(longestModal, OldestModal());
  }

  void AnswerMenu(HWND menu) {
    // Escape, or the first item ("断开该连接" on the connection page).
    if (Pick(2) == 0) {
      PressKey(menu, VK_DOWN);
      PressKey(menu, VK_RETURN);
    } else {
      PressKey(menu, VK_ESCAPE);
    }
    ++menusAnswered;
  }

  void AnswerSystemDialog(HWND box) {
    if (HWND text = GetDlgItem(box, 0xFFFF)) {
      // A message box: any of its buttons.
      ++boxTexts[WindowText(text)];
      std::vector<HWND> buttons;
      for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
        if (HWND b = GetDlgItem(box, id)) buttons.push_back(b);
      if (!buttons.empty()) ClickControl(buttons[Pick(static_cast<int>(buttons.size()))]);
      else PostMessageA(box, WM_CLOSE, 0, 0);
    } else {
      // A file or folder dialog: cancelled, or, choosing a program to audit, a program.
      HWND name = GetDlgItem(box, 0x47C);
      if (name == nullptr) name = GetDlgItem(box, 0x480);
      // The warm-up always picks one: the dialog it opens shows a program's icon and version,
      // which the shell loads once.
      const bool choose =
          name != nullptr && WindowText(box) == "选择需审核的应用程序" && (touring_ || Pick(2) == 0);
      if (choose) SetWindowTextA(name, kExistingPrograms[Pick(4)]);
      const int button = choose ? IDOK : IDCANCEL;
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    }
    ++boxesAnswered;
  }

  void Click(HWND form, const char* name) {
    CControlInfo info;
    if (QueryControl(form, name, &info, 3000) && info.showing && info.enabled) ClickControl(info);
  }

  void AnswerPrompt(HWND prompt) {
    switch (Pick(8)) {
      case 0:  // for good
        Click(prompt, "AuditCheckBox");
        Click(prompt, Pick(2) ? "PermitRadioButton" : "BlockRadioButton");
        Click(prompt, "OkBitBtn");
        break;
      case 1: PostMessageA(prompt, WM_CLOSE, 0, 0); break;
      case 2: case 3: case 4: Click(prompt, "BlockBtn"); break;
      default: Click(prompt, "PermitBtn"); break;
    }
    ++promptsAnswered;
  }

  void CloseDialog(HWND dialog) {
    Key(dialog, Pick(3) ? VK_ESCAPE : VK_RETURN);
    if (Pick(4) == 0) PostMessageA(dialog, WM_CLOSE, 0, 0);
    // Enter may be refused by a check; after a while the dialog is closed whatever it says.
    if (opened_.count(dialog) && Seconds(opened_[dialog]) > 10) PostMessageA(dialog, WM_CLOSE, 0, 0);
    ++dialogsClosed;
  }

  void Restore() {
    for (HWND icon : TopWindows(pid_, "TTrayIconWindow"))
      PostMessageA(icon, kMsgTrayCallback, 1, WM_LBUTTONDBLCLK);
  }

  // A key where the console's keyboard is (the focused control), or to the form.
  void Key(HWND form, UINT key) {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    DWORD thread = GetWindowThreadProcessId(form, nullptr);
    HWND focus = GetGUIThreadInfo(thread, &gui) && gui.hwndFocus != nullptr ? gui.hwndFocus : form;
    PressKey(focus, key);
  }

  static void PostAt(HWND host, UINT down, UINT up, WPARAM button, POINT at) {
    ScreenToClient(host, &at);
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageA(host, down, button, where);
    PostMessageA(host, up, 0, where);
  }

  // Something a user might do to one control of `form`.
  // On the main window during the warm-up, the next control not yet clicked instead.
  void Play(HWND form, bool tour = false) {
    if (!tour && Pick(10) == 0) {
      static const UINT kKeys[] = {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_DOWN, VK_UP, VK_APPS, VK_PRIOR, VK_NEXT};
      return Key(form, kKeys[Pick(sizeof kKeys / sizeof kKeys[0])]);
    }
    std::vector<CEntry> usable = UsableControls(form);
    usable.erase(std::remove_if(usable.begin(), usable.end(),
                                [](const CEntry& e) {
                                  for (const char* name : kUntouched)
                                    if (e.name == name) return true;
                                  return e.className == "TPanel" || e.className == "TGroupBox" ||
                                         e.className == "TBevel";
                                }),
                 usable.end());
    if (usable.empty()) return;
    size_t pick = 0;
    if (tour) {
      // What the page shown holds (names inside a frame) before the next page's button.
      auto next = [&](bool inFrame) {
        for (size_t i = 0; i < usable.size(); ++i)
          if ((usable[i].name.find('.') != std::string::npos) == inFrame && !toured_.count(usable[i].name)) return i;
        return usable.size();
      };
      pick = next(true);
      if (pick == usable.size()) pick = next(false);
      if (pick == usable.size()) {
        touring_ = false;
        return;
      }
      toured_.insert(usable[pick].name);
    } else {
      pick = static_cast<size_t>(Pick(static_cast<int>(usable.size())));
    }
    const CEntry& entry = usable[pick];
    CControlInfo info;
    if (!QueryControl(form, entry.name.c_str(), &info, 3000) || !info.showing || !info.enabled) return;
    const RECT& r = info.screen;
    if (r.right <= r.left || r.bottom <= r.top) return;
    POINT at = {r.left + Pick(r.right - r.left), r.top + Pick(r.bottom - r.top)};
    const std::string& c = entry.className;
    HWND window = info.window != nullptr ? info.window : info.host;
    if (c == "TEdit" || c == "TMemo" || c == "TSpinEdit" || c == "TIPAddress") {
      PostAt(info.host, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, at);
      static const char kTyped[] = "0123456789..:-,abcz ";
      for (int i = Pick(8); i > 0; --i) {
        if (Pick(6) == 0) {
          PressKey(window, VK_BACK);
        } else if (Pick(12) == 0) {
          const char* han = "网";  // two GBK bytes, as a Chinese input method sends them
          PostMessageA(window, WM_CHAR, static_cast<BYTE>(han[0]), 1);
          PostMessageA(window, WM_CHAR, static_cast<BYTE>(han[1]), 1);
        } else {
          PostMessageA(window, WM_CHAR, static_cast<BYTE>(kTyped[Pick(sizeof kTyped - 1)]), 1);
        }
      }
    } else if (c == "TTreeView" && Pick(2) == 0) {
      // The connection's menu: a posted right click finds no line (the tree looks where the
      // mouse really is), the keyboard opens it on the selected one.
      if (Pick(3) == 0) PostAt(info.host, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, at);
      else PressKey(window, VK_APPS);
    } else if (c == "TTrackBar" || c == "TComboBox" || (c == "TTreeView" && Pick(2) == 0)) {
      PressKey(window, Pick(2) ? VK_DOWN : VK_UP);
    } else if ((c == "TScrollBox" || c == "TLogMemo" || c == "TListBox") && Pick(2) == 0) {
      const int notches = (Pick(2) ? 1 : -1) * (1 + Pick(5));
      PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), MAKELPARAM(at.x, at.y));
    } else {
      PostAt(info.host, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, at);
    }
  }

  DWORD pid_;
  std::mt19937 rng_;
  int dialogActions_ = 0;
  std::map<HWND, DWORD> opened_;  // modal windows open now, and since when
  std::set<std::string> seen_;  // kinds of window met
  bool touring_ = false;
  std::set<std::string> toured_;  // controls of the main window the warm-up has clicked
  DWORD start_ = GetTickCount();
};

// ---- every window behind the pages, nested ones included ----

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The windows the monkey can open, each opened through the console's own controls (clicks, keys
// into a list or a combo box, a program typed into the file dialog) and closed again with its
// cancel button. A window's first opening loads what stays loaded (the shell's file dialog and a
// program's icon, the local addresses, a message box's icon): the warm-up takes the walk once so
// that those costs come before the first sample; --first-opens takes it again and again and
// measures after each step, telling a one-time cost from one that every opening repeats.
class CDialogWalk {
 public:
  explicit CDialogWalk(CConsole& console) : console_(console) {}

  struct CStep {
    const char* name;
    bool (CDialogWalk::*run)();
  };
  static const CStep kSteps[];
  static const int kStepCount;

  bool Run(const CStep& step) {
    const bool reached = (this->*step.run)();
    // Whatever a step left open (it failed halfway) is closed, topmost first.
    for (int i = 0; i < 8; ++i) {
      std::vector<HWND> open = Modals();
      if (open.empty()) break;
      Close(open.front());
    }
    if (!reached) printf("walk: %s: not reached\n", step.name);
    return reached;
  }

 private:
  // The console's visible top-level windows other than its main window and tray window.
  std::vector<HWND> Modals() const {
    std::vector<HWND> open;
    for (HWND w : ProcessTopWindows(console_.Pid())) {
      const std::string c = ClassOf(w);
      if (IsWindowVisible(w) && c != "TFWMainForm" && c != "TTrayIconWindow" && c != "TFWEventNotifyForm")
        open.push_back(w);
    }
    return open;
  }

  // The window of `cls` (any dialog when nullptr) that an action opens.
  HWND Opens(const std::function<bool()>& act, const char* cls = nullptr) {
    const std::vector<HWND> before = Modals();
    if (!act()) return nullptr;
    HWND opened = nullptr;
    WaitUntil([&] {
      for (HWND w : Modals())
        if (std::find(before.begin(), before.end(), w) == before.end() && (cls == nullptr || ClassOf(w) == cls))
          opened = w;
      return opened != nullptr;
    });
    return opened;
  }

  // A click on a control of `form` once it shows and is enabled (an earlier click or key may be
  // still on its way).
  static bool Click(HWND form, const char* name) {
    CControlInfo info;
    if (!WaitUntil([&] { return QueryControl(form, name, &info, 3000) && info.showing && info.enabled; })) return false;
    ClickControl(info);
    return true;
  }

  static bool Keys(HWND form, const char* name, UINT key, int times) {
    HWND control = FindControl(form, name);
    if (control == nullptr) return false;
    for (int i = 0; i < times; ++i) PressKey(control, key);
    return true;
  }

  static bool Close(HWND window) {
    if (ClassOf(window) == "#32770") {
      HWND button = nullptr;
      for (int id : {IDCANCEL, IDNO, IDOK})
        if (button == nullptr) button = GetDlgItem(window, id);
      if (button != nullptr) ClickControl(button);
      else PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
      CControlInfo info;
      const char* name = QueryControl(window, "CancelBtn", &info, 3000) ? "CancelBtn" : "CancelBitBtn";
      if (!Click(window, name)) PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); });
  }

  // A page of the main window, once the control `shown` of it shows.
  bool Page(const char* button, const char* shown) {
    ClickControl(console_.Find(button));
    return WaitUntil([&] { return console_.Find(shown).showing; });
  }

  // Types a program into the file dialog and confirms it.
  static bool Choose(HWND box, const char* path) {
    HWND name = GetDlgItem(box, 0x47C);  // the file name box, an edit inside a combo box
    if (name != nullptr && FindWindowExA(name, nullptr, "Edit", nullptr) != nullptr)
      name = FindWindowExA(name, nullptr, "Edit", nullptr);
    if (name == nullptr) name = GetDlgItem(box, 0x480);
    if (name == nullptr) return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
    ClickControl(GetDlgItem(box, IDOK));
    return true;
  }

  HWND ProgramDialogFor(const char* path) {
    HWND box = Opens([&] { return Click(console_.MainWindow(), "NewAppBtn"); }, "#32770");
    return box == nullptr ? nullptr : Opens([&] { return Choose(box, path); });
  }

  bool ProgramFileCancelled() {
    if (!Page("AppAuditBtn", "NewAppBtn")) return false;
    HWND box = Opens([&] { return Click(console_.MainWindow(), "NewAppBtn"); }, "#32770");
    return box != nullptr && Close(box);
  }

  // Each program the monkey may pick: the dialog shows its icon, description and version (a
  // program audited already is refused with a box instead).
  bool ProgramsPicked() {
    if (!Page("AppAuditBtn", "NewAppBtn")) return false;
    for (const char* program : kExistingPrograms) {
      HWND dialog = ProgramDialogFor(program);
      if (dialog == nullptr || !Close(dialog)) return false;
    }
    return true;
  }

  // A card to play with: the first program audited; picked again, it is refused with a box.
  bool ProgramAudited() {
    if (!Page("AppAuditBtn", "NewAppBtn")) return false;
    HWND dialog = ProgramDialogFor(kExistingPrograms[0]);
    if (dialog == nullptr) return false;
    if (ClassOf(dialog) == "#32770") return Close(dialog);
    if (!Click(dialog, "PermitRadioButton") || !Click(dialog, "OkBtn")) return false;
    return WaitUntil([&] { return console_.Find("TFWAuditRuleItemFrame0.OptBtn").showing; });
  }

  bool CardOptions() {
    if (!Page("AppAuditBtn", "TFWAuditRuleItemFrame0.OptBtn")) return false;
    HWND options = Opens([&] { return Click(console_.MainWindow(), "TFWAuditRuleItemFrame0.OptBtn"); });
    if (options == nullptr) return false;
    for (const char* button : {"LocalAddrBtn", "RemoteAddrBtn", "LocalPortBtn", "RemotePortBtn"}) {
      HWND list = Opens([&] { return Click(options, button); });
      if (list == nullptr || !Close(list)) return false;
    }
    return Close(options);
  }

  HWND RuleDialog() {
    if (!Page("RuleSetupBtn", "NewRuleBtn")) return nullptr;
    return Opens([&] { return Click(console_.MainWindow(), "NewRuleBtn"); }, "TFWNewRuleDlg");
  }

  // The rule dialog, and in it what `open` opens.
  bool InRuleDialog(const std::function<HWND(HWND)>& open) {
    HWND dialog = RuleDialog();
    if (dialog == nullptr) return false;
    HWND inner = open(dialog);
    return inner != nullptr && Close(inner) && Close(dialog);
  }

  bool RuleDialogAlone() {
    HWND dialog = RuleDialog();
    return dialog != nullptr && Close(dialog);
  }

  bool LocalAddresses() {
    return InRuleDialog([&](HWND d) {
      return Opens([&] { return Click(d, "SrcIPCheckBox") && Click(d, "AddSrcIPBtn"); }, "TFWHostIPSelDlg");
    });
  }

  bool RemoteAddresses() {
    return InRuleDialog([&](HWND d) {
      return Opens([&] { return Keys(d, "IPStyleComboBox", VK_DOWN, 3) && Click(d, "AddIPBtn"); });
    });
  }

  // A protocol's page of the rule dialog, from the first tab.
  static bool Tab(HWND dialog, int index) {
    return Keys(dialog, "RulePageControl", VK_LEFT, 5) && Keys(dialog, "RulePageControl", VK_RIGHT, index);
  }

  bool Ports() {
    return InRuleDialog([&](HWND d) {
      return Opens([&] { return Tab(d, 1) && Keys(d, "TCPSrcPortBox", VK_DOWN, 3) && Click(d, "TCPAddSrcPortBtn"); });
    });
  }

  bool IcmpTypes() {
    return InRuleDialog([&](HWND d) {
      return Opens([&] {
        if (!Tab(d, 3)) return false;
        CControlInfo add;
        WaitUntil([&] { return QueryControl(d, "AddICMPTypeBtn", &add, 3000) && add.showing; });
        return (add.enabled || Click(d, "AllTypeCheckBox")) && Click(d, "AddICMPTypeBtn");
      }, "TFWICMPTypeForm");
    });
  }

  bool RuleProgramFile() {
    return InRuleDialog([&](HWND d) {
      return Opens([&] { return Click(d, "SpecAppRadioButton") && Click(d, "AppOpenBtn"); }, "#32770");
    });
  }

  bool RuleCardEditor() {
    if (!Page("RuleSetupBtn", "FWRuleItemFrame0.ModifyBtn")) return false;
    HWND dialog = Opens([&] { return Click(console_.MainWindow(), "FWRuleItemFrame0.ModifyBtn"); });
    return dialog != nullptr && Close(dialog);
  }

  // The rule page's open dialog; rules changed meanwhile are first given up.
  bool RuleFileOpen() {
    if (!Page("RuleSetupBtn", "OpenBtn")) return false;
    HWND box = Opens([&] { return Click(console_.MainWindow(), "OpenBtn"); }, "#32770");
    if (box != nullptr && GetDlgItem(box, IDNO) != nullptr) {
      const HWND question = box;
      box = Opens([&] {
        ClickControl(GetDlgItem(question, IDNO));
        return true;
      }, "#32770");
    }
    return box != nullptr && Close(box);
  }

  // The log folder's dialog and the question before the log is cleared, answered no; with
  // logging off, the box is ticked first (and again after), as a user would to reach them.
  bool LogFolderAndQuestion() {
    if (!Page("SetupBitBtn", "RecordLogCheck")) return false;
    const bool off = !console_.Find("Browse").enabled;
    if (off && !Click(console_.MainWindow(), "RecordLogCheck")) return false;
    HWND folder = Opens([&] { return Click(console_.MainWindow(), "Browse"); }, "#32770");
    const bool closed = folder != nullptr && Close(folder);
    HWND box = Opens([&] { return Click(console_.MainWindow(), "ClearLog"); }, "#32770");
    const bool answered = box != nullptr && Close(box);
    if (off) Click(console_.MainWindow(), "RecordLogCheck");
    return closed && answered;
  }

  CConsole& console_;
};

const CDialogWalk::CStep CDialogWalk::kSteps[] = {
    {"program file dialog, cancelled", &CDialogWalk::ProgramFileCancelled},
    {"program dialog for each program", &CDialogWalk::ProgramsPicked},
    {"a program audited (then refused)", &CDialogWalk::ProgramAudited},
    {"card options and their lists", &CDialogWalk::CardOptions},
    {"rule dialog", &CDialogWalk::RuleDialogAlone},
    {"rule dialog: local addresses", &CDialogWalk::LocalAddresses},
    {"rule dialog: address list", &CDialogWalk::RemoteAddresses},
    {"rule dialog: port list", &CDialogWalk::Ports},
    {"rule dialog: ICMP types", &CDialogWalk::IcmpTypes},
    {"rule dialog: program file dialog", &CDialogWalk::RuleProgramFile},
    {"rule card editor", &CDialogWalk::RuleCardEditor},
    {"rule file open dialog", &CDialogWalk::RuleFileOpen},
    {"log folder dialog, question box", &CDialogWalk::LogFolderAndQuestion},
};
const int CDialogWalk::kStepCount = sizeof kSteps / sizeof kSteps[0];

// ---- the run ----

// The console in the same place for every sample: nothing open, the main window shown on its
// information page. False when that took more than 20 s.
bool Settle(CMonkey& monkey, CConsole& console) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && console.Running();) {
    if (!monkey.Step(console.MainWindow(), true)) {
      if (console.Find("FWInfoFrame").showing) {
        // A question that came meanwhile is answered first: a sample counts no prompt's windows.
        WaitUntil([] { return false; }, 1000);
        if (!monkey.Step(console.MainWindow(), true)) return true;
      } else {
        ClickControl(console.Find("SysInfoBtn"));
      }
    }
    WaitUntil([] { return false; }, 100);
  }
  return false;
}

struct CSample {
  double minute;
  CFigures f;
};

// The largest departure from the first sample, in per cent of it.
double Drift(const std::vector<CSample>& samples, SIZE_T (*value)(const CFigures&)) {
  if (samples.size() < 2 || value(samples[0].f) == 0) return 0;
  const double base = static_cast<double>(value(samples[0].f));
  double worst = 0;
  for (const CSample& s : samples) worst = std::max(worst, std::abs(static_cast<double>(value(s.f)) - base) / base);
  return 100.0 * worst;
}

}  // namespace

int main(int argc, char** argv) {
  DWORD runSeconds = 600;
  uint32_t seed = 1;
  bool playing = true, sending = true;
  int firstOpens = 0;  // rounds of the walk through every dialog, measured after each step
  for (int i = 1; i < argc; ++i) {
    const bool value = i + 1 < argc;
    if (strcmp(argv[i], "--minutes") == 0 && value) runSeconds = 60 * strtoul(argv[++i], nullptr, 10);
    else if (strcmp(argv[i], "--seconds") == 0 && value) runSeconds = strtoul(argv[++i], nullptr, 10);
    else if (strcmp(argv[i], "--seed") == 0 && value) seed = strtoul(argv[++i], nullptr, 10);
    else if (strcmp(argv[i], "--no-monkey") == 0) playing = false;
    else if (strcmp(argv[i], "--no-traffic") == 0) sending = false;
    else if (strcmp(argv[i], "--first-opens") == 0)
      firstOpens = value && isdigit(static_cast<unsigned char>(argv[i + 1][0])) ? atoi(argv[++i]) : 3;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);

  ClearInstanceMark();
  StopService(kConsoleService);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt");
  SetSettingDword("Enable", 1);
  SetSettingDword("Level", 1);
  SetSettingDword("RECORDLOG", 1);  // the default folder, inside the program's copy
  CProgramFolder folder("soak");
  CConsole console;
  if (!folder.Ready() || !folder.CopyFromBuild("QeltUtil.DLL", "QeltUtil.DLL") || !console.Start(folder) ||
      console.WaitMainWindow() == nullptr || !WaitUntil([] { return DriverCounter("ip-loads") >= 1; }, 60000)) {
    fputs("bench_soak: the console did not start\n", stderr);
    return 1;
  }
  printf("bench_soak: %lu s, seed %u%s%s, console pid %lu\n", static_cast<unsigned long>(runSeconds), seed,
         playing ? "" : ", no monkey", sending ? "" : ", no traffic", static_cast<unsigned long>(console.Pid()));

  CTraffic traffic(seed);
  CMonkey monkey(console.Pid(), seed * 7919u + 1);
  CMeter meter(console.Pid());
  std::vector<CSample> samples;  // one a minute, from the end of the first
  CDialogWalk walk(console);
  if (firstOpens > 0) {
    // No traffic and no monkey: only the walk, with the private bytes after each step.
    Settle(monkey, console);
    SIZE_T before = meter.Take(console.MainWindow()).privateBytes;
    printf("first opens: %d rounds; before them private %lu KB\n", firstOpens,
           static_cast<unsigned long>(before / 1024));
    bool reached = true;
    for (int round = 1; round <= firstOpens && console.Running(); ++round) {
      const SIZE_T roundStart = before;
      for (int i = 0; i < CDialogWalk::kStepCount && console.Running(); ++i) {
        reached = walk.Run(CDialogWalk::kSteps[i]) && reached;
        Settle(monkey, console);
        WaitUntil([] { return false; }, 500);
        const CFigures f = meter.Take(console.MainWindow());
        const long long grew = static_cast<long long>(f.privateBytes) - static_cast<long long>(before);
        printf("round %d  %-36s private %6lu KB  %+6ld KB  windows %d\n", round, CDialogWalk::kSteps[i].name,
               static_cast<unsigned long>(f.privateBytes / 1024), static_cast<long>(grew / 1024), f.windows);
        before = f.privateBytes;
      }
      printf("round %d  total %+ld KB\n", round,
             static_cast<long>((static_cast<long long>(before) - static_cast<long long>(roundStart)) / 1024));
    }
    const bool good = console.Running() && reached;
    printf("result            %s\n", good ? "every step reached" : "FAULT: see the lines above");
    console.Kill();
    StopService(kConsoleService);
    return good ? 0 : 1;
  }
  double longestStall = 0;
  if (playing) {
    // The warm-up, before the minutes are counted; the traffic flows meanwhile.
    monkey.StartTour();
    const DWORD warm = GetTickCount();
    for (DWORD next = warm; monkey.Touring() && console.Running() && GetTickCount() - warm < 300000;) {
      if (sending && GetTickCount() >= next) {
        traffic.Second();
        next = std::max(next + 1000, GetTickCount() - 1000);
      }
      monkey.Step(console.MainWindow(), false);
      WaitUntil([] { return false; }, 60);
    }
    Settle(monkey, console);
    // Then what only a dialog's own controls open, each once; the traffic waits meanwhile.
    int walked = 0;
    for (int i = 0; i < CDialogWalk::kStepCount && console.Running(); ++i) {
      walked += walk.Run(CDialogWalk::kSteps[i]) ? 1 : 0;
      Settle(monkey, console);
    }
    printf("warm-up: %u controls of the main window clicked, %d of %d dialog walks reached, in %.0f s%s\n",
           static_cast<unsigned>(monkey.Toured()), walked, CDialogWalk::kStepCount, Seconds(warm),
           monkey.Touring() ? ", cut at five minutes" : "");
  }
  const DWORD begin = GetTickCount();
  DWORD nextSecond = begin, nextMinute = begin + 60000, lastAnswer = begin;
  bool alive = true;

  auto report = [&](const char* when) {
    CFigures f = meter.Take(console.MainWindow());
    auto status = traffic.Status();
    const uint32_t verdicts = status["verdicts"];
    DWORD_PTR logText = 0;  // the log page's text, which only the user clears
    SendMessageTimeoutA(console.Control("LogMemo"), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &logText);
    f.logText = logText;
    printf("%-6s %5.1f min  asked %5u answered %5u waiting %3d queued %3u | hits %6u logs %6u rows +%u/-%u refused %u"
           " | monkey %5u, open %4.1f s | %s, stall %.0f ms | USER %u GDI %u windows %d private %lu KB log page %lu KB\n",
           when, Seconds(begin) / 60, traffic.asks, verdicts, static_cast<int>(traffic.asks - verdicts),
           status["queued"], traffic.ruleHits, traffic.logs, traffic.added, traffic.removed, traffic.refused,
           monkey.actions, monkey.OldestModal(), f.alive ? "alive" : "NOT ANSWERING", longestStall, f.user, f.gdi,
           f.windows, static_cast<unsigned long>(f.privateBytes / 1024), static_cast<unsigned long>(logText / 1024));
    return f;
  };

  while (GetTickCount() - begin < runSeconds * 1000 && alive) {
    if (GetTickCount() >= nextSecond) {
      if (sending) traffic.Second();
      nextSecond = std::max(nextSecond + 1000, GetTickCount() - 1000);  // no burst after a settle
    }
    monkey.Step(console.MainWindow(), !playing);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(console.MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer)) {
      lastAnswer = GetTickCount();
    } else {
      longestStall = std::max(longestStall, static_cast<double>(GetTickCount() - lastAnswer));
    }
    alive = console.Running();
    if (GetTickCount() >= nextMinute) {
      if (!Settle(monkey, console)) {
        printf("the console could not be brought back to its information page:");
        for (HWND w : ProcessTopWindows(console.Pid())) {
          char cls[64] = {};
          GetClassNameA(w, cls, sizeof cls);
          RECT r = {};
          GetWindowRect(w, &r);
          printf(" %s \"%s\"%s%s [%ld,%ld %ldx%ld]", cls, WindowText(w).c_str(), IsWindowVisible(w) ? "" : " (hidden)",
                 IsWindowEnabled(w) ? "" : " (disabled)", r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
        printf("; info page %s\n", console.Find("FWInfoFrame").showing ? "shown" : "not shown");
      }
      samples.push_back({Seconds(begin) / 60, report("minute")});
      nextMinute += 60000;
    }
    WaitUntil([] { return false; }, 60);  // the user's pace, and this thread's messages
  }

  // No more traffic: every question still open is answered, then the console is closed with
  // its close label.
  const DWORD drain = GetTickCount();
  for (;;) {
    auto status = traffic.Status();
    if (!console.Running() || (status["verdicts"] >= traffic.asks && status["queued"] == 0) ||
        GetTickCount() - drain > 60000)
      break;
    monkey.Step(console.MainWindow(), true);
    WaitUntil([] { return false; }, 60);
  }
  Settle(monkey, console);
  CFigures last = report("end");
  alive = alive && last.alive;
  auto status = traffic.Status();
  const int unanswered = static_cast<int>(traffic.asks - status["verdicts"]);
  DWORD code = 1;
  for (DWORD start = GetTickCount(); console.Running() && GetTickCount() - start < 30000;) {
    CControlInfo close = console.Find("Label13");
    if (close.showing && IsWindowEnabled(console.MainWindow())) ClickControl(close);
    for (int i = 0; i < 20 && console.Running(); ++i) {
      monkey.Step(console.MainWindow(), true);  // a question on closing, a prompt still open
      WaitUntil([&] { return !console.Running(); }, 150);
    }
  }
  const bool closed = console.WaitExit(&code, 5000);

  printf("\nevents injected   %u questions (from events and packets), %u rule hits, %u log events, %u packets; "
         "%u rows added, %u removed; %u commands refused\n",
         traffic.asks, traffic.ruleHits, traffic.logs, traffic.packets, traffic.added, traffic.removed, traffic.refused);
  printf("events answered   %u verdicts; %d questions unanswered; %u events left in the driver's queue\n",
         status["verdicts"], unanswered, status["queued"]);
  printf("console           %s; longest time the window did not answer %.0f ms; ended by its close label: %s (exit code %lu)\n",
         alive ? "alive to the end" : "DIED OR STOPPED ANSWERING", longestStall, closed ? "yes" : "no",
         static_cast<unsigned long>(code));
  printf("monkey            %u actions, %u boxes and file dialogs answered, %u dialogs closed, %u prompts answered, "
         "%u menus answered; the longest a modal window stayed open %.1f s\n",
         monkey.actions, monkey.boxesAnswered, monkey.dialogsClosed, monkey.promptsAnswered, monkey.menusAnswered,
         monkey.longestModal);
  for (const auto& box : monkey.boxTexts) printf("  box x%-4d %s\n", box.second, box.first.c_str());
  if (!meter.GuiKnown())
    puts("USER and GDI      GetGuiResources answered 0 (not implemented here): the windows count stands in");
  printf("private bytes     from %s\n", meter.MemorySource());
  bool flat = true;
  if (samples.size() >= 2) {
    // The log page keeps the newest of the user's log up to its ceiling (4 MB), so its text
    // grows with the traffic until then: the memory judged is the rest, the whole is shown.
    struct {
      const char* name;
      SIZE_T (*value)(const CFigures&);
      bool judged;
    } figures[] = {{"USER objects", [](const CFigures& f) -> SIZE_T { return f.user; }, true},
                   {"GDI objects", [](const CFigures& f) -> SIZE_T { return f.gdi; }, true},
                   {"windows", [](const CFigures& f) -> SIZE_T { return static_cast<SIZE_T>(f.windows); }, true},
                   {"private KB", [](const CFigures& f) -> SIZE_T { return f.privateBytes / 1024; }, false},
                   {"  less log page", [](const CFigures& f) -> SIZE_T {
                      return f.privateBytes > f.logText ? (f.privateBytes - f.logText) / 1024 : 0;
                    }, true}};
    for (const auto& figure : figures) {
      SIZE_T low = figure.value(samples[0].f), high = low;
      for (const CSample& s : samples) {
        low = std::min(low, figure.value(s.f));
        high = std::max(high, figure.value(s.f));
      }
      const double drift = Drift(samples, figure.value);
      if (low == 0 && high == 0) continue;
      printf("%-17s minute 1: %lu, after it %lu to %lu, at most %.1f %% from minute 1%s\n", figure.name,
             static_cast<unsigned long>(figure.value(samples[0].f)), static_cast<unsigned long>(low),
             static_cast<unsigned long>(high), drift, figure.judged ? "" : " (not judged)");
      flat = flat && (!figure.judged || drift <= 5.0);
    }
  } else {
    flat = false;
    puts("flatness          not compared: the run is too short (two minutes at least)");
  }
  const bool good = alive && unanswered == 0 && status["queued"] == 0 && flat;
  printf("result            %s\n", good ? "good: nothing unanswered, the console alive, the figures flat"
                                        : "FAULT: see the lines above");
  console.Kill();
  StopService(kConsoleService);
  return good ? 0 : 1;
}
