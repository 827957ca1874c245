#include "log/formatters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "platform/machine.h"
#include "tests/host/log/event_bytes.h"

namespace {
std::string S(const _textPtr& t) { return t.Data(); }

class ComputerName : public ::testing::Test {
 protected:
  void TearDown() override { SetComputerNameOverride(nullptr); }
};

TEST_F(ComputerName, AddressZeroPrintsTheComputerPaddedOrNot) {
  char system[256];
  GetComputerNameText(system, sizeof system);
  EXPECT_EQ(S(FormatAddress(0, true)), system);
  EXPECT_EQ(S(FormatAddress(0, false)), system);
  SetComputerNameOverride("主机-7");
  EXPECT_EQ(S(FormatAddress(0, true)), "主机-7");
  EXPECT_EQ(S(FormatEndpoint(0, 0x5000)), "主机-7:80");
  SetComputerNameOverride(nullptr);
  EXPECT_EQ(S(FormatAddress(0, false)), system);
}

TEST(FormatAddress, OctetsFromTheLowestByte) {
  EXPECT_EQ(S(FormatAddress(Ip(10, 0, 0, 5), true)), " 10.  0.  0.  5");
  EXPECT_EQ(S(FormatAddress(Ip(10, 0, 0, 5), false)), "10.0.0.5");
  EXPECT_EQ(S(FormatAddress(Ip(255, 255, 255, 255), true)), "255.255.255.255");
  EXPECT_EQ(S(FormatAddress(Ip(0, 0, 0, 1), false)), "0.0.0.1");  // not address 0
}

TEST(FormatPort, SwapsFromNetworkOrder) {
  // Bytes 04 01 as they lie in a record, read as a little-endian word: 0x0104.
  EXPECT_EQ(S(FormatPort(0x0104, false)), "1025");
  EXPECT_EQ(S(FormatPort(0x0104, true)), "1025 ");
  EXPECT_EQ(S(FormatPort(0x5000, true)), "80   ");
  EXPECT_EQ(S(FormatPort(0xFFFF, false)), "65535");
  EXPECT_EQ(S(FormatPort(0, false)), "0");
}

TEST(FormatEndpoint, PaddedAddressColonUnpaddedPort) {
  EXPECT_EQ(S(FormatEndpoint(Ip(10, 0, 0, 1), 0x5000)), " 10.  0.  0.  1:80");
  EXPECT_EQ(S(FormatEndpoint(Ip(192, 168, 1, 20), 0x0104)), "192.168.  1. 20:1025");
}

TEST(FormatGroupedNumber, GroupsOfThreeFromTheRight) {
  const struct {
    int64_t value;
    const char* text;
  } rows[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {1234, "1,234"},
      {123456, "123,456"},
      {1234567, "1,234,567"},
      {1234567890123LL, "1,234,567,890,123"},
      {INT64_MAX, "9,223,372,036,854,775,807"},
      {-5, "-5"},
      {-123456, "-123,456"},
      {INT64_MIN, "-9,223,372,036,854,775,808"},
  };
  for (const auto& row : rows) EXPECT_EQ(S(FormatGroupedNumber(row.value)), row.text) << row.value;
}

TEST(FormatFileTimeStamp, LocalStampsPrintUnchanged) {
  EXPECT_EQ(S(FormatFileTimeStamp(kSampleTime, EventClock::Local)), "2002-07-05 09:03:07");
  EXPECT_EQ(S(FormatFileTimeStamp(0, EventClock::Local)), "1601-01-01 00:00:00");
  // Beyond what the calendar holds: zeros rather than garbage.
  EXPECT_EQ(S(FormatFileTimeStamp(UINT64_MAX, EventClock::Local)), "0000-00-00 00:00:00");
}

TEST(FormatFileTimeStamp, UtcStampsAreConvertedToTheLocalZone) {
  const char* old = getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "CST-8", 1);  // China Standard Time, no daylight saving
  tzset();
  EXPECT_EQ(S(FormatFileTimeStamp(kSampleTime, EventClock::Utc)), "2002-07-05 17:03:07");
  EXPECT_EQ(S(FormatFileTimeStamp(kSampleTime, EventClock::Local)), "2002-07-05 09:03:07");
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}
}  // namespace
