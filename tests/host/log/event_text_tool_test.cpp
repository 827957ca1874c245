// rkfwtool event-text, run as a user runs it, against the log text built in process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "log/eventlog.h"
#include "log/formatters.h"
#include "rules/caches.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "tests/host/log/event_bytes.h"

namespace {
std::string Dir() {
  static std::string dir = [] {
    char pattern[] = "/tmp/event_text_XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  return dir;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::vector<uint8_t> Batch(std::vector<CEventBytes> records, uint32_t extraLength = 0) {
  std::vector<uint8_t> bytes(4);
  StoreLe32(bytes.data(), static_cast<uint32_t>(records.size() * kEventRecordSize) + extraLength);
  for (auto& r : records) bytes.insert(bytes.end(), r.Bytes(), r.Bytes() + kEventRecordSize);
  return bytes;
}

// Runs the tool; returns its exit code and fills `out` with standard output, byte for byte.
int RunTool(const std::string& args, std::string& out, const char* env = "") {
  out.clear();
  std::string command = env + std::string(RKFWTOOL_PATH) + " event-text " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CEventBytes System(uint32_t ruleId, uint32_t local) {
  CEventBytes e(EVENT_KIND_SYSTEM);
  e.Set32(SYS_AT_PROTOCOL, 4).Set32(SYS_AT_ACTION, 0).Set32(SYS_AT_OPERATION, 1).Set32(SYS_AT_RULE_ID, ruleId)
      .Set32(SYS_AT_LOCAL_ADDR, local).Port(SYS_AT_LOCAL_PORT, 53).Set32(SYS_AT_REMOTE_ADDR, Ip(10, 0, 0, 1))
      .Port(SYS_AT_REMOTE_PORT, 1029).Set32(EVENT_AT_DATA_SIZE, 512);
  return e;
}

TEST(EventTextTool, WritesEveryBlockInBatchOrderWithTheFilesRulesAndTheGivenComputer) {
  char name[] = "域名解析";
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  _RKFW_RULE rule{};
  rule.Protocol = RULE_PROTO_UDP;
  rule.RuleId = 0x4242;
  rule.Name = name;
  rules.Append(rule);
  std::string rulePath = Dir() + "/dns.rul";
  ASSERT_EQ(WriteRuleFile(rulePath.c_str(), rules), 0u);

  CEventBytes app(EVENT_KIND_APP_LOG);
  app.Name("dns.exe").Set32(APP_AT_PROTOCOL, 2).Set32(EVENT_AT_FLAGS, kEventAuditFlag);
  std::vector<CEventBytes> records = {System(0x4242, 0), CEventBytes(EVENT_KIND_APP_ASK), app,
                                      System(0x9999, Ip(1, 2, 3, 4))};
  std::string batchPath = Dir() + "/batch.bin";
  WriteFile(batchPath, Batch(records, 219));  // a partial record at the end is not a record

  std::string out;
  ASSERT_EQ(RunTool("--rules " + rulePath + " --computer HOST-B " + batchPath, out), 0);

  SetComputerNameOverride("HOST-B");
  IpRuleCache = _bufferPtr<_RKFW_RULE>(1);
  IpRuleCache[0] = rule;
  std::string expected;
  for (auto& r : records) expected += BuildEventLogText(r.Record()).Data();
  IpRuleCache = _bufferPtr<_RKFW_RULE>();
  SetComputerNameOverride(nullptr);
  EXPECT_EQ(out, expected);
  std::string head =
      "[时间]:     2002-07-05 09:03:07\r\n"
      "[记录规则]: 域名解析\r\n"
      "[来源]:     系统\r\n";
  EXPECT_EQ(out.compare(0, head.size(), head), 0);
  EXPECT_NE(out.find("[本方地址]: HOST-B:53\r\n"), std::string::npos);
  EXPECT_NE(out.find("[记录规则]: 未知\r\n"), std::string::npos);

  // Without the rules every system event names its rule as unknown.
  ASSERT_EQ(RunTool(batchPath, out), 0);
  EXPECT_EQ(out.find("域名解析"), std::string::npos);
}

TEST(EventTextTool, NineXStampsAreUtc) {
  std::string batchPath = Dir() + "/one.bin";
  WriteFile(batchPath, Batch({System(1, Ip(1, 1, 1, 1))}));
  std::string local, utc;
  ASSERT_EQ(RunTool(batchPath, local, "TZ=CST-8 "), 0);
  ASSERT_EQ(RunTool("--9x " + batchPath, utc, "TZ=CST-8 "), 0);
  std::string line = "[时间]:     2002-07-05 17:03:07\r\n";
  EXPECT_EQ(local.substr(0, line.size()), "[时间]:     2002-07-05 09:03:07\r\n");
  EXPECT_EQ(utc.substr(0, line.size()), line);
  EXPECT_EQ(local.substr(utc.find("\r\n")), utc.substr(utc.find("\r\n")));
}

TEST(EventTextTool, RefusesWhatIsNotABatch) {
  std::string out;
  std::string shortPath = Dir() + "/short.bin";
  std::vector<uint8_t> truncated = Batch({System(1, 1), System(1, 1)});
  truncated.resize(truncated.size() - 1);
  WriteFile(shortPath, truncated);
  EXPECT_EQ(RunTool(shortPath, out), 1);
  EXPECT_TRUE(out.empty());
  WriteFile(shortPath, {1, 0});
  EXPECT_EQ(RunTool(shortPath, out), 1);
  EXPECT_EQ(RunTool(Dir() + "/missing.bin", out), 10);
  EXPECT_EQ(RunTool("", out), 1);
  EXPECT_EQ(RunTool("--rules " + Dir() + "/missing.rul " + shortPath, out), 1);  // batch checked first

  std::string emptyPath = Dir() + "/empty.bin";
  WriteFile(emptyPath, Batch({}, 219));
  EXPECT_EQ(RunTool(emptyPath, out), 0);
  EXPECT_TRUE(out.empty());
  WriteFile(emptyPath, Batch({System(1, 1)}));
  EXPECT_EQ(RunTool("--rules " + Dir() + "/missing.rul " + emptyPath, out), 10);
}
}  // namespace
