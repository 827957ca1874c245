#include "ui/addrentry/addrentry.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "ui/framework/listbox.h"

namespace {
HostLookup g_lookup = nullptr;
void* g_lookupContext = nullptr;

// WinSock is started by the program's start-up check; a window used on its own (a test)
// starts it here once and keeps it for the rest of the run.
void EnsureWinSock() {
  static bool started = false;
  if (started) return;
  WSADATA data;
  started = WSAStartup(0x0202, &data) == 0;
}

// The pointer says that a look-up is under way.
class CWaitCursor {
 public:
  CWaitCursor() : old_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
  ~CWaitCursor() { SetCursor(old_); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR old_;
};

bool SystemLookup(void*, const char* name, std::vector<uint32_t>& addresses) {
  const hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr)
    return false;
  for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
    uint32_t address;
    memcpy(&address, *entry, 4);
    addresses.push_back(address);
  }
  return !addresses.empty();
}

// The longest a dialog waits for the resolver.
constexpr DWORD kLookupLimitMs = 5000;

// One look-up, shared by the window thread and the worker that runs it; whichever lets go of
// it last frees it, so a look-up given up on can still finish on its own.
struct CLookupJob {
  volatile LONG refs = 2;
  HostLookup lookup;
  void* context;
  std::string name;
  std::vector<uint32_t> addresses;
  bool found = false;
};

void LetGo(CLookupJob* job) {
  if (InterlockedDecrement(&job->refs) == 0) delete job;
}

DWORD WINAPI LookupThread(void* parameter) {
  auto* job = static_cast<CLookupJob*>(parameter);
  try {
    job->found = job->lookup(job->context, job->name.c_str(), job->addresses);
  } catch (...) {
    job->found = false;
  }
  LetGo(job);
  return 0;
}

// Waits for `thread` while this thread's messages keep flowing (timers, painting, what other
// windows are posted), so the console keeps polling its driver. Keys and clicks wait in the
// queue for the look-up's end, so nothing starts a second one and nothing typed ahead is lost;
// only an Esc pressed since the wait began is taken, and gives up, as does the time limit.
// True when the thread ended.
bool WaitAnswering(HANDLE thread) {
  // The messages that are not input, by range.
  static const UINT kOthers[][2] = {{0, WM_NCMOUSEMOVE - 1},
                                    {WM_NCMBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
                                    {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
                                    {WM_MOUSELAST + 1, 0xFFFFFFFF}};
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD waited = GetTickCount() - start;
    if (waited >= kLookupLimitMs) return false;
    // Input left in the queue is not new: look again soon rather than wait for more.
    DWORD slice = kLookupLimitMs - waited < 50 ? kLookupLimitMs - waited : 50;
    DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, slice, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_FAILED) return false;
    MSG msg;
    if (PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_ESCAPE &&
        static_cast<LONG>(msg.time - start) > 0) {
      PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
      return false;
    }
    for (const auto& range : kOthers)
      while (PeekMessageA(&msg, nullptr, range[0], range[1], PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));
          return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
  }
}

bool LookUp(const char* name, std::vector<uint32_t>& addresses) {
  addresses.clear();
  EnsureWinSock();
  auto* job = new CLookupJob;
  job->lookup = g_lookup != nullptr ? g_lookup : SystemLookup;
  job->context = g_lookup != nullptr ? g_lookupContext : nullptr;
  job->name = name;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, LookupThread, job, 0, &id);
  if (thread == nullptr) {
    // No thread to spare: the look-up runs here, as it must.
    job->found = job->lookup(job->context, name, job->addresses);
    InterlockedDecrement(&job->refs);
  } else {
    CWaitCursor wait;
    bool ended = WaitAnswering(thread);
    CloseHandle(thread);
    if (!ended) {
      LetGo(job);  // the worker frees it when the resolver answers at last
      return false;
    }
  }
  if (job->found) addresses = job->addresses;
  LetGo(job);
  return !addresses.empty();
}
}  // namespace

void SetHostLookup(HostLookup lookup, void* context) {
  g_lookup = lookup;
  g_lookupContext = context;
}

int AddListItem(CListBox* list, const char* text, uint32_t value) {
  if (list == nullptr || list->IndexOfValue(value) >= 0) return -1;
  return list->AddItem(text, value);
}

std::string DottedAddress(uint32_t networkOrder) {
  char text[16];
  snprintf(text, sizeof text, "%u.%u.%u.%u", networkOrder & 0xFF, (networkOrder >> 8) & 0xFF,
           (networkOrder >> 16) & 0xFF, networkOrder >> 24);
  return text;
}

bool ParseDottedAddress(const char* text, uint32_t* networkOrder) {
  if (text == nullptr) return false;
  uint32_t address = 0;
  const char* p = text;
  for (int field = 0; field < 4; ++field) {
    if (field > 0 && *p++ != '.') return false;
    if (*p < '0' || *p > '9') return false;
    uint32_t value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint32_t>(*p++ - '0');
      if (++digits > 3 || value > 255) return false;
    }
    address |= value << (8 * field);
  }
  if (*p != 0) return false;
  if (networkOrder != nullptr) *networkOrder = address;
  return true;
}

bool ResolveOne(const char* text, uint32_t* networkOrder) {
  std::vector<uint32_t> addresses;
  if (ResolveAll(text, addresses) == 0) return false;
  if (networkOrder != nullptr) *networkOrder = addresses[0];
  return true;
}

std::string TrimBlanks(const char* text) {
  if (text == nullptr) return std::string();
  const char* first = text;
  while (*first == ' ' || *first == '\t') ++first;
  const char* last = first + strlen(first);
  while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
  return std::string(first, last);
}

bool LooksDotted(const char* text) {
  if (text == nullptr || *text == 0) return false;
  for (const char* p = text; *p != 0; ++p)
    if ((*p < '0' || *p > '9') && *p != '.') return false;
  return true;
}

uint32_t ResolveAll(const char* typed, std::vector<uint32_t>& addresses) {
  addresses.clear();
  std::string text = TrimBlanks(typed);
  if (text.empty()) return 0;
  uint32_t address;
  if (ParseDottedAddress(text.c_str(), &address)) {
    addresses.push_back(address);
    return 1;
  }
  // A typo in an address must not become whatever a resolver answers for it.
  if (LooksDotted(text.c_str())) return 0;
  if (!LookUp(text.c_str(), addresses)) return 0;
  if (addresses.size() > kMaxResolvedAddresses) addresses.resize(kMaxResolvedAddresses);
  return static_cast<uint32_t>(addresses.size());
}

bool ContiguousMask(uint32_t hostOrderMask) {
  uint32_t hostBits = ~hostOrderMask;
  return (hostBits & (hostBits + 1)) == 0;
}

std::vector<uint32_t> LocalHostAddresses() {
  std::vector<uint32_t> addresses;
  EnsureWinSock();
  char name[1024] = {};
  if (gethostname(name, sizeof name) != 0 || name[0] == 0) return addresses;
  LookUp(name, addresses);
  return addresses;
}
