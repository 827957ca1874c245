// The console's side of the driver protocol, against a scripted device: what each wrapper
// sends, and what it makes of full, short, oversized and failed answers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "driver/rkfw.h"
#include "platform/device.h"
#include "platform/heap.h"

namespace {

struct Request {
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outSize;
};

// One scripted answer per code: the bytes the device writes (cut to the buffer, as a driver
// that honours the buffer would) and the count it claims to have written.
struct Answer {
  std::vector<uint8_t> bytes;
  bool ok = true;
  int64_t claimed = -1;  // -1: the number of bytes written
};

struct FakeDevice {
  std::vector<Request> requests;
  std::map<uint32_t, Answer> answers;
  int opens = 0;
  bool present = true;
};
FakeDevice* g_fake = nullptr;

bool FakeOpen(const char* name) {
  ++g_fake->opens;
  return g_fake->present && strcmp(name, RKFW_NT_DEVICE_NAME) == 0;
}

bool FakeControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* returned) {
  const auto* bytes = static_cast<const uint8_t*>(in);
  g_fake->requests.push_back({code, std::vector<uint8_t>(bytes, bytes + inSize), outSize});
  auto it = g_fake->answers.find(code);
  if (it == g_fake->answers.end()) {
    *returned = 0;
    return true;
  }
  const Answer& a = it->second;
  uint32_t n = static_cast<uint32_t>(a.bytes.size()) < outSize ? static_cast<uint32_t>(a.bytes.size()) : outSize;
  if (n) memcpy(out, a.bytes.data(), n);
  *returned = a.claimed >= 0 ? static_cast<uint32_t>(a.claimed) : n;
  return a.ok;
}

const CHostDeviceBackend kBackend = {FakeOpen, FakeControl};

std::vector<uint8_t> Dwords(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out(values.size() * 4);
  size_t i = 0;
  for (uint32_t v : values) StoreLe32(&out[4 * i++], v);
  return out;
}

class DriverLink : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake;
    SetHostDeviceBackend(&kBackend);
    ResetDriverLinkForTests();
  }
  void TearDown() override {
    ResetDriverLinkForTests();
    SetHostDeviceBackend(nullptr);
    g_fake = nullptr;
  }
  void Open() {
    ASSERT_EQ(DetectPlatform(), RESULT_OK);
    ASSERT_EQ(OpenDriver(1), RESULT_OK);
    fake.requests.clear();
  }
  FakeDevice fake;
};

TEST_F(DriverLink, OpenDriverNeedsThePlatformAndOpensOnce) {
  EXPECT_EQ(OpenDriver(1), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(fake.opens, 0);
  ASSERT_EQ(DetectPlatform(), RESULT_OK);
  EXPECT_TRUE(IsNtPlatform());
  EXPECT_EQ(OpenDriver(1), RESULT_OK);
  EXPECT_EQ(OpenDriver(1), RESULT_OK);
  EXPECT_EQ(fake.opens, 1);
  EXPECT_TRUE(DriverIsOpen());
}

TEST_F(DriverLink, AFailedFirstOpenIsNotRetried) {
  fake.present = false;
  ASSERT_EQ(DetectPlatform(), RESULT_OK);
  EXPECT_EQ(OpenDriver(1), RESULT_DEVICE_OPEN_FAILED);
  fake.present = true;
  EXPECT_EQ(OpenDriver(1), RESULT_OK);  // the cell exists: nothing is tried again
  EXPECT_EQ(fake.opens, 1);
  EXPECT_FALSE(DriverIsOpen());
  uint8_t enabled = 0;
  EXPECT_EQ(GetFilterEnabled(&enabled), RESULT_DRIVER_NOT_OPEN);
}

TEST_F(DriverLink, EveryWrapperAnswersFiveWithoutARequestWhenNotOpen) {
  _RKFW_STATISTICS stats;
  uint32_t v = 0, capacity = 0, tcp = 0, udp = 0;
  uint8_t enabled = 0;
  ProcessBlock block = {};
  strcpy(block.Name, "a.exe");
  _textPtr path;
  _bytePtr batch;
  _REPORT_EVENT_HEAD record = {};
  uint8_t image[8] = {8};
  _RKFW_NETWORKCONNECTION rows[1];
  EXPECT_EQ(GetTrafficStats(&stats), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(GetDriverVersion(&v), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(GetConnections(nullptr, &capacity, &tcp, &udp), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(GetFilterEnabled(&enabled), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(SetFilterEnabled(1), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(LoadIpRuleSet(image, sizeof image), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(LoadAuditRuleSet(image, sizeof image), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(ReadEvents(&batch, &v), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(SendVerdict(&record), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(CloseConnection(7), RESULT_DRIVER_NOT_OPEN);
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(DriverLink, FixedSizeAnswersMustBeComplete) {
  Open();
  std::vector<uint8_t> stats(64);
  StoreLe64(&stats[0], 1234567890123ULL);
  StoreLe64(&stats[8], 42);
  stats[63] = 0x5A;
  fake.answers[IOCTL_RKFW_GET_TRAFFIC_STATS].bytes = stats;
  _RKFW_STATISTICS s;
  EXPECT_EQ(GetTrafficStats(&s), RESULT_OK);
  EXPECT_EQ(s.TotalSent, 1234567890123ULL);
  EXPECT_EQ(s.TotalReceived, 42u);
  EXPECT_EQ(s.Reserved[47], 0x5A);  // kept as it came
  fake.answers[IOCTL_RKFW_GET_TRAFFIC_STATS].bytes.resize(63);
  EXPECT_EQ(GetTrafficStats(&s), RESULT_FAILED);

  uint32_t version = 0;
  fake.answers[IOCTL_RKFW_GET_VERSION].bytes = {0x02, 0x00};  // one byte is enough
  EXPECT_EQ(GetDriverVersion(&version), RESULT_OK);
  EXPECT_EQ(version, 2u);
  fake.answers[IOCTL_RKFW_GET_VERSION].bytes.clear();
  EXPECT_EQ(GetDriverVersion(&version), RESULT_FAILED);

  uint8_t enabled = 7;
  fake.answers[IOCTL_RKFW_GET_ENABLED].bytes = Dwords({5});
  EXPECT_EQ(GetFilterEnabled(&enabled), RESULT_OK);
  EXPECT_EQ(enabled, 1);
  fake.answers[IOCTL_RKFW_GET_ENABLED].bytes = {1, 0, 0};
  enabled = 7;
  EXPECT_EQ(GetFilterEnabled(&enabled), RESULT_FAILED);
  EXPECT_EQ(enabled, 7);  // a short answer changes nothing
  fake.answers[IOCTL_RKFW_GET_ENABLED] = Answer{Dwords({1}), false};
  EXPECT_EQ(GetFilterEnabled(&enabled), RESULT_FAILED);

  uint32_t capacity = 0, tcp = 0, udp = 0;
  fake.answers[IOCTL_RKFW_GET_CONNECTION_COUNTS].bytes = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0};
  EXPECT_EQ(GetConnections(nullptr, &capacity, &tcp, &udp), RESULT_FAILED);
}

TEST_F(DriverLink, SetFilterEnabledSendsOneForAnyNonZero) {
  Open();
  EXPECT_EQ(SetFilterEnabled(2), RESULT_OK);
  EXPECT_EQ(SetFilterEnabled(0), RESULT_OK);
  fake.answers[IOCTL_RKFW_SET_ENABLED].ok = false;
  EXPECT_EQ(SetFilterEnabled(1), RESULT_OK);  // the answer is ignored
  ASSERT_EQ(fake.requests.size(), 3u);
  EXPECT_EQ(fake.requests[0].code, IOCTL_RKFW_SET_ENABLED);
  EXPECT_EQ(fake.requests[0].input, Dwords({1}));
  EXPECT_EQ(fake.requests[1].input, Dwords({0}));
}

std::vector<uint8_t> Batch(uint32_t claimedLength, uint32_t records) {
  std::vector<uint8_t> out(4 + records * RKFW_EVENT_SIZE);
  StoreLe32(out.data(), claimedLength);
  for (uint32_t i = 0; i < records; ++i) {
    StoreLe32(&out[4 + i * RKFW_EVENT_SIZE + 8], 1);      // kind
    StoreLe32(&out[4 + i * RKFW_EVENT_SIZE + 36], i + 1);  // rule id
  }
  return out;
}

TEST_F(DriverLink, ReadEventsCountsWholeRecordsInsideTheAnswer) {
  Open();
  struct Row {
    uint32_t claimed, present, expected;
  } rows[] = {
      {0, 0, 0}, {219, 1, 0}, {220, 1, 1}, {440, 2, 2}, {659, 3, 2},
      {8188, 37, 37},
      {60000, 37, 37},  // a claim beyond the buffer counts only what fits
      {440, 1, 1},      // a claim beyond what was returned counts only what came
  };
  for (const Row& r : rows) {
    fake.answers[IOCTL_RKFW_READ_EVENTS].bytes = Batch(r.claimed, r.present);
    _bytePtr batch;
    uint32_t count = 99;
    EXPECT_EQ(ReadEvents(&batch, &count), RESULT_OK);
    EXPECT_EQ(count, r.expected) << r.claimed;
    EXPECT_EQ(batch.Length(), r.expected * RKFW_EVENT_SIZE);
    for (uint32_t i = 0; i < r.expected; ++i)
      EXPECT_EQ(LoadLe32(batch.Data() + i * RKFW_EVENT_SIZE + 36), i + 1);
  }
  EXPECT_EQ(fake.requests.back().outSize, RKFW_EVENT_BATCH_SIZE);
  fake.answers[IOCTL_RKFW_READ_EVENTS] = Answer{Batch(440, 2), false};
  _bytePtr batch;
  uint32_t count = 9;
  EXPECT_EQ(ReadEvents(&batch, &count), RESULT_OK);  // a failed request is an empty batch
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(batch.Valid());
}

TEST_F(DriverLink, ReadEventsNeverTrustsAClaimedByteCountBeyondItsBuffer) {
  Open();
  fake.answers[IOCTL_RKFW_READ_EVENTS] = Answer{Batch(8188, 37), true, 1 << 20};
  _bytePtr batch;
  uint32_t count = 0;
  EXPECT_EQ(ReadEvents(&batch, &count), RESULT_OK);
  EXPECT_EQ(count, 37u);
}

std::vector<uint8_t> Table(uint32_t claimed, uint32_t rows) {
  std::vector<uint8_t> out(4 + rows * RKFW_CONNECTION_SIZE);
  StoreLe32(out.data(), claimed);
  for (uint32_t i = 0; i < rows; ++i) StoreLe32(&out[4 + i * RKFW_CONNECTION_SIZE + 72], 100 + i);
  return out;
}

TEST_F(DriverLink, GetConnectionsCountsThenCopiesAtMostTheCapacity) {
  Open();
  fake.answers[IOCTL_RKFW_GET_CONNECTION_COUNTS].bytes = Dwords({3, 2, 1});
  fake.answers[IOCTL_RKFW_GET_CONNECTIONS].bytes = Table(3 * 172, 3);
  uint32_t capacity = 0, tcp = 0, udp = 0;
  EXPECT_EQ(GetConnections(nullptr, &capacity, &tcp, &udp), RESULT_OK);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(tcp, 2u);
  EXPECT_EQ(udp, 1u);
  EXPECT_EQ(fake.requests.size(), 1u);  // the counting call asks for no table

  _RKFW_NETWORKCONNECTION rows[3];
  memset(rows, 0xEE, sizeof rows);
  capacity = 2;
  EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_OK);
  EXPECT_EQ(capacity, 2u);
  EXPECT_EQ(rows[0].Key, 100u);
  EXPECT_EQ(rows[1].Key, 101u);
  EXPECT_EQ(rows[2].Key, 0xEEEEEEEEu);  // nothing beyond the capacity
  EXPECT_EQ(fake.requests.back().code, IOCTL_RKFW_GET_CONNECTIONS);
  EXPECT_EQ(fake.requests.back().outSize, 2u * 172 + 8);  // room for the capacity only

  // A claimed length beyond the rows returned, with room left, is a torn answer: the caller
  // keeps what it had.
  for (uint32_t claimed : {100000u, 2u * 172}) {
    fake.answers[IOCTL_RKFW_GET_CONNECTIONS].bytes = Table(claimed, 1);
    memset(rows, 0xEE, sizeof rows);
    capacity = 3;
    EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_FAILED) << claimed;
    EXPECT_EQ(rows[0].Key, 0xEEEEEEEEu) << claimed;
  }
  // A shorter table than counted a moment ago is whole: the caller learns how many rows came.
  fake.answers[IOCTL_RKFW_GET_CONNECTIONS].bytes = Table(172, 1);
  capacity = 3;
  EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_OK);
  EXPECT_EQ(rows[0].Key, 100u);
  EXPECT_EQ(capacity, 1u);

  fake.answers[IOCTL_RKFW_GET_CONNECTIONS].bytes = Table(0, 3);
  EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_FAILED);
}

// A driver claiming 12 million rows once made every refresh ask for 2 GB (or throw).
TEST_F(DriverLink, ARowCountClaimOfMillionsOffersOnlyTheCapacity) {
  Open();
  fake.answers[IOCTL_RKFW_GET_CONNECTION_COUNTS].bytes = Dwords({12000000, 1, 1});
  fake.answers[IOCTL_RKFW_GET_CONNECTIONS].bytes = Table(2 * 172, 2);
  _RKFW_NETWORKCONNECTION rows[4];
  memset(rows, 0xEE, sizeof rows);
  uint32_t capacity = 4, tcp = 0, udp = 0;
  EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_OK);
  EXPECT_EQ(fake.requests.back().outSize, 4u * 172 + 8);
  EXPECT_EQ(rows[1].Key, 101u);
  EXPECT_EQ(rows[2].Key, 0xEEEEEEEEu);

  // Even a caller claiming boundless room gets a bounded request, and no exception.
  capacity = 0xFFFFFFFFu;
  EXPECT_NO_THROW(EXPECT_EQ(GetConnections(rows, &capacity, &tcp, &udp), RESULT_OK));
  EXPECT_LE(fake.requests.back().outSize, 0x10000u * 172 + 8);
}

TEST_F(DriverLink, ProcessPathFromTheDriverIsCutAndTerminated) {
  Open();
  ProcessBlock block = {};
  memcpy(block.Name, "abcdefghijklmnopqrstuvwxyz", 26);  // fills the field, no terminator
  block.DriverKey = 0x1234;
  fake.answers[IOCTL_RKFW_GET_PROCESS_PATH].bytes.assign(2000, 'p');
  _textPtr path;
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);
  EXPECT_EQ(path.Length(), 1024u);
  EXPECT_EQ(strlen(path.Data()), 1023u);
  ASSERT_EQ(fake.requests.size(), 1u);
  EXPECT_EQ(fake.requests[0].input, Dwords({0x1234}));
  EXPECT_EQ(fake.requests[0].outSize, 1024u);

  fake.answers[IOCTL_RKFW_GET_PROCESS_PATH].bytes = {'C', ':', '\\', 'a', 0, 'x'};
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);
  EXPECT_STREQ(path.Data(), "C:\\a");
  fake.answers[IOCTL_RKFW_GET_PROCESS_PATH].bytes.clear();
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);
  EXPECT_STREQ(path.Data(), "");
}

TEST_F(DriverLink, ProcessPathWithoutANameOrByProcessId) {
  ProcessBlock block = {};
  _textPtr path;
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);  // needs no device at all
  EXPECT_STREQ(path.Data(), "Unknown");
  Open();
  block.NameSource = 1;
  block.ProcessId = 1234;
  strcpy(block.Name, "svc.exe");
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);
  EXPECT_STREQ(path.Data(), "svc.exe(1234d,4d2)");
  strcpy(block.Name, "SYSTEM");
  EXPECT_EQ(GetProcessPath(&block, &path), RESULT_OK);
  EXPECT_STREQ(path.Data(), "System");
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(DriverLink, RuleImagesGoWithTheirOwnLengthAndNeverBeyondTheBuffer) {
  Open();
  uint8_t image[12] = {};
  StoreLe32(image, 10);
  image[9] = 0x77;
  EXPECT_EQ(LoadIpRuleSet(image, sizeof image), RESULT_OK);
  ASSERT_EQ(fake.requests.size(), 1u);
  EXPECT_EQ(fake.requests[0].code, IOCTL_RKFW_LOAD_IP_RULES);
  EXPECT_EQ(fake.requests[0].input.size(), 10u);
  EXPECT_EQ(fake.requests[0].input[9], 0x77);
  EXPECT_EQ(LoadAuditRuleSet(image, sizeof image), RESULT_OK);
  EXPECT_EQ(fake.requests[1].code, IOCTL_RKFW_LOAD_AUDIT_RULES);
  fake.answers[IOCTL_RKFW_LOAD_AUDIT_RULES].ok = false;
  EXPECT_EQ(LoadAuditRuleSet(image, sizeof image), RESULT_FAILED);
  StoreLe32(image, 13);  // claims more than the buffer holds
  EXPECT_EQ(LoadIpRuleSet(image, sizeof image), RESULT_FAILED);
  EXPECT_EQ(fake.requests.size(), 3u);
}

TEST_F(DriverLink, VerdictAndCloseSendTheirBytesAndIgnoreTheAnswer) {
  Open();
  _REPORT_EVENT_HEAD record = {};
  record.Kind = RKFW_EVENT_APP_ASK;
  record.Verdict = RKFW_VERDICT_BLOCK;
  fake.answers[IOCTL_RKFW_SEND_VERDICT].ok = false;
  EXPECT_EQ(SendVerdict(&record), RESULT_OK);
  EXPECT_EQ(CloseConnection(0xABCD), RESULT_OK);
  ASSERT_EQ(fake.requests.size(), 2u);
  EXPECT_EQ(fake.requests[0].input.size(), 220u);
  EXPECT_EQ(LoadLe32(&fake.requests[0].input[12]), 1u);
  EXPECT_EQ(fake.requests[1].code, IOCTL_RKFW_CLOSE_CONNECTION);
  EXPECT_EQ(fake.requests[1].input, Dwords({0xABCD}));
}

TEST(DriverProtocol, CodesHaveTheirNumbers) {
  EXPECT_EQ(IOCTL_RKFW_GET_TRAFFIC_STATS, 0x122068u);
  EXPECT_EQ(IOCTL_RKFW_GET_VERSION, 0x12206Cu);
  EXPECT_EQ(IOCTL_RKFW_GET_CONNECTION_COUNTS, 0x122070u);
  EXPECT_EQ(IOCTL_RKFW_GET_CONNECTIONS, 0x122074u);
  EXPECT_EQ(IOCTL_RKFW_GET_PROCESS_PATH, 0x122078u);
  EXPECT_EQ(IOCTL_RKFW_GET_ENABLED, 0x12207Cu);
  EXPECT_EQ(IOCTL_RKFW_SET_ENABLED, 0x122080u);
  EXPECT_EQ(IOCTL_RKFW_LOAD_IP_RULES, 0x122084u);
  EXPECT_EQ(IOCTL_RKFW_LOAD_AUDIT_RULES, 0x12208Cu);
  EXPECT_EQ(IOCTL_RKFW_READ_EVENTS, 0x122090u);
  EXPECT_EQ(IOCTL_RKFW_SEND_VERDICT, 0x122094u);
  EXPECT_EQ(IOCTL_RKFW_CLOSE_CONNECTION, 0x12209Cu);
}

}  // namespace
