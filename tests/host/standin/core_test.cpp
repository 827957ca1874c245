// The stand-in core against the console's protocol: answers and their byte counts, images it
// keeps or refuses, event batches, verdicts, the connection table and the fault modes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "rules/loader.h"
#include "rules/auditrules.h"
#include "standin/core/standin.h"

namespace {

struct Answer {
  int status;
  uint32_t returned;
};

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = new RKFW_STATE;
    RkfwInit(state_);
  }
  void TearDown() override { delete state_; }

  Answer Ask(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize) {
    uint32_t returned = 0xDEADu;
    int status = RkfwDeviceControl(state_, code, in, inSize, out, outSize, &returned);
    return {status, returned};
  }
  template <typename T>
  int Send(uint32_t code, const T& in) {
    return Ask(code, &in, sizeof(in), nullptr, 0).status;
  }
  void Inject(uint32_t kind, uint32_t marker, uint32_t copies = 1) {
    std::vector<_REPORT_EVENT_HEAD> events(copies);
    for (uint32_t i = 0; i < copies; ++i) {
      memset(&events[i], 0, sizeof(events[i]));
      events[i].Kind = kind;
      events[i].Body.App.RuleId = marker + i;
    }
    ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_INJECT_EVENT, events.data(),
                                  copies * RKFW_EVENT_SIZE, nullptr, 0).status);
  }
  void AddRow(uint32_t key, uint32_t protocol) {
    _RKFW_NETWORKCONNECTION row;
    memset(&row, 0, sizeof(row));
    row.Key = key;
    row.Protocol = protocol;
    row.ProcessId = key * 10;
    ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_ADD_CONNECTION, row));
  }
  STANDIN_STATUS Status() {
    STANDIN_STATUS status;
    EXPECT_EQ(sizeof(status), Ask(IOCTL_STANDIN_GET_STATUS, nullptr, 0, &status, sizeof(status)).returned);
    return status;
  }

  RKFW_STATE* state_ = nullptr;
};

TEST_F(CoreTest, FixedSizeAnswersAreCutToTheBufferAndCountedExactly) {
  STANDIN_TRAFFIC traffic = {1000, 2500};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_ADD_TRAFFIC, traffic));
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_ADD_TRAFFIC, traffic));
  _RKFW_STATISTICS stats;
  memset(&stats, 0xAA, sizeof(stats));
  Answer a = Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, &stats, sizeof(stats));
  EXPECT_EQ(RKFW_STATUS_OK, a.status);
  EXPECT_EQ(64u, a.returned);
  EXPECT_EQ(2000u, stats.TotalSent);
  EXPECT_EQ(5000u, stats.TotalReceived);

  uint8_t small[10];
  memset(small, 0x55, sizeof(small));
  a = Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, small, 7);
  EXPECT_EQ(7u, a.returned);
  EXPECT_EQ(0x55, small[7]) << "nothing beyond the offered buffer";

  uint32_t version = 0;
  a = Ask(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4);
  EXPECT_EQ(4u, a.returned);
  EXPECT_EQ(STANDIN_VERSION_DEFAULT, version);
  uint32_t changed = 0x00030001;
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_VERSION, changed));
  Ask(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4);
  EXPECT_EQ(changed, version);
}

TEST_F(CoreTest, EnableStateFollowsSetEnabledAndAnyNonZeroMeansOn) {
  uint32_t enabled = 7;
  ASSERT_EQ(4u, Ask(IOCTL_RKFW_GET_ENABLED, nullptr, 0, &enabled, 4).returned);
  EXPECT_EQ(0u, enabled);
  uint32_t on = 2;
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_RKFW_SET_ENABLED, on));
  Ask(IOCTL_RKFW_GET_ENABLED, nullptr, 0, &enabled, 4);
  EXPECT_EQ(1u, enabled);
  EXPECT_EQ(1u, Status().Enabled);
  EXPECT_EQ(1u, Status().EnableRequests);
  // Too short an input is refused before anything is read.
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_SET_ENABLED, &on, 3, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_SET_ENABLED, nullptr, 4, nullptr, 0).status);
  EXPECT_EQ(1u, Status().EnableRequests);
}

TEST_F(CoreTest, ConnectionCountsAndTableWithShortBuffers) {
  AddRow(11, 1);
  AddRow(12, 2);
  AddRow(13, 1);
  AddRow(14, 0);
  AddRow(12, 1);  // same key: replaces the row
  _RKFW_CONNECTION_COUNTS counts;
  ASSERT_EQ(12u, Ask(IOCTL_RKFW_GET_CONNECTION_COUNTS, nullptr, 0, &counts, sizeof(counts)).returned);
  EXPECT_EQ(4u, counts.Rows);
  EXPECT_EQ(3u, counts.Tcp);
  EXPECT_EQ(0u, counts.Udp);

  std::vector<uint8_t> table(4 + 4 * RKFW_CONNECTION_SIZE + 8, 0xEE);
  Answer a = Ask(IOCTL_RKFW_GET_CONNECTIONS, nullptr, 0, table.data(), (uint32_t)table.size());
  EXPECT_EQ(4 + 4 * RKFW_CONNECTION_SIZE, a.returned);
  uint32_t length;
  memcpy(&length, table.data(), 4);
  EXPECT_EQ(4 * RKFW_CONNECTION_SIZE, length);
  _RKFW_NETWORKCONNECTION row;
  memcpy(&row, table.data() + 4 + RKFW_CONNECTION_SIZE, sizeof(row));
  EXPECT_EQ(12u, row.Key);
  EXPECT_EQ(1u, row.Protocol);
  EXPECT_EQ(0xEE, table[a.returned]);

  // Room for two and a half rows: two whole rows, and the length says so.
  std::vector<uint8_t> small(4 + 2 * RKFW_CONNECTION_SIZE + 90, 0xEE);
  a = Ask(IOCTL_RKFW_GET_CONNECTIONS, nullptr, 0, small.data(), (uint32_t)small.size());
  EXPECT_EQ(4 + 2 * RKFW_CONNECTION_SIZE, a.returned);
  memcpy(&length, small.data(), 4);
  EXPECT_EQ(2 * RKFW_CONNECTION_SIZE, length);
  EXPECT_EQ(0xEE, small[a.returned]);
  EXPECT_EQ(RKFW_STATUS_BUFFER_TOO_SMALL, Ask(IOCTL_RKFW_GET_CONNECTIONS, nullptr, 0, small.data(), 3).status);
}

TEST_F(CoreTest, CloseConnectionRemovesOnlyThatRow) {
  AddRow(1, 1);
  AddRow(2, 1);
  AddRow(3, 2);
  uint32_t key = 2;
  EXPECT_EQ(RKFW_STATUS_OK, Send(IOCTL_RKFW_CLOSE_CONNECTION, key));
  EXPECT_EQ(RKFW_STATUS_NOT_FOUND, Send(IOCTL_RKFW_CLOSE_CONNECTION, key));
  ASSERT_EQ(2u, state_->ConnectionCount);
  EXPECT_EQ(1u, state_->Connections[0].Key);
  EXPECT_EQ(3u, state_->Connections[1].Key);
  EXPECT_EQ(1u, Status().ClosedConnections);
  key = 3;
  EXPECT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_REMOVE_CONNECTION, key));
  EXPECT_EQ(1u, state_->ConnectionCount);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_CLOSE_CONNECTION, &key, 2, nullptr, 0).status);
}

TEST_F(CoreTest, TrafficForARowGrowsItsCountersAndTheTotals) {
  AddRow(5, 1);
  uint8_t in[20];
  STANDIN_TRAFFIC traffic = {300, 400};
  uint32_t key = 5;
  memcpy(in, &traffic, 16);
  memcpy(in + 16, &key, 4);
  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_ADD_TRAFFIC, in, 20, nullptr, 0).status);
  EXPECT_EQ(300u, state_->Connections[0].BytesSent);
  EXPECT_EQ(400u, state_->Connections[0].BytesReceived);
  EXPECT_EQ(300u, state_->Stats.TotalSent);
  key = 6;
  memcpy(in + 16, &key, 4);
  EXPECT_EQ(RKFW_STATUS_NOT_FOUND, Ask(IOCTL_STANDIN_ADD_TRAFFIC, in, 20, nullptr, 0).status);
  EXPECT_EQ(300u, state_->Stats.TotalSent) << "a refused request changes nothing";
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_STANDIN_ADD_TRAFFIC, in, 17, nullptr, 0).status);
}

TEST_F(CoreTest, ProcessPathsByKeyAreTerminatedInsideTheBuffer) {
  uint8_t in[64] = {};
  uint32_t key = 77;
  memcpy(in, &key, 4);
  strcpy(reinterpret_cast<char*>(in + 4), "C:\\Apps\\mail.exe");
  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_SET_PATH, in, 4 + 16, nullptr, 0).status)
      << "the terminator is optional";
  char path[RKFW_PROCESS_PATH_SIZE];
  Answer a = Ask(IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, path, sizeof(path));
  EXPECT_EQ(17u, a.returned);
  EXPECT_STREQ("C:\\Apps\\mail.exe", path);

  char shortPath[8];
  memset(shortPath, 'x', sizeof(shortPath));
  a = Ask(IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, shortPath, 6);
  EXPECT_EQ(6u, a.returned);
  EXPECT_STREQ("C:\\Ap", shortPath);
  EXPECT_EQ('x', shortPath[6]);

  // The request's key is read before the answer overwrites a shared buffer.
  uint8_t shared[64] = {};
  memcpy(shared, &key, 4);
  a = Ask(IOCTL_RKFW_GET_PROCESS_PATH, shared, 4, shared, sizeof(shared));
  EXPECT_STREQ("C:\\Apps\\mail.exe", reinterpret_cast<char*>(shared));

  uint32_t unknown = 78;
  EXPECT_EQ(RKFW_STATUS_NOT_FOUND, Ask(IOCTL_RKFW_GET_PROCESS_PATH, &unknown, 4, path, sizeof(path)).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_GET_PROCESS_PATH, &key, 3, path, sizeof(path)).status);

  // An empty text forgets the key; a path of 1024 bytes does not fit the console's buffer.
  EXPECT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_SET_PATH, in, 4, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_NOT_FOUND, Ask(IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, path, sizeof(path)).status);
  std::vector<uint8_t> longPath(4 + 1024, 'a');
  memcpy(longPath.data(), &key, 4);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER,
            Ask(IOCTL_STANDIN_SET_PATH, longPath.data(), (uint32_t)longPath.size(), nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_OK,
            Ask(IOCTL_STANDIN_SET_PATH, longPath.data(), (uint32_t)longPath.size() - 1, nullptr, 0).status);
  a = Ask(IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, path, sizeof(path));
  EXPECT_EQ(1024u, a.returned);
  EXPECT_EQ(1023u, strlen(path));
}

TEST_F(CoreTest, EventBatchesHoldAtMost37RecordsInQueueOrder) {
  Inject(RKFW_EVENT_APP_LOG, 100, 40);
  std::vector<uint8_t> batch(RKFW_EVENT_BATCH_SIZE, 0);
  Answer a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, batch.data(), (uint32_t)batch.size());
  EXPECT_EQ(4 + 37 * RKFW_EVENT_SIZE, a.returned);
  uint32_t length;
  memcpy(&length, batch.data(), 4);
  EXPECT_EQ(37 * RKFW_EVENT_SIZE, length);
  _REPORT_EVENT_HEAD record;
  memcpy(&record, batch.data() + 4 + 36 * RKFW_EVENT_SIZE, sizeof(record));
  EXPECT_EQ(136u, record.Body.App.RuleId);

  // A larger buffer still gets no more than 37; the rest comes next time.
  Inject(RKFW_EVENT_APP_LOG, 200, 40);
  std::vector<uint8_t> big(4 + 60 * RKFW_EVENT_SIZE);
  a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, big.data(), (uint32_t)big.size());
  EXPECT_EQ(4 + 37 * RKFW_EVENT_SIZE, a.returned);
  memcpy(&record, big.data() + 4, sizeof(record));
  EXPECT_EQ(137u, record.Body.App.RuleId);

  // Room for one record and a bit: one record, the others stay queued.
  std::vector<uint8_t> one(4 + RKFW_EVENT_SIZE + 219);
  a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, one.data(), (uint32_t)one.size());
  EXPECT_EQ(4 + RKFW_EVENT_SIZE, a.returned);
  EXPECT_EQ(80u - 37u - 37u - 1u, Status().QueuedEvents);

  a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, batch.data(), (uint32_t)batch.size());
  EXPECT_EQ(4u + 5u * RKFW_EVENT_SIZE, a.returned);
  memcpy(&record, batch.data() + 4 + 4 * RKFW_EVENT_SIZE, sizeof(record));
  EXPECT_EQ(239u, record.Body.App.RuleId);
  a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, batch.data(), (uint32_t)batch.size());
  EXPECT_EQ(4u, a.returned) << "an empty queue answers a zero length";
  memcpy(&length, batch.data(), 4);
  EXPECT_EQ(0u, length);
}

TEST_F(CoreTest, InjectionIsWholeRecordsAndRefusedWhenTheQueueIsFull) {
  _REPORT_EVENT_HEAD record = {};
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_STANDIN_INJECT_EVENT, &record, 219, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_STANDIN_INJECT_EVENT, &record, 0, nullptr, 0).status);
  Inject(RKFW_EVENT_SYSTEM, 0, STANDIN_MAX_EVENTS - 1);
  std::vector<_REPORT_EVENT_HEAD> two(2);
  EXPECT_EQ(RKFW_STATUS_FULL, Ask(IOCTL_STANDIN_INJECT_EVENT, two.data(), 2 * RKFW_EVENT_SIZE, nullptr, 0).status);
  EXPECT_EQ(STANDIN_MAX_EVENTS - 1, Status().QueuedEvents) << "nothing of a refused injection is queued";
}

TEST_F(CoreTest, VerdictLogKeepsTheLatestRecordsAsSent) {
  for (uint32_t i = 0; i < STANDIN_MAX_VERDICTS + 3; ++i) {
    _REPORT_EVENT_HEAD record = {};
    record.Kind = RKFW_EVENT_APP_ASK;
    record.Verdict = i % 2;
    record.Body.App.ProcessId = i;
    ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_RKFW_SEND_VERDICT, record));
  }
  EXPECT_EQ(STANDIN_MAX_VERDICTS + 3, Status().Verdicts);
  std::vector<uint8_t> out(4 + 3 * RKFW_EVENT_SIZE);
  uint32_t from = 0;
  Answer a = Ask(IOCTL_STANDIN_GET_VERDICTS, &from, 4, out.data(), (uint32_t)out.size());
  EXPECT_EQ(out.size(), a.returned);
  uint32_t count;
  memcpy(&count, out.data(), 4);
  EXPECT_EQ(3u, count);
  _REPORT_EVENT_HEAD record;
  memcpy(&record, out.data() + 4, sizeof(record));
  EXPECT_EQ(3u, record.Body.App.ProcessId) << "the oldest kept";
  EXPECT_EQ(1u, record.Verdict);
  from = STANDIN_MAX_VERDICTS - 1;
  a = Ask(IOCTL_STANDIN_GET_VERDICTS, &from, 4, out.data(), (uint32_t)out.size());
  memcpy(&count, out.data(), 4);
  EXPECT_EQ(1u, count);
  memcpy(&record, out.data() + 4, sizeof(record));
  EXPECT_EQ(STANDIN_MAX_VERDICTS + 2, record.Body.App.ProcessId);
  from = 1000;
  a = Ask(IOCTL_STANDIN_GET_VERDICTS, &from, 4, out.data(), (uint32_t)out.size());
  EXPECT_EQ(4u, a.returned);

  _REPORT_EVENT_HEAD shortRecord = {};
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_SEND_VERDICT, &shortRecord, 200, nullptr, 0).status);
}

TEST_F(CoreTest, FaultModesMisbehaveUntilCleared) {
  STANDIN_FAULT fault = {IOCTL_RKFW_GET_TRAFFIC_STATS, STANDIN_FAULT_SHORT, 63};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_FAULT, fault));
  _RKFW_STATISTICS stats;
  EXPECT_EQ(63u, Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, &stats, sizeof(stats)).returned);

  fault = {IOCTL_RKFW_GET_VERSION, STANDIN_FAULT_FAIL, 0};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_FAULT, fault));
  uint32_t version;
  Answer a = Ask(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4);
  EXPECT_EQ(RKFW_STATUS_FAULT, a.status);
  EXPECT_EQ(0u, a.returned);

  // A lying driver: the batch claims far more than it holds.
  Inject(RKFW_EVENT_APP_LOG, 1, 2);
  fault = {IOCTL_RKFW_READ_EVENTS, STANDIN_FAULT_CLAIM, 60000};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_FAULT, fault));
  std::vector<uint8_t> batch(RKFW_EVENT_BATCH_SIZE);
  a = Ask(IOCTL_RKFW_READ_EVENTS, nullptr, 0, batch.data(), (uint32_t)batch.size());
  uint32_t length;
  memcpy(&length, batch.data(), 4);
  EXPECT_EQ(60000u, length);
  EXPECT_EQ(4 + 2 * RKFW_EVENT_SIZE, a.returned);

  fault = {IOCTL_RKFW_GET_PROCESS_PATH, STANDIN_FAULT_FILL, 'A'};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_FAULT, fault));
  uint8_t in[8] = {9, 0, 0, 0, 'x', 0};
  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_SET_PATH, in, 6, nullptr, 0).status);
  char path[16];
  a = Ask(IOCTL_RKFW_GET_PROCESS_PATH, in, 4, path, sizeof(path));
  EXPECT_EQ(16u, a.returned);
  EXPECT_EQ(0, memcmp(path, "AAAAAAAAAAAAAAAA", 16));

  // Faults on private codes are refused, so a test can always undo what it set.
  fault = {IOCTL_STANDIN_SET_FAULT, STANDIN_FAULT_FAIL, 0};
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Send(IOCTL_STANDIN_SET_FAULT, fault));
  fault = {IOCTL_RKFW_GET_VERSION, 9, 0};
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Send(IOCTL_STANDIN_SET_FAULT, fault));

  fault = {IOCTL_RKFW_GET_VERSION, STANDIN_FAULT_NONE, 0};
  ASSERT_EQ(RKFW_STATUS_OK, Send(IOCTL_STANDIN_SET_FAULT, fault));
  EXPECT_EQ(4u, Ask(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4).returned);
  EXPECT_EQ(63u, Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, &stats, sizeof(stats)).returned)
      << "other faults stay";

  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_STANDIN_RESET, nullptr, 0, nullptr, 0).status);
  EXPECT_EQ(64u, Ask(IOCTL_RKFW_GET_TRAFFIC_STATS, nullptr, 0, &stats, sizeof(stats)).returned);
  EXPECT_EQ(0u, Status().QueuedEvents);
}

TEST_F(CoreTest, UnknownCodesAndMissingReturnedCountAreRefused) {
  EXPECT_EQ(RKFW_STATUS_INVALID_REQUEST, Ask(RKFW_CTL_CODE(0x822), nullptr, 0, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_REQUEST, Ask(0x22206C, nullptr, 0, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER,
            RkfwDeviceControl(state_, IOCTL_RKFW_GET_VERSION, nullptr, 0, nullptr, 0, nullptr));
}

// ---- images ----

std::vector<uint8_t> Bytes(const _bytePtr& image) {
  return std::vector<uint8_t>(image.Data(), image.Data() + image.Length());
}

uint32_t g_addresses[2] = {0x0100000A, 0x0200000A};
uint32_t g_ports[3] = {0x5000, 0xBB01, 0x1500};

_RKFW_RULE TcpRule(uint32_t id) {
  _RKFW_RULE rule;
  memset(&rule, 0, sizeof(rule));
  rule.Protocol = RULE_PROTO_TCP;
  rule.Action = RULE_ACTION_BLOCK;
  rule.RuleId = id;
  rule.RemoteAddr.Kind = MATCH_LIST;
  rule.RemoteAddr.Value1 = 2;
  rule.RemoteAddr.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_addresses));
  rule.RemotePort.Kind = MATCH_LIST;
  rule.RemotePort.Value1 = 3;
  rule.RemotePort.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_ports));
  return rule;
}

std::vector<uint8_t> IpImage(int tcpRules, bool withIcmp) {
  _Array<_RKFW_RULE> rules;
  for (int i = 0; i < tcpRules; ++i) rules.Append(TcpRule(100 + i));
  if (withIcmp) {
    _RKFW_RULE icmp;
    memset(&icmp, 0, sizeof(icmp));
    icmp.Protocol = RULE_PROTO_ICMP;
    icmp.IcmpTypeMask = 0xFFFFFFFF;  // masks, not match values: never taken for lists
    icmp.IcmpCodeMask = 0xFFFFFFFF;
    rules.Append(icmp);
  }
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  return Bytes(image);
}

std::vector<uint8_t> AuditImage(int count) {
  _Array<_RKFW_AUDIT_RULE> rules;
  static char path[] = "C:\\Apps\\mail.exe";
  for (int i = 0; i < count; ++i) {
    _RKFW_AUDIT_RULE rule;
    memset(&rule, 0, sizeof(rule));
    InitAuditRule(&rule);
    rule.AppPath = path;
    rule.TcpRemotePort.Kind = MATCH_LIST;
    rule.TcpRemotePort.Value1 = 3;
    rule.TcpRemotePort.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_ports));
    rule.UdpLocalAddr.Kind = MATCH_RANGE;
    rule.UdpLocalAddr.Value1 = 0xFF00000A;
    rule.UdpLocalAddr.Value2 = 0x0000000A;
    rules.Append(rule);
  }
  _bytePtr image;
  BuildAuditBody(rules, image);
  return Bytes(image);
}

void Put32(std::vector<uint8_t>& image, size_t at, uint32_t value) { memcpy(&image[at], &value, 4); }

TEST_F(CoreTest, ConsoleBuiltImagesAreKeptAndReadBack) {
  for (auto image : {IpImage(0, false), IpImage(1, false), IpImage(3, true)}) {
    ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_RKFW_LOAD_IP_RULES, image.data(), (uint32_t)image.size(), nullptr, 0).status)
        << image.size();
    std::vector<uint8_t> back(image.size() + 10, 0xCC);
    Answer a = Ask(IOCTL_STANDIN_GET_IP_IMAGE, nullptr, 0, back.data(), (uint32_t)back.size());
    ASSERT_EQ(image.size(), a.returned);
    EXPECT_EQ(0, memcmp(image.data(), back.data(), image.size()));
    // Too small a buffer learns the size from the leading dword.
    a = Ask(IOCTL_STANDIN_GET_IP_IMAGE, nullptr, 0, back.data(), (uint32_t)image.size() - 1);
    EXPECT_EQ(4u, a.returned);
  }
  for (auto image : {AuditImage(0), AuditImage(1), AuditImage(4)}) {
    ASSERT_EQ(RKFW_STATUS_OK,
              Ask(IOCTL_RKFW_LOAD_AUDIT_RULES, image.data(), (uint32_t)image.size(), nullptr, 0).status);
    std::vector<uint8_t> back(image.size());
    ASSERT_EQ(image.size(), Ask(IOCTL_STANDIN_GET_AUDIT_IMAGE, nullptr, 0, back.data(), (uint32_t)back.size()).returned);
    EXPECT_EQ(image, back);
  }
  STANDIN_STATUS status = Status();
  EXPECT_EQ(3u, status.IpLoads);
  EXPECT_EQ(3u, status.AuditLoads);
  EXPECT_EQ(0u, status.RefusedImages);
}

TEST_F(CoreTest, NothingLoadedAnswersNoBytes) {
  uint8_t out[64];
  EXPECT_EQ(0u, Ask(IOCTL_STANDIN_GET_IP_IMAGE, nullptr, 0, out, sizeof(out)).returned);
  EXPECT_EQ(0u, Ask(IOCTL_STANDIN_GET_AUDIT_IMAGE, nullptr, 0, out, sizeof(out)).returned);
}

// Each damage turns a good image into one that must be refused; the image kept before stays.
TEST_F(CoreTest, MalformedIpImagesAreRefusedAndTheOldOneStays) {
  const std::vector<uint8_t> good = IpImage(2, true);
  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_RKFW_LOAD_IP_RULES, good.data(), (uint32_t)good.size(), nullptr, 0).status);
  const uint32_t size = (uint32_t)good.size();
  // Groups from byte 36: IP empty at 0, ICMP with one rule at 4, IGMP empty at 108, TCP with
  // two rules at 112 (entries from 116), UDP at 316; extra area (40 bytes) at 320.
  struct Damage {
    const char* what;
    void (*apply)(std::vector<uint8_t>&);
  };
  const Damage damages[] = {
      {"size dword", [](std::vector<uint8_t>& i) { Put32(i, 0, (uint32_t)i.size() + 1); }},
      {"trailing byte", [](std::vector<uint8_t>& i) { i.back() = 1; }},
      {"extra size", [](std::vector<uint8_t>& i) { Put32(i, 28, 12); }},
      {"extra offset", [](std::vector<uint8_t>& i) { Put32(i, 32, 0xFFFFFFF0u); }},
      {"group slot", [](std::vector<uint8_t>& i) { Put32(i, 8, 0x7FFFFFFFu); }},
      {"group at extra", [](std::vector<uint8_t>& i) { Put32(i, 12, 20 + 100 * 3 - 2); }},
      {"rule count", [](std::vector<uint8_t>& i) { Put32(i, 36 + 12 + 100, 4); }},
      {"huge count", [](std::vector<uint8_t>& i) { Put32(i, 36 + 12 + 100, 0x80000001u); }},
      {"list offset", [](std::vector<uint8_t>& i) { Put32(i, 36 + 12 + 100 + 4 + 46 + 5, 33); }},
      {"list length", [](std::vector<uint8_t>& i) { Put32(i, 36 + 12 + 100 + 4 + 46 + 1, 11); }},
      {"list wraps", [](std::vector<uint8_t>& i) { Put32(i, 36 + 12 + 100 + 4 + 46 + 1, 0x40000001u); }},
      {"match kind", [](std::vector<uint8_t>& i) { i[36 + 12 + 100 + 4 + 28] = 3; }},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    d.apply(bad);
    EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_LOAD_IP_RULES, bad.data(), size, nullptr, 0).status)
        << d.what;
  }
  // Shorter than the input length says, or shorter than an empty image.
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_LOAD_IP_RULES, good.data(), size - 1, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_LOAD_IP_RULES, good.data(), 3, nullptr, 0).status);
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_LOAD_IP_RULES, nullptr, size, nullptr, 0).status);
  EXPECT_EQ(sizeof(damages) / sizeof(damages[0]) + 3, Status().RefusedImages);
  std::vector<uint8_t> back(size);
  Ask(IOCTL_STANDIN_GET_IP_IMAGE, nullptr, 0, back.data(), size);
  EXPECT_EQ(good, back);
}

TEST_F(CoreTest, MalformedAuditImagesAreRefused) {
  const std::vector<uint8_t> good = AuditImage(2);
  const uint32_t size = (uint32_t)good.size();
  ASSERT_EQ(RKFW_STATUS_OK, Ask(IOCTL_RKFW_LOAD_AUDIT_RULES, good.data(), size, nullptr, 0).status);
  const size_t second = 24 + 158;  // the second record's stored bytes
  struct Damage {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const Damage damages[] = {
      {"size dword", 0, size - 1},
      {"record count", 8, 3},
      {"huge count", 8, 0x7FFFFFFFu},
      {"records offset", 12, 2},
      {"extra size", 16, 0},
      {"extra offset", 20, 158},
      {"path offset", second + 4, 0x1000},
      {"path at the end of the area", second + 4, (uint32_t)(size - 25 - 316)},
      {"list offset", second + 77 + 5, 0xFFFFFFFEu},
      {"list length", second + 77 + 1, 100},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    Put32(bad, d.at, d.value);
    EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, Ask(IOCTL_RKFW_LOAD_AUDIT_RULES, bad.data(), size, nullptr, 0).status)
        << d.what;
  }
  // The path text must end inside the extra area, not on the image's closing zero.
  std::vector<uint8_t> unterminated = good;
  const uint32_t extraSize = size - 25 - 2 * 158;
  Put32(unterminated, second + 4, extraSize - 1);
  unterminated[size - 2] = 'x';
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER,
            Ask(IOCTL_RKFW_LOAD_AUDIT_RULES, unterminated.data(), size, nullptr, 0).status);
  std::vector<uint8_t> back(size);
  Ask(IOCTL_STANDIN_GET_AUDIT_IMAGE, nullptr, 0, back.data(), size);
  EXPECT_EQ(good, back);
}

}  // namespace
