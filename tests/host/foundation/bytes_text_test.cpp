#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/bytes.h"
#include "base/result.h"
#include "base/text.h"

namespace {

std::string Hex(const char* s) {
  std::string out;
  char b[4];
  for (const char* p = s; *p; ++p) {
    snprintf(b, sizeof b, "%02x ", static_cast<uint8_t>(*p));
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

TEST(Gbk, LiteralsAreGbkBytesAtRunTime) {
  EXPECT_EQ(Hex("初始化防火墙组件失败!"),
            "b3 f5 ca bc bb af b7 c0 bb f0 c7 bd d7 e9 bc fe ca a7 b0 dc 21");
  EXPECT_EQ(strlen("错误"), 4u);
}

TEST(ResultCodes, KeepTheirNumbers) {
  const uint32_t codes[] = {RESULT_OK, RESULT_FAILED, RESULT_UNSUPPORTED_PLATFORM,
                            RESULT_SERVICE_LIBRARY_MISSING, RESULT_DRIVER_NOT_OPEN,
                            RESULT_DEVICE_OPEN_FAILED, RESULT_SERVICE_NOT_RUNNING,
                            RESULT_SERVICE_NOT_ACCESSIBLE, RESULT_SERVICE_NOT_INSTALLED,
                            RESULT_FILE_OPEN_FAILED, RESULT_IP_RULE_NOT_FOUND,
                            RESULT_AUDIT_RULE_NOT_FOUND, RESULT_NO_AUTO_VERDICT};
  const uint32_t numbers[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) EXPECT_EQ(codes[i], numbers[i]);
}

TEST(ByteOrder, LittleEndianFieldsAndNetworkOrder) {
  uint8_t b[8];
  StoreLe32(b, 0x04030201);
  EXPECT_EQ(memcmp(b, "\x01\x02\x03\x04", 4), 0);
  StoreLe64(b, 0x0807060504030201ULL);
  EXPECT_EQ(memcmp(b, "\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0);
  EXPECT_EQ(LoadLe16(b + 6), 0x0807);
  EXPECT_EQ(LoadLe64(b), 0x0807060504030201ULL);
  EXPECT_EQ(HostToNet16(80), 0x5000);  // port 80 as stored in rules and events
  EXPECT_EQ(NetToHost32(0x0100000A), 0x0A000001u);  // 10.0.0.1 as stored
}

TEST(ByteOrder, RangeInsideNeverWraps) {
  EXPECT_TRUE(RangeInside(0, 0, 0));
  EXPECT_TRUE(RangeInside(4, 4, 8));
  EXPECT_FALSE(RangeInside(5, 4, 8));
  EXPECT_FALSE(RangeInside(0xFFFFFFF0u, 0x20, 16));
  EXPECT_FALSE(RangeInside(4, 0xFFFFFFFFu, 8));
}

TEST(ByteReader, EveryTruncationFailsStickyAndReadsZeros) {
  const uint8_t data[] = {1, 0, 2, 0, 0, 0, 7};
  for (uint32_t size = 0; size <= sizeof data; ++size) {
    CByteReader r(data, size);
    uint16_t a = r.U16();
    uint32_t b = r.U32();
    uint8_t c = r.U8();
    if (size == sizeof data) {
      EXPECT_TRUE(r.ok());
      EXPECT_EQ(a, 1);
      EXPECT_EQ(b, 2u);
      EXPECT_EQ(c, 7);
    } else {
      EXPECT_FALSE(r.ok()) << size;
      EXPECT_EQ(r.U8(), 0) << "stays failed";
    }
  }
  CByteReader r(data, sizeof data);
  EXPECT_FALSE(r.Seek(8));
  EXPECT_FALSE(r.ok());
}

TEST(ByteWriter, StopsAtTheEndOfItsBuffer) {
  uint8_t out[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  CByteWriter w(out, 5);
  w.U32(0x11223344);
  w.U16(0x5566);  // does not fit: nothing of it is written
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(out[4], 0xAA);
  EXPECT_EQ(out[5], 0xAA);
}

TEST(Text, CopyAndFormatNeverSplitADoubleByteCharacter) {
  char small[4];
  EXPECT_EQ(CopyText(small, sizeof small, "a错误"), 3u);  // "a" + one whole character
  EXPECT_STREQ(small, "a错");
  EXPECT_EQ(CopyText(small, sizeof small, "ab错"), 2u);  // the character would be cut
  EXPECT_STREQ(small, "ab");
  char out[6];
  EXPECT_EQ(FormatText(out, sizeof out, "%d%s", 12, "提示"), 4u);
  EXPECT_STREQ(out, "12提");
  EXPECT_EQ(AppendText(out, sizeof out, "%s", "x"), 5u);
  EXPECT_STREQ(out, "12提x");
  EXPECT_EQ(BoundedLength("abc", 2), 2u);
}

TEST(Text, CaseIsIgnoredForAsciiLettersOnly) {
  EXPECT_EQ(CompareTextIgnoringCase("C:\\Program Files\\App.EXE", "c:\\program files\\app.exe"), 0);
  EXPECT_NE(CompareTextIgnoringCase("a", "b"), 0);
  EXPECT_LT(CompareTextIgnoringCase("abc", "abcd"), 0);
  // 0x81 0x41 and 0x81 0x61 are two different GBK characters, not "A" and "a".
  EXPECT_NE(CompareTextIgnoringCase("\x81\x41", "\x81\x61"), 0);
  EXPECT_EQ(CompareTextIgnoringCase("D:\\软件\\QQ.exe", "d:\\软件\\qq.EXE"), 0);
  // A character whose trail byte is "\" ("\x95\x5c") does not end a folder.
  EXPECT_NE(CompareTextIgnoringCase("\x95\x5c" "a", "\x95\x5c" "b"), 0);
}

TEST(Text, AppendFormatKeepsWhatWasThereAndIsNeverCut) {
  std::string out = "a=";
  AppendFormat(out, "%u,%s", 12u, "x");
  EXPECT_EQ(out, "a=12,x");
  AppendFormat(out, "%s", "");
  EXPECT_EQ(out, "a=12,x");
  std::string wide(5000, 'w');
  AppendFormat(out, "[%s]", wide.c_str());
  EXPECT_EQ(out, "a=12,x[" + wide + "]");
}

TEST(Text, NumbersAreWholeDecimalOrHexTextsWithinTheirLimit) {
  uint64_t v = 0;
  EXPECT_TRUE(ParseNumberText("0", 10, &v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(ParseNumberText("0x4D53000A", 0xFFFFFFFFu, &v));
  EXPECT_EQ(v, 0x4D53000Au);
  EXPECT_TRUE(ParseNumberText("4294967295", 0xFFFFFFFFu, &v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_TRUE(ParseNumberText("18446744073709551615", UINT64_MAX, &v));
  EXPECT_EQ(v, UINT64_MAX);
  v = 7;
  for (const char* bad : {"", "0x", "-1", "+1", " 1", "1 ", "12a", "0x1g", "1.5"})
    EXPECT_FALSE(ParseNumberText(bad, UINT64_MAX, &v)) << '"' << bad << '"';
  // One past the limit, and past 64 bits, fail instead of wrapping or saturating.
  EXPECT_FALSE(ParseNumberText("4294967296", 0xFFFFFFFFu, &v));
  EXPECT_FALSE(ParseNumberText("0x100000000", 0xFFFFFFFFu, &v));
  EXPECT_FALSE(ParseNumberText("18446744073709551616", UINT64_MAX, &v));
  EXPECT_FALSE(ParseNumberText("99999999999999999999999", UINT64_MAX, &v));
  EXPECT_EQ(v, 7u) << "a failed parse leaves the value alone";
}

}  // namespace
