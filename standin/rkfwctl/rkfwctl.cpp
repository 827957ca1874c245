#include "standin/rkfwctl/rkfwctl.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/device.h"
#include "platform/file.h"
#include "rules/records.h"
#include "standin/core/standin.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr uint32_t kShareWrite = 0x00000002u;  // FILE_SHARE_WRITE

// ---- reading arguments ----

bool ParseNumber(const std::string& text, uint64_t* value) {
  return ParseNumberText(text.c_str(), UINT64_MAX, value);
}

bool ParseU32(const std::string& text, uint32_t* value) {
  uint64_t v;
  if (!ParseNumberText(text.c_str(), 0xFFFFFFFFu, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

// "a.b.c.d" or "a.b.c.d:port"; the address in memory order (first octet lowest), the port in
// network order.
bool ParseEndpoint(const std::string& text, uint32_t* address, uint16_t* port) {
  unsigned a, b, c, d, p = 0;
  char tail = 0;
  int n = sscanf(text.c_str(), "%u.%u.%u.%u:%u%c", &a, &b, &c, &d, &p, &tail);
  if (n == 4 && text.find(':') != std::string::npos) return false;
  if (n != 4 && n != 5) return false;
  if (a > 255 || b > 255 || c > 255 || d > 255 || p > 65535) return false;
  *address = a | (b << 8) | (c << 16) | (d << 24);
  *port = HostToNet16(static_cast<uint16_t>(p));
  return true;
}

struct CName {
  const char* name;
  uint32_t value;
};

bool ParseNamed(const std::string& text, const CName* names, size_t count, uint32_t* value) {
  for (size_t i = 0; i < count; ++i)
    if (text == names[i].name) {
      *value = names[i].value;
      return true;
    }
  return ParseU32(text, value);
}

const char* NameOf(const CName* names, size_t count, uint32_t value) {
  for (size_t i = 0; i < count; ++i)
    if (names[i].value == value) return names[i].name;
  return nullptr;
}

#define COUNT_OF(a) (sizeof(a) / sizeof((a)[0]))

const CName kOperations[] = {{"receive", 1}, {"recv", 1}, {"send", 2}, {"connect", 4},
                             {"accept", 8},  {"serve", 16}, {"listen", 16}};
const CName kActions[] = {{"permit", 0}, {"block", 1}, {"intercept", 1}, {"notify", 2}, {"ignore", 3}};
const CName kRuleProtocols[] = {{"ip", 0}, {"icmp", 1}, {"igmp", 2}, {"tcp", 3}, {"udp", 4}};
const CName kAppProtocols[] = {{"ip", 0}, {"tcp", 1}, {"udp", 2}};
const CName kStates[] = {{"closed", 0},   {"listen", 1},     {"syn-sent", 2},   {"syn-received", 3},
                         {"established", 4}, {"fin-wait-1", 5}, {"fin-wait-2", 6}, {"close-wait", 7},
                         {"closing", 8},  {"last-ack", 9},    {"time-wait", 10}, {"delete-tcb", 11}};
const CName kKinds[] = {{"rule", RKFW_EVENT_SYSTEM}, {"ask", RKFW_EVENT_APP_ASK}, {"log", RKFW_EVENT_APP_LOG}};
const CName kFaultModes[] = {{"none", STANDIN_FAULT_NONE}, {"short", STANDIN_FAULT_SHORT},
                             {"fail", STANDIN_FAULT_FAIL}, {"claim", STANDIN_FAULT_CLAIM},
                             {"fill", STANDIN_FAULT_FILL}};
const CName kCodes[] = {{"stats", IOCTL_RKFW_GET_TRAFFIC_STATS},
                        {"version", IOCTL_RKFW_GET_VERSION},
                        {"counts", IOCTL_RKFW_GET_CONNECTION_COUNTS},
                        {"connections", IOCTL_RKFW_GET_CONNECTIONS},
                        {"path", IOCTL_RKFW_GET_PROCESS_PATH},
                        {"get-enabled", IOCTL_RKFW_GET_ENABLED},
                        {"set-enabled", IOCTL_RKFW_SET_ENABLED},
                        {"ip-rules", IOCTL_RKFW_LOAD_IP_RULES},
                        {"audit-rules", IOCTL_RKFW_LOAD_AUDIT_RULES},
                        {"events", IOCTL_RKFW_READ_EVENTS},
                        {"verdict", IOCTL_RKFW_SEND_VERDICT},
                        {"close", IOCTL_RKFW_CLOSE_CONNECTION}};

// key=value arguments of one command, each allowed key named up front.
class CArguments {
 public:
  CArguments(const std::vector<std::string>& words, size_t first) {
    for (size_t i = first; i < words.size(); ++i) {
      size_t eq = words[i].find('=');
      if (eq == std::string::npos)
        pairs_.push_back({words[i], std::string(), false});
      else
        pairs_.push_back({words[i].substr(0, eq), words[i].substr(eq + 1), true});
    }
  }
  // Every key must be one of `known` (a blank-separated list); flags are keys without '='.
  bool Check(const char* known, std::string& err) const {
    for (const Pair& p : pairs_) {
      std::string padded = std::string(" ") + known + " ";
      if (padded.find(" " + p.key + " ") == std::string::npos) {
        err += "unknown argument '" + p.key + "'\n";
        return false;
      }
    }
    return true;
  }
  const std::string* Get(const char* key) const {
    for (const Pair& p : pairs_)
      if (p.key == key) return &p.value;
    return nullptr;
  }
  bool Has(const char* key) const { return Get(key) != nullptr; }

 private:
  struct Pair {
    std::string key, value;
    bool hasValue;
  };
  std::vector<Pair> pairs_;
};

// ---- describing what the driver holds ----

void AppendQuoted(std::string& out, const char* text, size_t limit) {
  out += '"';
  for (size_t i = 0; i < limit && text[i] != 0; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"')
      out += "\\\"";
    else if (c < 0x20 || c == 0x7F)
      AppendFormat(out, "\\x%02X", c);
    else
      out += static_cast<char>(c);
  }
  out += '"';
}

void AppendAddress(std::string& out, uint32_t a) {
  AppendFormat(out, "%u.%u.%u.%u", a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF, a >> 24);
}

void AppendElement(std::string& out, uint32_t v, bool port) {
  if (port)
    AppendFormat(out, "%u", NetToHost16(static_cast<uint16_t>(v)));
  else
    AppendAddress(out, v);
}

// A match value of a checked image: any, one value, first-last, or list(a,b,...).
void AppendMatch(std::string& out, const char* field, const uint8_t* value, const uint8_t* extra,
                 bool port) {
  uint8_t kind = value[0];
  uint32_t v1 = LoadLe32(value + 1), v2 = LoadLe32(value + 5);
  AppendFormat(out, " %s=", field);
  if (kind == MATCH_SINGLE) {
    if (v1 == 0)
      out += "any";
    else
      AppendElement(out, v1, port);
  } else if (kind == MATCH_RANGE) {
    AppendElement(out, v2, port);
    out += '-';
    AppendElement(out, v1, port);
  } else {
    out += "list(";
    for (uint32_t i = 0; i < v1; ++i) {
      if (i != 0) out += ',';
      AppendElement(out, LoadLe32(extra + v2 + 4 * i), port);
    }
    out += ')';
  }
}

const char* ProtocolName(uint32_t protocol) {
  const char* name = NameOf(kRuleProtocols, COUNT_OF(kRuleProtocols), protocol);
  return name ? name : "?";
}

const char* ActionName(uint32_t action) {
  switch (action) {
    case 0: return "permit";
    case 1: return "block";
    case 2: return "notify";
    case 3: return "ignore";
    default: return nullptr;
  }
}

void AppendAction(std::string& out, const char* field, uint32_t action) {
  const char* name = ActionName(action);
  if (name)
    AppendFormat(out, " %s=%s", field, name);
  else
    AppendFormat(out, " %s=%u", field, action);
}

}  // namespace

std::string DescribeIpImage(const uint8_t* image, uint32_t size) {
  std::string out;
  if (!RkfwIpImageValid(image, size)) {
    AppendFormat(out, "ip-image malformed size=%u\n", size);
    return out;
  }
  static const uint32_t kSlots[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP,
                                     IP_IMAGE_SLOT_TCP, IP_IMAGE_SLOT_UDP};
  const uint8_t* body = image + IP_IMAGE_HEADER_SIZE;
  const uint8_t* extra = body + LoadLe32(image + IP_IMAGE_EXTRA_OFFSET_AT);
  uint32_t total = 0;
  for (uint32_t group = 0; group < 5; ++group) total += LoadLe32(body + LoadLe32(image + kSlots[group]));
  AppendFormat(out, "ip-image size=%u rules=%u extra=%u\n", size, total, LoadLe32(image + IP_IMAGE_EXTRA_SIZE_AT));
  for (uint32_t group = 0; group < 5; ++group) {
    const uint8_t* at = body + LoadLe32(image + kSlots[group]);
    uint32_t count = LoadLe32(at);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = at + 4 + i * IP_IMAGE_ENTRY_SIZE;
      AppendFormat(out, "rule %s id=%u", ProtocolName(group), LoadLe32(e + IP_IMAGE_ENTRY_AT(RuleId)));
      AppendAction(out, "action", LoadLe32(e + IP_IMAGE_ENTRY_AT(Action)));
      AppendFormat(out, " conditions=0x%02X options=0x%02X", LoadLe32(e + IP_IMAGE_ENTRY_AT(Conditions)), LoadLe32(e + IP_IMAGE_ENTRY_AT(Options)));
      if (LoadLe32(e + IP_IMAGE_ENTRY_AT(Protocol)) != group)
        AppendFormat(out, " protocol=%u", LoadLe32(e + IP_IMAGE_ENTRY_AT(Protocol)));
      switch (group) {
        case RULE_PROTO_IP:
          AppendMatch(out, "local", e + IP_IMAGE_ENTRY_AT(LocalAddr), extra, false);
          AppendMatch(out, "remote", e + IP_IMAGE_ENTRY_AT(IpRemoteAddr), extra, false);
          break;
        case RULE_PROTO_ICMP:
          AppendMatch(out, "local", e + IP_IMAGE_ENTRY_AT(LocalAddr), extra, false);
          AppendMatch(out, "remote", e + IP_IMAGE_ENTRY_AT(IpRemoteAddr), extra, false);
          AppendFormat(out, " icmp-types=0x%08X icmp-codes=0x%08X", LoadLe32(e + IP_IMAGE_ENTRY_AT(IcmpTypeMask)),
                       LoadLe32(e + IP_IMAGE_ENTRY_AT(IcmpCodeMask)));
          break;
        case RULE_PROTO_IGMP:
          break;
        default:
          AppendMatch(out, "local", e + IP_IMAGE_ENTRY_AT(LocalAddr), extra, false);
          AppendMatch(out, "local-port", e + IP_IMAGE_ENTRY_AT(LocalPort), extra, true);
          AppendMatch(out, "remote", e + IP_IMAGE_ENTRY_AT(RemoteAddr), extra, false);
          AppendMatch(out, "remote-port", e + IP_IMAGE_ENTRY_AT(RemotePort), extra, true);
          break;
      }
      out += " app=";
      AppendQuoted(out, reinterpret_cast<const char*>(e + IP_IMAGE_ENTRY_AT(Application)), RULE_APPLICATION_SIZE);
      out += '\n';
    }
  }
  return out;
}

std::string DescribeAuditImage(const uint8_t* image, uint32_t size) {
  std::string out;
  if (!RkfwAuditImageValid(image, size)) {
    AppendFormat(out, "audit-image malformed size=%u\n", size);
    return out;
  }
  uint32_t count = LoadLe32(image + AUDIT_BODY_COUNT_AT);
  const uint8_t* records = image + AUDIT_BODY_HEADER_SIZE + LoadLe32(image + AUDIT_BODY_RECORDS_AT);
  const uint8_t* extra = image + AUDIT_BODY_HEADER_SIZE + LoadLe32(image + AUDIT_BODY_EXTRA_AT);
  AppendFormat(out, "audit-image size=%u rules=%u extra=%u\n", size, count, LoadLe32(image + AUDIT_BODY_EXTRA_SIZE_AT));
  static const struct {
    const char* name;
    uint32_t at;
    bool port;
  } kValues[10] = {{"ip-local", AUDIT_BODY_RECORD_AT(IpLocalAddr), false},
                   {"ip-remote", AUDIT_BODY_RECORD_AT(IpRemoteAddr), false},
                   {"tcp-local", AUDIT_BODY_RECORD_AT(TcpLocalAddr), false},
                   {"tcp-local-port", AUDIT_BODY_RECORD_AT(TcpLocalPort), true},
                   {"tcp-remote", AUDIT_BODY_RECORD_AT(TcpRemoteAddr), false},
                   {"tcp-remote-port", AUDIT_BODY_RECORD_AT(TcpRemotePort), true},
                   {"udp-local", AUDIT_BODY_RECORD_AT(UdpLocalAddr), false},
                   {"udp-local-port", AUDIT_BODY_RECORD_AT(UdpLocalPort), true},
                   {"udp-remote", AUDIT_BODY_RECORD_AT(UdpRemoteAddr), false},
                   {"udp-remote-port", AUDIT_BODY_RECORD_AT(UdpRemotePort), true}};
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* r = records + i * AUDIT_BODY_RECORD_SIZE;
    uint32_t access = LoadLe32(r + AUDIT_BODY_RECORD_AT(Access));
    AppendFormat(out, "audit id=%u path=", LoadLe32(r + AUDIT_BODY_RECORD_AT(RuleId)));
    AppendQuoted(out, reinterpret_cast<const char*>(extra + LoadLe32(r + AUDIT_BODY_RECORD_AT(AppPath))), 0xFFFFFFFFu);
    AppendAction(out, "match", LoadLe32(r + AUDIT_BODY_RECORD_AT(MatchAction)));
    AppendAction(out, "miss", LoadLe32(r + AUDIT_BODY_RECORD_AT(MissAction)));
    const char* decision = "none";
    if (access & AUDIT_ACCESS_DETAILED)
      decision = "detailed";
    else if ((access & AUDIT_DECISION_MASK) == AUDIT_DECISION_PERMIT)
      decision = "permit";
    else if ((access & AUDIT_DECISION_MASK) == AUDIT_DECISION_NOTIFY)
      decision = "notify";
    else if ((access & AUDIT_DECISION_MASK) == AUDIT_DECISION_BLOCK)
      decision = "block";
    AppendFormat(out, " access=0x%02X decision=%s ip-ops=0x%02X", access, decision,
                 LoadLe32(r + AUDIT_BODY_RECORD_AT(IpOps)));
    for (int v = 0; v < 10; ++v) {
      if (v == 2) AppendFormat(out, " tcp-ops=0x%02X", LoadLe32(r + AUDIT_BODY_RECORD_AT(TcpOps)));
      if (v == 6) AppendFormat(out, " udp-ops=0x%02X", LoadLe32(r + AUDIT_BODY_RECORD_AT(UdpOps)));
      AppendMatch(out, kValues[v].name, r + kValues[v].at, extra, kValues[v].port);
    }
    out += '\n';
  }
  return out;
}

std::vector<std::string> SplitRkfwctlLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (quoted) {
      if (c == '"')
        quoted = false;
      else
        word += c;
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == '#') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

struct CRkfwctl::CImpl {
  std::string deviceName;
  DeviceHandle device = kInvalidDevice;
  int depth = 0;
};

CRkfwctl::CRkfwctl(const char* deviceName) : impl_(new CImpl) {
  impl_->deviceName = deviceName ? deviceName : RKFW_NT_DEVICE_NAME;
}

CRkfwctl::~CRkfwctl() {
#ifdef _WIN32
  if (impl_->device != kInvalidDevice) CloseHandle(reinterpret_cast<HANDLE>(impl_->device));
#endif
  delete impl_;
}

namespace {

class CCommand {
 public:
  CCommand(std::string& out, std::string& err, std::string& deviceName, DeviceHandle& device, int& depth)
      : out_(out), err_(err), deviceName_(deviceName), device_(device), depth_(depth) {}

  int Run(const std::vector<std::string>& w);

 private:
  int Usage(const char* message) {
    err_ += message;
    err_ += '\n';
    return kRkfwctlUsage;
  }
  bool Open() {
    if (device_ == kInvalidDevice)
      // Read access and sharing both ways: the console keeps its own read/write handle open
      // beside this one, and the codes need no more than any access.
      device_ = DeviceOpen(deviceName_.c_str(), kDeviceRead, kDeviceShareRead | kShareWrite, 0);
    if (device_ == kInvalidDevice) err_ += "the stand-in driver " + deviceName_ + " is not running\n";
    return device_ != kInvalidDevice;
  }
  // One request; false (with a message) when the device is absent or refuses.
  bool Ask(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
           uint32_t* returned = nullptr) {
    if (!Open()) return false;
    uint32_t got = 0;
    if (!DeviceControl(device_, code, in, inSize, out, outSize, &got)) {
      AppendFormat(err_, "the driver refused request 0x%06X\n", code);
      return false;
    }
    if (returned) *returned = got;
    return true;
  }
  int Simple(uint32_t code, const void* in, uint32_t inSize) {
    return Ask(code, in, inSize, nullptr, 0) ? kRkfwctlOk : kRkfwctlFailed;
  }
  bool Status(STANDIN_STATUS* status) {
    uint32_t got = 0;
    memset(status, 0, sizeof(*status));
    return Ask(IOCTL_STANDIN_GET_STATUS, nullptr, 0, status, sizeof(*status), &got) && got == sizeof(*status);
  }
  // Reads an argument of the event or row under construction; false after a usage message.
  bool Number(const CArguments& a, const char* key, uint32_t* value) {
    const std::string* text = a.Get(key);
    if (text == nullptr) return true;
    if (ParseU32(*text, value)) return true;
    err_ += std::string("bad number in ") + key + "=" + *text + "\n";
    return false;
  }
  bool Named(const CArguments& a, const char* key, const CName* names, size_t count, uint32_t* value) {
    const std::string* text = a.Get(key);
    if (text == nullptr) return true;
    if (ParseNamed(*text, names, count, value)) return true;
    err_ += std::string("bad value in ") + key + "=" + *text + "\n";
    return false;
  }
  bool Endpoint(const CArguments& a, const char* key, uint32_t* address, uint16_t* port) {
    const std::string* text = a.Get(key);
    if (text == nullptr) return true;
    if (ParseEndpoint(*text, address, port)) return true;
    err_ += std::string("bad endpoint in ") + key + "=" + *text + " (a.b.c.d:port)\n";
    return false;
  }
  bool SetPath(uint32_t key, const std::string& path) {
    std::vector<uint8_t> in(4 + path.size());
    memcpy(in.data(), &key, 4);
    memcpy(in.data() + 4, path.data(), path.size());
    return Ask(IOCTL_STANDIN_SET_PATH, in.data(), static_cast<uint32_t>(in.size()), nullptr, 0);
  }
  static void ProcessName(const CArguments& a, char (&name)[RKFW_PROCESS_NAME_SIZE]) {
    std::string text;
    if (const std::string* n = a.Get("name"))
      text = *n;
    else if (const std::string* p = a.Get("path"))
      text = p->substr(p->find_last_of("\\/") == std::string::npos ? 0 : p->find_last_of("\\/") + 1);
    memset(name, 0, sizeof(name));
    memcpy(name, text.data(), text.size() < sizeof(name) - 1 ? text.size() : sizeof(name) - 1);
  }

  int Event(const std::vector<std::string>& w);
  int Packet(const std::vector<std::string>& w);
  int Connection(const std::vector<std::string>& w);
  int Traffic(const std::vector<std::string>& w);
  int Fault(const std::vector<std::string>& w);
  int PrintStatus();
  int PrintImage(bool audit);
  int PrintVerdicts(const std::vector<std::string>& w);
  int PrintConnections();
  int Wait(const std::vector<std::string>& w, bool verdicts);
  int Play(const std::vector<std::string>& w);
  int Service(const std::vector<std::string>& w, bool start);

  std::string& out_;
  std::string& err_;
  std::string& deviceName_;
  DeviceHandle& device_;
  int& depth_;
};

int CCommand::Event(const std::vector<std::string>& w) {
  uint32_t kind;
  if (w.size() < 2 || !ParseNamed(w[1], kKinds, COUNT_OF(kKinds), &kind) || kind < 1 || kind > 3)
    return Usage("event ask|log|rule [key=value ...]");
  CArguments a(w, 2);
  bool app = kind != RKFW_EVENT_SYSTEM;
  if (!a.Check(app ? "time flags audit count rule op action path name pid key proto local remote byid"
                   : "time flags audit count rule op action proto local remote",
               err_))
    return kRkfwctlUsage;
  _REPORT_EVENT_HEAD e;
  memset(&e, 0, sizeof(e));
  e.Kind = kind;
  e.DataSize = sizeof(e.Body);
  uint64_t now = GetUtcFileTime(), local = now;
  e.Time = UtcToLocalFileTime(now, &local) ? local : now;
  if (const std::string* t = a.Get("time")) {
    uint64_t v;
    if (!ParseNumber(*t, &v)) return Usage("bad number in time=");
    e.Time = v;
  }
  uint32_t count = 1, flags = 0, rule = 0, op = 1, action = 0, protocol = 0;
  uint32_t localAddress = 0, remoteAddress = 0;
  uint16_t localPort = 0, remotePort = 0;
  if (!Number(a, "count", &count) || !Number(a, "flags", &flags) || !Number(a, "rule", &rule) ||
      !Named(a, "op", kOperations, COUNT_OF(kOperations), &op) ||
      !Named(a, "action", kActions, COUNT_OF(kActions), &action) ||
      !Named(a, "proto", app ? kAppProtocols : kRuleProtocols,
             app ? COUNT_OF(kAppProtocols) : COUNT_OF(kRuleProtocols), &protocol) ||
      !Endpoint(a, "local", &localAddress, &localPort) || !Endpoint(a, "remote", &remoteAddress, &remotePort))
    return kRkfwctlUsage;
  if (a.Has("audit")) flags |= RKFW_EVENT_FLAG_AUDIT;
  if (count == 0 || count > STANDIN_MAX_EVENTS) return Usage("count= runs from 1 to 256");
  if (app) {
    _RKFW_APP_EVENT& b = e.Body.App;
    uint32_t pid = 0, key = 0;
    if (!Number(a, "pid", &pid) || !Number(a, "key", &key)) return kRkfwctlUsage;
    if (!a.Has("key")) key = pid;
    b.RuleId = rule;
    b.Operation = op;
    b.Action = action;
    b.Flags = flags;
    ProcessName(a, b.ProcessName);
    b.NameSource = a.Has("byid") ? 1 : 0;
    b.ProcessId = pid;
    b.LocalAddress = localAddress;
    b.RemoteAddress = remoteAddress;
    b.LocalPort = localPort;
    b.RemotePort = remotePort;
    b.Protocol = protocol;
    b.DriverKey = key;
    if (const std::string* path = a.Get("path"))
      if (!SetPath(key, *path)) return kRkfwctlFailed;
  } else {
    _RKFW_SYSTEM_EVENT& b = e.Body.System;
    b.Protocol = protocol;
    b.Action = action;
    b.Operation = op;
    b.Flags = flags;
    b.RuleId = rule;
    b.LocalAddress = localAddress;
    if (protocol == RULE_PROTO_TCP || protocol == RULE_PROTO_UDP) {
      memcpy(b.Endpoints, &localPort, 2);
      memcpy(b.Endpoints + 2, &remoteAddress, 4);
      memcpy(b.Endpoints + 6, &remotePort, 2);
    } else {
      memcpy(b.Endpoints, &remoteAddress, 4);
    }
  }
  std::vector<_REPORT_EVENT_HEAD> events(count, e);
  return Simple(IOCTL_STANDIN_INJECT_EVENT, events.data(), count * RKFW_EVENT_SIZE);
}

// One packet through the loaded rules. A packet the console is asked about is held by the
// driver; this waits (wait=MS, default 30 s) for the console's verdict.
int CCommand::Packet(const std::vector<std::string>& w) {
  CArguments a(w, 1);
  if (!a.Check("proto dir local remote syn type code service pid key path name byid time wait", err_))
    return kRkfwctlUsage;
  STANDIN_PACKET p;
  memset(&p, 0, sizeof(p));
  uint32_t protocol = 0, type = 0, code = 0, pid = 0, key = 0, wait = 30000;
  const std::string* direction = a.Get("dir");
  if (!a.Has("proto") || direction == nullptr || (*direction != "in" && *direction != "out"))
    return Usage("packet proto=ip|icmp|igmp|tcp|udp dir=in|out [local= remote= syn type= code= service ...]");
  if (!Named(a, "proto", kRuleProtocols, COUNT_OF(kRuleProtocols), &protocol) || protocol > RULE_PROTO_UDP ||
      !Endpoint(a, "local", &p.LocalAddress, &p.LocalPort) || !Endpoint(a, "remote", &p.RemoteAddress, &p.RemotePort) ||
      !Number(a, "type", &type) || !Number(a, "code", &code) || !Number(a, "pid", &pid) ||
      !Number(a, "key", &key) || !Number(a, "wait", &wait))
    return kRkfwctlUsage;
  bool in = *direction == "in";
  if (a.Has("syn") && protocol != RULE_PROTO_TCP) return Usage("syn is a TCP connection request");
  if (a.Has("service") && (protocol != RULE_PROTO_UDP || !in))
    return Usage("service is a UDP datagram coming to a served port (dir=in)");
  if ((a.Has("type") || a.Has("code")) && protocol != RULE_PROTO_ICMP) return Usage("type= and code= are ICMP's");
  if (type > 255 || code > 255) return Usage("type= and code= run from 0 to 255");
  p.Protocol = protocol;
  p.Operation = a.Has("syn") ? (in ? RULE_COND_CONNECT_REQUEST : RULE_COND_CONNECT)
                : a.Has("service") ? RULE_COND_SERVICE
                : in ? RULE_COND_RECEIVE : RULE_COND_SEND;
  p.IcmpType = static_cast<uint8_t>(type);
  p.IcmpCode = static_cast<uint8_t>(code);
  uint64_t now = GetUtcFileTime(), local = now;
  p.Time = UtcToLocalFileTime(now, &local) ? local : now;
  if (const std::string* t = a.Get("time"))
    if (!ParseNumber(*t, &p.Time)) return Usage("bad number in time=");
  if (a.Has("pid") || a.Has("key") || a.Has("path") || a.Has("name")) {
    p.Flags |= STANDIN_PACKET_OF_PROCESS;
    p.ProcessId = pid;
    p.DriverKey = a.Has("key") ? key : pid;
    p.NameSource = a.Has("byid") ? 1 : 0;
    ProcessName(a, p.ProcessName);
    if (const std::string* path = a.Get("path"))
      if (!SetPath(p.DriverKey, *path)) return kRkfwctlFailed;
  }
  STANDIN_PACKET_RESULT r;
  uint32_t got = 0;
  if (!Ask(IOCTL_STANDIN_PACKET, &p, sizeof(p), &r, sizeof(r), &got) || got != sizeof(r)) return kRkfwctlFailed;
  std::string line;
  if (r.Verdict == STANDIN_PACKET_HELD) {
    line = "asked ";
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
    uint32_t ticket = r.Ticket;
    while (r.Verdict == STANDIN_PACKET_HELD && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!Ask(IOCTL_STANDIN_PACKET_RESULT, &ticket, 4, &r, sizeof(r), &got) || got != sizeof(r)) {
        err_ += "the driver forgot the held packet\n";
        return kRkfwctlFailed;
      }
    }
  }
  line += r.Verdict == STANDIN_PACKET_PERMIT ? "permit" : r.Verdict == STANDIN_PACKET_BLOCK ? "block" : "held";
  if (r.Decider == STANDIN_DECIDER_IP_RULE)
    AppendFormat(line, " rule=ip:0x%08X", r.RuleId);
  else if (r.Decider == STANDIN_DECIDER_AUDIT_RULE)
    AppendFormat(line, " rule=audit:0x%08X", r.RuleId);
  else
    line += " rule=none";
  line += r.Logged ? " log=yes\n" : " log=no\n";
  out_ += line;
  if (r.Verdict == STANDIN_PACKET_HELD && wait != 0) {
    AppendFormat(err_, "no verdict came within %u ms\n", wait);
    return kRkfwctlFailed;
  }
  return kRkfwctlOk;
}

int CCommand::Connection(const std::vector<std::string>& w) {
  if (w.size() >= 3 && w[1] == "del") {
    uint32_t key;
    if (w.size() != 3 || !ParseU32(w[2], &key)) return Usage("conn del KEY");
    return Simple(IOCTL_STANDIN_REMOVE_CONNECTION, &key, 4);
  }
  if (w.size() == 2 && w[1] == "list") return PrintConnections();
  if (w.size() < 2 || w[1] != "add") return Usage("conn add key=N [...] | conn del KEY | conn list");
  CArguments a(w, 2);
  if (!a.Check("key proto state pid name path local remote sent recv endpoint byid", err_)) return kRkfwctlUsage;
  if (!a.Has("key")) return Usage("conn add needs key=N");
  _RKFW_NETWORKCONNECTION row;
  memset(&row, 0, sizeof(row));
  uint32_t protocol = 1, state = 4;
  if (!Number(a, "key", &row.Key) || !Named(a, "proto", kAppProtocols, COUNT_OF(kAppProtocols), &protocol) ||
      !Named(a, "state", kStates, COUNT_OF(kStates), &state) || !Number(a, "pid", &row.ProcessId) ||
      !Number(a, "sent", &row.BytesSent) || !Number(a, "recv", &row.BytesReceived) ||
      !Number(a, "endpoint", &row.Endpoint) ||
      !Endpoint(a, "local", &row.LocalAddress, &row.LocalPort) ||
      !Endpoint(a, "remote", &row.RemoteAddress, &row.RemotePort))
    return kRkfwctlUsage;
  row.Protocol = protocol;
  row.State = protocol == 1 ? state : 0;
  row.NameSource = a.Has("byid") ? 1 : 0;
  ProcessName(a, row.ProcessName);
  if (const std::string* path = a.Get("path"))
    if (!SetPath(row.Key, *path)) return kRkfwctlFailed;
  return Simple(IOCTL_STANDIN_ADD_CONNECTION, &row, sizeof(row));
}

int CCommand::Traffic(const std::vector<std::string>& w) {
  uint64_t sent, received;
  if (w.size() < 3 || w.size() > 4 || !ParseNumber(w[1], &sent) || !ParseNumber(w[2], &received))
    return Usage("traffic SENT RECEIVED [key=N]");
  uint8_t in[20];
  STANDIN_TRAFFIC traffic = {sent, received};
  memcpy(in, &traffic, sizeof(traffic));
  if (w.size() == 4) {
    uint32_t key;
    if (w[3].compare(0, 4, "key=") != 0 || !ParseU32(w[3].substr(4), &key))
      return Usage("traffic SENT RECEIVED [key=N]");
    memcpy(in + 16, &key, 4);
    return Simple(IOCTL_STANDIN_ADD_TRAFFIC, in, 20);
  }
  return Simple(IOCTL_STANDIN_ADD_TRAFFIC, in, 16);
}

int CCommand::Fault(const std::vector<std::string>& w) {
  STANDIN_FAULT fault = {0, 0, 0};
  if (w.size() < 3 || w.size() > 4 || !ParseNamed(w[1], kCodes, COUNT_OF(kCodes), &fault.Code) ||
      !ParseNamed(w[2], kFaultModes, COUNT_OF(kFaultModes), &fault.Mode) ||
      (w.size() == 4 && !ParseU32(w[3], &fault.Value)))
    return Usage("fault CODE none|short|fail|claim|fill [VALUE]");
  return Simple(IOCTL_STANDIN_SET_FAULT, &fault, sizeof(fault));
}

int CCommand::PrintStatus() {
  STANDIN_STATUS s;
  _RKFW_STATISTICS stats;
  uint32_t version = 0, got = 0;
  if (!Status(&s) || !Ask(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4) ||
      !Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, &stats, sizeof(stats), &got) || got != sizeof(stats))
    return kRkfwctlFailed;
  AppendFormat(out_, "enabled %u\nenable-requests %u\nqueued %u\nconnections %u\nverdicts %u\n", s.Enabled,
          s.EnableRequests, s.QueuedEvents, s.Connections, s.Verdicts);
  AppendFormat(out_, "ip-image %u\naudit-image %u\nip-loads %u\naudit-loads %u\nrefused-images %u\n",
          s.IpImageSize, s.AuditImageSize, s.IpLoads, s.AuditLoads, s.RefusedImages);
  AppendFormat(out_, "closed-connections %u\npaths %u\nversion %u.%u\n", s.ClosedConnections, s.Paths,
          version >> 16, version & 0xFFFF);
  AppendFormat(out_, "sent %" PRIu64 "\nreceived %" PRIu64 "\n", stats.TotalSent, stats.TotalReceived);
  return kRkfwctlOk;
}

int CCommand::PrintImage(bool audit) {
  uint32_t code = audit ? IOCTL_STANDIN_GET_AUDIT_IMAGE : IOCTL_STANDIN_GET_IP_IMAGE;
  uint32_t size = 0, got = 0;
  if (!Ask(code, nullptr, 0, &size, 4, &got)) return kRkfwctlFailed;
  if (got == 0) {
    out_ += audit ? "audit-image none\n" : "ip-image none\n";
    return kRkfwctlOk;
  }
  std::vector<uint8_t> image(size);
  if (size < 4 || !Ask(code, nullptr, 0, image.data(), size, &got) || got != size) {
    err_ += "the image changed while it was read\n";
    return kRkfwctlFailed;
  }
  out_ += audit ? DescribeAuditImage(image.data(), size) : DescribeIpImage(image.data(), size);
  return kRkfwctlOk;
}

void AppendAppEvent(std::string& out, const _REPORT_EVENT_HEAD& e) {
  const _RKFW_APP_EVENT& b = e.Body.App;
  AppendFormat(out, " pid=%u key=%u name=", b.ProcessId, b.DriverKey);
  AppendQuoted(out, b.ProcessName, sizeof(b.ProcessName));
  const char* protocol = NameOf(kAppProtocols, COUNT_OF(kAppProtocols), b.Protocol);
  AppendFormat(out, " rule=%u op=%u flags=0x%02X proto=%s local=", b.RuleId, b.Operation, b.Flags,
          protocol ? protocol : "?");
  AppendAddress(out, b.LocalAddress);
  AppendFormat(out, ":%u remote=", NetToHost16(b.LocalPort));
  AppendAddress(out, b.RemoteAddress);
  AppendFormat(out, ":%u", NetToHost16(b.RemotePort));
}

int CCommand::PrintVerdicts(const std::vector<std::string>& w) {
  uint32_t from = 0;
  if (w.size() > 2 || (w.size() == 2 && !ParseU32(w[1], &from))) return Usage("verdicts [FROM]");
  STANDIN_STATUS s;
  if (!Status(&s)) return kRkfwctlFailed;
  uint32_t kept = s.Verdicts < STANDIN_MAX_VERDICTS ? s.Verdicts : STANDIN_MAX_VERDICTS;
  uint32_t oldest = s.Verdicts - kept;  // the index of the first verdict still kept
  uint32_t skip = from > oldest ? from - oldest : 0;
  std::vector<uint8_t> answer(4 + STANDIN_MAX_VERDICTS * RKFW_EVENT_SIZE);
  uint32_t got = 0;
  if (!Ask(IOCTL_STANDIN_GET_VERDICTS, &skip, 4, answer.data(), static_cast<uint32_t>(answer.size()), &got) ||
      got < 4)
    return kRkfwctlFailed;
  uint32_t count = LoadLe32(answer.data());
  if (count > (got - 4) / RKFW_EVENT_SIZE) count = (got - 4) / RKFW_EVENT_SIZE;
  for (uint32_t i = 0; i < count; ++i) {
    _REPORT_EVENT_HEAD e;
    memcpy(&e, answer.data() + 4 + i * RKFW_EVENT_SIZE, sizeof(e));
    const char* verdict = e.Verdict == RKFW_VERDICT_PERMIT ? "permit" : e.Verdict == RKFW_VERDICT_BLOCK ? "block" : nullptr;
    AppendFormat(out_, "verdict %u kind=%u", oldest + skip + i, e.Kind);
    if (verdict)
      AppendFormat(out_, " verdict=%s", verdict);
    else
      AppendFormat(out_, " verdict=%u", e.Verdict);
    AppendAppEvent(out_, e);
    out_ += '\n';
  }
  return kRkfwctlOk;
}

int CCommand::PrintConnections() {
  _RKFW_CONNECTION_COUNTS counts;
  uint32_t got = 0;
  if (!Ask(IOCTL_RKFW_GET_CONNECTION_COUNTS, nullptr, 0, &counts, sizeof(counts), &got) || got != sizeof(counts))
    return kRkfwctlFailed;
  std::vector<uint8_t> table(4 + counts.Rows * RKFW_CONNECTION_SIZE);
  if (!Ask(IOCTL_RKFW_GET_CONNECTIONS, nullptr, 0, table.data(), static_cast<uint32_t>(table.size()), &got) || got < 4)
    return kRkfwctlFailed;
  uint32_t length = LoadLe32(table.data());
  uint32_t rows = (length < got - 4 ? length : got - 4) / RKFW_CONNECTION_SIZE;
  for (uint32_t i = 0; i < rows; ++i) {
    _RKFW_NETWORKCONNECTION r;
    memcpy(&r, table.data() + 4 + i * RKFW_CONNECTION_SIZE, sizeof(r));
    const char* protocol = NameOf(kAppProtocols, COUNT_OF(kAppProtocols), r.Protocol);
    const char* state = NameOf(kStates, COUNT_OF(kStates), r.State);
    AppendFormat(out_, "conn key=%u proto=%s", r.Key, protocol ? protocol : "?");
    if (r.Protocol == 1) AppendFormat(out_, " state=%s", state ? state : "?");
    AppendFormat(out_, " pid=%u name=", r.ProcessId);
    AppendQuoted(out_, r.ProcessName, sizeof(r.ProcessName));
    out_ += " local=";
    AppendAddress(out_, r.LocalAddress);
    AppendFormat(out_, ":%u remote=", NetToHost16(r.LocalPort));
    AppendAddress(out_, r.RemoteAddress);
    AppendFormat(out_, ":%u sent=%u recv=%u endpoint=%u\n", NetToHost16(r.RemotePort), r.BytesSent, r.BytesReceived,
            r.Endpoint);
  }
  return kRkfwctlOk;
}

int CCommand::Wait(const std::vector<std::string>& w, bool verdicts) {
  uint32_t wanted = 0, limit = 5000;
  size_t at = 1;
  if (verdicts && (w.size() < 2 || !ParseU32(w[at++], &wanted))) return Usage("wait-verdicts N [MS]");
  if (w.size() > at + 1 || (w.size() == at + 1 && !ParseU32(w[at], &limit)))
    return Usage(verdicts ? "wait-verdicts N [MS]" : "wait-drained [MS]");
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
  for (;;) {
    STANDIN_STATUS s;
    if (!Status(&s)) return kRkfwctlFailed;
    if (verdicts ? s.Verdicts >= wanted : s.QueuedEvents == 0) return kRkfwctlOk;
    if (std::chrono::steady_clock::now() >= until) {
      if (verdicts)
        AppendFormat(err_, "%u verdicts after %u ms, waiting for %u\n", s.Verdicts, limit, wanted);
      else
        AppendFormat(err_, "%u events still queued after %u ms\n", s.QueuedEvents, limit);
      return kRkfwctlFailed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int CCommand::Play(const std::vector<std::string>& w) {
  if (w.size() != 2) return Usage("play FILE");
  if (depth_ >= 4) return Usage("play: scenarios nest too deep");
  FileHandle file = FileOpenRead(w[1].c_str());
  if (file == kInvalidFile) {
    err_ += "cannot read " + w[1] + "\n";
    return kRkfwctlFailed;
  }
  std::string text;
  char buffer[4096];
  uint32_t got = 0;
  while (FileRead(file, buffer, sizeof(buffer), &got) && got != 0) text.append(buffer, got);
  FileClose(file);
  ++depth_;
  int status = kRkfwctlOk;
  size_t start = 0;
  for (int number = 1; start <= text.size() && status == kRkfwctlOk; ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> words = SplitRkfwctlLine(text.substr(start, end - start));
    start = end + 1;
    if (words.empty()) continue;
    status = Run(words);
    if (status != kRkfwctlOk) AppendFormat(err_, "%s:%d: stopped here\n", w[1].c_str(), number);
  }
  --depth_;
  return status;
}

int CCommand::Service(const std::vector<std::string>& w, bool start) {
  std::string name = w.size() >= 2 ? w[1] : RKFW_SERVICE_NAME;
  if (w.size() > 2) return Usage(start ? "start [SERVICE]" : "stop [SERVICE]");
#ifdef _WIN32
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    err_ += "cannot reach the service manager\n";
    return kRkfwctlFailed;
  }
  SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  int status = kRkfwctlOk;
  if (service == nullptr) {
    err_ += "no service " + name + "\n";
    status = kRkfwctlFailed;
  } else {
    SERVICE_STATUS state;
    if (start) {
      if (!StartServiceA(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        AppendFormat(err_, "cannot start %s (error %lu)\n", name.c_str(), GetLastError());
        status = kRkfwctlFailed;
      }
    } else if (!ControlService(service, SERVICE_CONTROL_STOP, &state) &&
               GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
      AppendFormat(err_, "cannot stop %s (error %lu)\n", name.c_str(), GetLastError());
      status = kRkfwctlFailed;
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return status;
#else
  err_ += "no service manager on this system\n";
  return kRkfwctlFailed;
#endif
}

int CCommand::Run(const std::vector<std::string>& w) {
  if (w.empty()) return Usage("a command is missing (try: rkfwctl help)");
  const std::string& c = w[0];
  if (c == "help") {
    out_ +=
        "rkfwctl [--device NAME] COMMAND ...\n"
        "  status | enabled | reset | version MAJOR.MINOR\n"
        "  event ask|log|rule [path= name= pid= key= byid proto= local=A.B.C.D:P remote=A.B.C.D:P\n"
        "                      rule= op= action= flags= audit time= count=]\n"
        "  packet proto=ip|icmp|igmp|tcp|udp dir=in|out [local=A.B.C.D:P remote=A.B.C.D:P syn\n"
        "         type= code= service pid= key= path= name= byid time= wait=MS]\n"
        "  conn add key=N [proto= state= pid= name= path= local= remote= sent= recv= endpoint= byid]\n"
        "  conn del KEY | conn list | traffic SENT RECEIVED [key=N] | path KEY TEXT\n"
        "  ip-rules | audit-rules | verdicts [FROM] | fault CODE MODE [VALUE]\n"
        "  wait-drained [MS] | wait-verdicts N [MS] | sleep MS | play FILE | start | stop\n";
    return kRkfwctlOk;
  }
  if (c == "status") return w.size() == 1 ? PrintStatus() : Usage("status");
  if (c == "enabled") {
    STANDIN_STATUS s;
    if (w.size() != 1) return Usage("enabled");
    if (!Status(&s)) return kRkfwctlFailed;
    AppendFormat(out_, "%u\n", s.Enabled);
    return kRkfwctlOk;
  }
  if (c == "reset") return w.size() == 1 ? Simple(IOCTL_STANDIN_RESET, nullptr, 0) : Usage("reset");
  if (c == "version") {
    unsigned major, minor;
    char tail;
    if (w.size() != 2 || sscanf(w[1].c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 0xFFFF ||
        minor > 0xFFFF)
      return Usage("version MAJOR.MINOR");
    uint32_t version = (major << 16) | minor;
    return Simple(IOCTL_STANDIN_SET_VERSION, &version, 4);
  }
  if (c == "event") return Event(w);
  if (c == "packet") return Packet(w);
  if (c == "conn") return Connection(w);
  if (c == "traffic") return Traffic(w);
  if (c == "path") {
    uint32_t key;
    if (w.size() != 3 || !ParseU32(w[1], &key)) return Usage("path KEY TEXT");
    return SetPath(key, w[2]) ? kRkfwctlOk : kRkfwctlFailed;
  }
  if (c == "ip-rules") return w.size() == 1 ? PrintImage(false) : Usage("ip-rules");
  if (c == "audit-rules") return w.size() == 1 ? PrintImage(true) : Usage("audit-rules");
  if (c == "verdicts") return PrintVerdicts(w);
  if (c == "fault") return Fault(w);
  if (c == "wait-drained") return Wait(w, false);
  if (c == "wait-verdicts") return Wait(w, true);
  if (c == "sleep") {
    uint32_t ms;
    if (w.size() != 2 || !ParseU32(w[1], &ms)) return Usage("sleep MS");
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return kRkfwctlOk;
  }
  if (c == "play") return Play(w);
  if (c == "start") return Service(w, true);
  if (c == "stop") return Service(w, false);
  return Usage(("unknown command '" + c + "' (try: rkfwctl help)").c_str());
}

}  // namespace

int CRkfwctl::Run(const std::vector<std::string>& words) {
  CCommand command(Out, Err, impl_->deviceName, impl_->device, impl_->depth);
  return command.Run(words);
}

int CRkfwctl::RunArguments(int argc, const char* const* argv) {
  std::vector<std::string> words;
  int i = 1;
  if (argc >= 3 && strcmp(argv[1], "--device") == 0) {
    impl_->deviceName = argv[2];
    i = 3;
  }
  for (; i < argc; ++i) words.push_back(argv[i]);
  return Run(words);
}
