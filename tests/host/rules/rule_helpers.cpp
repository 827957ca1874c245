#include "rule_helpers.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/paths.h"
#include "rules/loader.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
char* HeapText(const char* text) {
  size_t n = strlen(text);
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(n + 1)));
  memcpy(copy, text, n + 1);
  return copy;
}
}  // namespace

_RKFW_RULE MakeRule(int32_t protocol, const char* name, const char* description) {
  _RKFW_RULE rule;
  memset(&rule, 0, sizeof rule);
  rule.Protocol = protocol;
  rule.Name = HeapText(name);
  rule.Description = HeapText(description);
  return rule;
}

_MATCH_VALUE MakeList(const std::vector<uint32_t>& elements) {
  _MATCH_VALUE source = {MATCH_LIST, static_cast<uint32_t>(elements.size()),
                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements.data()))};
  _MATCH_VALUE value = {};
  CopyMatchValue(&value, &source);
  return value;
}

_MATCH_VALUE MakeSingle(uint32_t value) { return _MATCH_VALUE{MATCH_SINGLE, value, 0}; }
_MATCH_VALUE MakeRange(uint32_t low, uint32_t high) { return _MATCH_VALUE{MATCH_RANGE, high, low}; }
uint32_t Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return a | (b << 8) | (c << 16) | (static_cast<uint32_t>(d) << 24);
}
uint32_t Port(uint16_t port) { return HostToNet16(port); }

_RKFW_AUDIT_RULE MakeAuditRule(const char* path, uint32_t ruleId) {
  _RKFW_AUDIT_RULE rule;
  memset(&rule, 0, sizeof rule);
  InitAuditRule(&rule);
  rule.RuleId = ruleId;
  rule.AppPath = HeapText(path);
  return rule;
}

std::vector<uint32_t> ElementsOf(const _MATCH_VALUE& value) {
  std::vector<uint32_t> out;
  if (value.Kind == MATCH_LIST && MatchElements(value) != nullptr)
    out.assign(MatchElements(value), MatchElements(value) + value.Value1);
  return out;
}

namespace {
bool SameValue(const _MATCH_VALUE& a, const _MATCH_VALUE& b) {
  if (a.Kind != b.Kind || a.Value1 != b.Value1) return false;
  if (a.Kind == MATCH_LIST) return ElementsOf(a) == ElementsOf(b);
  return a.Value2 == b.Value2;
}
bool SameText(const char* a, const char* b) { return std::string(a ? a : "") == std::string(b ? b : ""); }
}  // namespace

bool SameRule(const _RKFW_RULE& a, const _RKFW_RULE& b, std::string* why) {
  auto fail = [&](const char* what) {
    if (why) *why = what;
    return false;
  };
  if (a.Packed != b.Packed) return fail("Packed");
  if (a.Protocol != b.Protocol || a.Action != b.Action || a.Conditions != b.Conditions || a.Options != b.Options)
    return fail("scalars");
  if (a.RuleId != b.RuleId || a.Reserved1 != b.Reserved1 || a.Reserved2 != b.Reserved2) return fail("id");
  if (memcmp(a.Application, b.Application, sizeof a.Application) != 0) return fail("Application");
  if (!SameText(a.Name, b.Name)) return fail("Name");
  if (!SameText(a.Description, b.Description)) return fail("Description");
  const _MATCH_VALUE* x[4];
  const _MATCH_VALUE* y[4];
  uint32_t n = UsedMatchValues(a, x);
  UsedMatchValues(b, y);
  for (uint32_t i = 0; i < n; ++i)
    if (!SameValue(*x[i], *y[i])) return fail("match value");
  if (a.Protocol == RULE_PROTO_ICMP && (a.IcmpTypeMask != b.IcmpTypeMask || a.IcmpCodeMask != b.IcmpCodeMask))
    return fail("ICMP masks");
  return true;
}

bool SameAuditRule(const _RKFW_AUDIT_RULE& a, const _RKFW_AUDIT_RULE& b, std::string* why) {
  auto fail = [&](const char* what) {
    if (why) *why = what;
    return false;
  };
  if (a.RuleId != b.RuleId || a.MatchAction != b.MatchAction || a.MissAction != b.MissAction ||
      a.Reserved1 != b.Reserved1 || a.Access != b.Access)
    return fail("scalars");
  if (a.IpOps != b.IpOps || a.TcpOps != b.TcpOps || a.UdpOps != b.UdpOps) return fail("ops");
  if (!SameText(a.AppPath, b.AppPath)) return fail("AppPath");
  if (memcmp(a.Reserved2, b.Reserved2, sizeof a.Reserved2) != 0) return fail("Reserved2");
  _MATCH_VALUE* x[10];
  _MATCH_VALUE* y[10];
  AuditMatchValues(const_cast<_RKFW_AUDIT_RULE&>(a), x);
  AuditMatchValues(const_cast<_RKFW_AUDIT_RULE&>(b), y);
  for (int i = 0; i < 10; ++i)
    if (!SameValue(*x[i], *y[i])) return fail("match value");
  return true;
}

std::vector<uint8_t> Bytes(const _bytePtr& buffer) {
  return std::vector<uint8_t>(buffer.Data(), buffer.Data() + buffer.Length());
}
uint32_t Dword(const std::vector<uint8_t>& bytes, uint32_t at) {
  return at + 4 <= bytes.size() ? LoadLe32(bytes.data() + at) : 0xDEADBEEF;
}

namespace {
// One scratch folder per test process, removed with everything in it when the tests end.
class CScratch : public ::testing::Environment {
 public:
  const std::string& Folder() {
    if (folder_.empty()) {
#ifdef _WIN32
      char temp[MAX_PATH];
      GetTempPathA(sizeof temp, temp);
      folder_ = std::string(temp) + "vardeen_rules_" + std::to_string(GetCurrentProcessId());
      CreateDirectoryA(folder_.c_str(), nullptr);
      folder_ += "\\";
#else
      char pattern[] = "/tmp/vardeen_rules_XXXXXX";
      folder_ = std::string(mkdtemp(pattern)) + "/";
#endif
    }
    return folder_;
  }
  std::string Add(const std::string& name) {
    std::string path = Folder() + std::to_string(++counter_) + "_" + name;
    paths_.push_back(path);
    return path;
  }
  std::string AddFolder(const std::string& name) {
    std::string path = Folder() + std::to_string(++counter_) + "_" + name;
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\";
#else
    mkdir(path.c_str(), 0755);
    path += "/";
#endif
    folders_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : paths_) {
      FileDelete(path.c_str());
      FileDelete((path + ".new").c_str());
      FileDelete((path + ".old").c_str());
    }
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
#ifdef _WIN32
      RemoveDirectoryA(it->c_str());
#else
      rmdir(it->c_str());
#endif
    }
    if (folder_.empty()) return;
#ifdef _WIN32
    RemoveDirectoryA(folder_.c_str());
#else
    rmdir(folder_.c_str());
#endif
  }

 private:
  std::string folder_;
  std::vector<std::string> paths_;
  std::vector<std::string> folders_;
  int counter_ = 0;
};
CScratch* g_scratch = static_cast<CScratch*>(::testing::AddGlobalTestEnvironment(new CScratch));
}  // namespace

std::string ScratchPath(const std::string& name) { return g_scratch->Add(name); }
std::string ScratchFolder(const std::string& name) { return g_scratch->AddFolder(name); }

CCurrentFolder::CCurrentFolder(const std::string& folder) {
#ifdef _WIN32
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof saved, saved);
  saved_ = saved;
  SetCurrentDirectoryA(folder.c_str());
#else
  char saved[4096] = {};
  if (getcwd(saved, sizeof saved) != nullptr) saved_ = saved;
  if (chdir(folder.c_str()) != 0) ADD_FAILURE() << "cannot enter " << folder;
#endif
}

CCurrentFolder::~CCurrentFolder() {
#ifdef _WIN32
  SetCurrentDirectoryA(saved_.c_str());
#else
  if (chdir(saved_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << saved_;
#endif
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  int c;
  while ((c = fgetc(f)) != EOF) bytes->push_back(static_cast<uint8_t>(c));
  fclose(f);
  return true;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

uint32_t CFakeDriver::LoadIpRuleSet(const void* image, uint32_t size) {
  auto* bytes = static_cast<const uint8_t*>(image);
  IpImages.emplace_back(bytes, bytes + size);
  return Answer;
}
uint32_t CFakeDriver::LoadAuditRuleSet(const void* image, uint32_t size) {
  auto* bytes = static_cast<const uint8_t*>(image);
  AuditImages.emplace_back(bytes, bytes + size);
  return Answer;
}
uint32_t CFakeDriver::SendVerdict(const _REPORT_EVENT_HEAD* record) {
  auto* bytes = reinterpret_cast<const uint8_t*>(record);
  Verdicts.emplace_back(bytes, bytes + 220);
  return 0;
}

CFakeDriver::CFakeDriver() { SetRulePort(this); }
CFakeDriver::~CFakeDriver() { SetRulePort(nullptr); }

void ResetCaches() {
  ClearIpRuleCache();
  ClearAuditRuleCache();
}
