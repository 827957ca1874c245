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

// The look-up blocks this thread until the resolver answers; the pointer says so meanwhile.
class CWaitCursor {
 public:
  CWaitCursor() : old_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
  ~CWaitCursor() { SetCursor(old_); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR old_;
};

bool SystemLookup(const char* name, std::vector<uint32_t>& addresses) {
  EnsureWinSock();
  CWaitCursor wait;
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

bool LookUp(const char* name, std::vector<uint32_t>& addresses) {
  addresses.clear();
  bool found = g_lookup != nullptr ? g_lookup(g_lookupContext, name, addresses) : SystemLookup(name, addresses);
  if (!found) addresses.clear();
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
