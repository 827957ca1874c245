// The rule file container: checksum, header checks, readers' failures, atomic writes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/paths.h"
#include "rule_helpers.h"
#include "rules/rulefile.h"
#include "rules/records.h"

namespace {

TEST(Checksum, CheckValuesOfTheDefinition) {
  EXPECT_EQ(RuleFileChecksum("", 0), 0xFFFFFFFFu);
  EXPECT_EQ(RuleFileChecksum("abc", 3), 0xBC7DDB53u);
  EXPECT_EQ(RuleFileChecksum("123456789", 9), 0x9B63D02Cu);
  EXPECT_EQ(RuleFileChecksumBitwise("abc", 3), 0xBC7DDB53u);
  EXPECT_EQ(RuleFileChecksumBitwise("123456789", 9), 0x9B63D02Cu);
}

TEST(Checksum, TableFormEqualsBitSerialOnEveryLengthAndByte) {
  std::vector<uint8_t> data(1031);
  uint32_t seed = 12345;
  for (uint8_t& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  // Every length up to three blocks of lanes and on, from every start within a word.
  for (uint32_t start = 0; start < 4; ++start)
    for (uint32_t n = 0; n <= data.size() - start; n += (n < 64 ? 1 : 97))
      ASSERT_EQ(RuleFileChecksum(data.data() + start, n), RuleFileChecksumBitwise(data.data() + start, n))
          << start << " " << n;
  for (int b = 0; b < 256; ++b) {
    uint8_t one = static_cast<uint8_t>(b);
    ASSERT_EQ(RuleFileChecksum(&one, 1), RuleFileChecksumBitwise(&one, 1)) << b;
  }
}

// reverse32(crc32 ^ 0xFFFFFFFF) with zlib's reflected CRC-32, an independent definition.
uint32_t ReflectedCrc32(const uint8_t* p, uint32_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}
uint32_t Reverse32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}

TEST(Checksum, IsTheBitReversalOfTheComplementedStandardCrc) {
  const uint8_t text[] = "The console's rule files";
  uint32_t n = sizeof text - 1;
  EXPECT_EQ(RuleFileChecksum(text, n), Reverse32(ReflectedCrc32(text, n) ^ 0xFFFFFFFFu));
}

class Container : public ::testing::Test {
 protected:
  void SetUp() override { ResetCaches(); }
  // A valid rule file with one TCP rule.
  std::vector<uint8_t> OneRuleFile() {
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "web", "http");
    rule.RemotePort = MakeSingle(Port(80));
    rules.Append(rule);
    std::string path = ScratchPath("one.rul");
    EXPECT_EQ(WriteRuleFile(path.c_str(), rules), RESULT_OK);
    ReleaseRules(rules);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadBytes(path, &bytes));
    return bytes;
  }
  uint32_t ReadRules(const std::vector<uint8_t>& bytes, uint32_t* count = nullptr) {
    std::string path = ScratchPath("probe.rul");
    EXPECT_TRUE(WriteBytes(path, bytes));
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    uint32_t result = ReadRuleFile(path.c_str(), rules);
    if (count) *count = static_cast<uint32_t>(rules.Count);
    ReleaseRules(rules);
    return result;
  }
};

TEST_F(Container, EmptySetsWriteHeaderAndKnownBodies) {
  _Array<_RKFW_RULE> rules;
  std::string path = ScratchPath("empty.rul");
  ASSERT_EQ(WriteRuleFile(path.c_str(), rules), RESULT_OK);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  ASSERT_EQ(bytes.size(), 16u + 72u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RKFA");
  EXPECT_EQ(Dword(bytes, 4), 256u);
  EXPECT_EQ(Dword(bytes, 8), 72u);
  EXPECT_EQ(Dword(bytes, 12), RuleFileChecksum(bytes.data() + 16, 72));

  _Array<_RKFW_AUDIT_RULE> audit;
  std::string auditPath = ScratchPath("empty.aud");
  ASSERT_EQ(WriteAuditFile(auditPath.c_str(), audit), RESULT_OK);
  ASSERT_TRUE(ReadBytes(auditPath, &bytes));
  EXPECT_EQ(bytes.size(), 16u + 25u);
  EXPECT_EQ(Dword(bytes, 8), 25u);
  ASSERT_EQ(ReadAuditFile(auditPath.c_str(), audit), RESULT_OK);
  EXPECT_EQ(audit.Count, 0);
}

TEST_F(Container, DamagedFilesReadAsOneAndLoadNothing) {
  std::vector<uint8_t> good = OneRuleFile();
  uint32_t count = 99;
  ASSERT_EQ(ReadRules(good, &count), RESULT_OK);
  EXPECT_EQ(count, 1u);

  for (uint32_t n = 0; n < good.size(); ++n) {  // every truncation
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    ASSERT_EQ(ReadRules(cut, &count), RESULT_FAILED) << n;
    ASSERT_EQ(count, 0u);
  }
  std::vector<uint8_t> zero = good;
  StoreLe32(zero.data() + 8, 0);
  EXPECT_EQ(ReadRules(zero), RESULT_FAILED);
  std::vector<uint8_t> beyond = good;
  StoreLe32(beyond.data() + 8, static_cast<uint32_t>(good.size()));  // 16 more than there are
  EXPECT_EQ(ReadRules(beyond), RESULT_FAILED);
  for (uint32_t at = 16; at < good.size(); at += 7) {  // one flipped body byte
    std::vector<uint8_t> flipped = good;
    flipped[at] ^= 0x20;
    ASSERT_EQ(ReadRules(flipped, &count), RESULT_FAILED) << at;
    ASSERT_EQ(count, 0u);
  }
}

TEST_F(Container, HugeOrNegativeLengthsFailBeforeAnyAllocation) {
  std::vector<uint8_t> good = OneRuleFile();
  for (uint32_t length : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu}) {
    std::vector<uint8_t> bad = good;
    StoreLe32(bad.data() + 8, length);
    int32_t before = PlatformLiveBlocks();
    EXPECT_EQ(ReadRules(bad), RESULT_FAILED) << length;
    EXPECT_EQ(PlatformLiveBlocks(), before);
  }
}

TEST_F(Container, MagicMattersOnlyToTheAuditReaderAndVersionToNeither) {
  std::vector<uint8_t> rules = OneRuleFile();
  rules[0] = 'X';
  StoreLe32(rules.data() + 4, 7);
  uint32_t count = 0;
  EXPECT_EQ(ReadRules(rules, &count), RESULT_OK);
  EXPECT_EQ(count, 1u);

  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  audit.Append(MakeAuditRule("C:\\app.exe", 5));
  std::string path = ScratchPath("one.aud");
  ASSERT_EQ(WriteAuditFile(path.c_str(), audit), RESULT_OK);
  ReleaseAuditRules(audit);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  StoreLe32(bytes.data() + 4, 0x200);
  ASSERT_TRUE(WriteBytes(path, bytes));
  EXPECT_EQ(ReadAuditFile(path.c_str(), audit), RESULT_OK);
  EXPECT_EQ(audit.Count, 1);
  ReleaseAuditRules(audit);
  bytes[3] = 'B';
  ASSERT_TRUE(WriteBytes(path, bytes));
  EXPECT_EQ(ReadAuditFile(path.c_str(), audit), RESULT_FAILED);
  EXPECT_EQ(audit.Count, 0);
}

TEST_F(Container, MissingFilesAndFoldersGiveTheirCodes) {
  _Array<_RKFW_RULE> rules;
  std::string missing = ScratchPath("nothing.rul");
  EXPECT_EQ(ReadRuleFile(missing.c_str(), rules), RESULT_FILE_OPEN_FAILED);
  _Array<_RKFW_AUDIT_RULE> audit;
  EXPECT_EQ(ReadAuditFile(missing.c_str(), audit), RESULT_FILE_OPEN_FAILED);

  std::string inMissingFolder = ScratchPath("no_such_folder") + "/x.rul";
  EXPECT_EQ(WriteRuleFile(inMissingFolder.c_str(), rules), RESULT_FAILED);
  EXPECT_FALSE(FileExists(inMissingFolder.c_str()));
  EXPECT_FALSE(FileExists((inMissingFolder + ".new").c_str()));
  EXPECT_EQ(WriteAuditFile(inMissingFolder.c_str(), audit), RESULT_FAILED);
}

TEST_F(Container, BareNamesAreFoundInTheProgramFolderFirstAndToolsReadThePathGiven) {
  std::string program = ScratchFolder("program");
  std::string current = ScratchFolder("current");
  const std::string bare = "level.rul";
  ASSERT_TRUE(WriteBytes(program + bare, OneRuleFile()));
  // A competing file of the same name in the current folder, with two rules.
  _Array<_RKFW_RULE> two(kIpRuleGrowStep);
  two.Append(MakeRule(RULE_PROTO_UDP, "a"));
  two.Append(MakeRule(RULE_PROTO_ICMP, "b"));
  ASSERT_EQ(WriteRuleFile((current + bare).c_str(), two), RESULT_OK);
  ReleaseRules(two);
  SetProgramFolderOverride(program.c_str());
  {
    CCurrentFolder inside(current);
    uint32_t count = 0;
    auto read = [&](RuleFileLookup lookup) {
      _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
      uint32_t result = ReadRuleFile(bare.c_str(), rules, lookup);
      count = static_cast<uint32_t>(rules.Count);
      ReleaseRules(rules);
      return result;
    };
    EXPECT_EQ(read(RuleFileLookup::ProgramFolderFirst), RESULT_OK);
    EXPECT_EQ(count, 1u);  // the program's own, not the current folder's
    EXPECT_EQ(read(RuleFileLookup::AsGiven), RESULT_OK);
    EXPECT_EQ(count, 2u);  // a tool reads the file it was given
    FileDelete(bare.c_str());
    EXPECT_EQ(read(RuleFileLookup::AsGiven), RESULT_FILE_OPEN_FAILED);  // never the program's
    EXPECT_EQ(read(RuleFileLookup::ProgramFolderFirst), RESULT_OK);
  }
  SetProgramFolderOverride(nullptr);
  FileDelete((program + bare).c_str());
}

// A GBK character whose trail byte is 0x5C ("\") was taken for a folder separator, so such a
// bare level file name was never looked for next to the program.
TEST_F(Container, AGbkTrailByteBackslashLeavesTheNameBare) {
  std::string program = ScratchFolder("program");
  std::string elsewhere = ScratchFolder("elsewhere");
  const std::string bare = "\x81\x5C\xCA\xAE.rul";  // two GBK characters, the first ending in 0x5C
  ASSERT_TRUE(WriteBytes(program + bare, OneRuleFile()));
  SetProgramFolderOverride(program.c_str());
  {
    CCurrentFolder inside(elsewhere);
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    EXPECT_EQ(ReadRuleFile(bare.c_str(), rules), RESULT_OK);
    EXPECT_EQ(rules.Count, 1);
    ReleaseRules(rules);
    // A real separator still makes it a path of its own.
    EXPECT_EQ(ReadRuleFile(("sub\\" + bare).c_str(), rules), RESULT_FILE_OPEN_FAILED);
  }
  SetProgramFolderOverride(nullptr);
  FileDelete((program + bare).c_str());
}

// A body whose `records` rules all name one text entry of `textBytes` bytes for both their
// name and description: small on disk, gigabytes once every record has its own copy.
std::vector<uint8_t> SharedTextRuleBody(uint32_t records, uint32_t textBytes) {
  uint32_t recordsEnd = RULE_BODY_EMPTY_SIZE + records * sizeof(_RKFW_RULE);
  uint32_t extra = 4 + textBytes;
  std::vector<uint8_t> body(recordsEnd + extra, 0);
  StoreLe32(&body[0], static_cast<uint32_t>(body.size()));
  uint32_t at = RULE_BODY_HEADER_SIZE;
  for (uint32_t group = 0; group < 5; ++group) {
    StoreLe32(&body[4 + 4 * group], at);
    StoreLe32(&body[at], group == 0 ? records : 0);
    at += 4 + (group == 0 ? records * static_cast<uint32_t>(sizeof(_RKFW_RULE)) : 0);
  }
  StoreLe32(&body[RULE_BODY_EXTRA_OFFSET_AT], recordsEnd);
  StoreLe32(&body[RULE_BODY_EXTRA_SIZE_AT], extra);
  for (uint32_t i = 0; i < records; ++i) body[RULE_BODY_HEADER_SIZE + 4 + i * sizeof(_RKFW_RULE)] = 1;  // Packed
  StoreLe32(&body[recordsEnd], textBytes);  // Name and Description offsets stay 0: the one entry
  memset(&body[recordsEnd + 4], 'x', textBytes - 1);
  return body;
}

// The same for audit bodies: every path the one long text at offset 0.
std::vector<uint8_t> SharedPathAuditBody(uint32_t records, uint32_t textBytes) {
  uint32_t recordBytes = records * AUDIT_BODY_RECORD_SIZE;
  std::vector<uint8_t> body(AUDIT_BODY_HEADER_SIZE + recordBytes + textBytes + 1, 0);
  StoreLe32(&body[0], static_cast<uint32_t>(body.size()));
  StoreLe32(&body[8], records);
  StoreLe32(&body[16], textBytes);
  StoreLe32(&body[20], recordBytes);
  memset(&body[AUDIT_BODY_HEADER_SIZE + recordBytes], 'p', textBytes - 1);
  return body;
}

std::vector<uint8_t> FileAround(const std::vector<uint8_t>& body) {
  _bytePtr held(static_cast<uint32_t>(body.size())), file;
  memcpy(held.Data(), body.data(), body.size());
  EXPECT_EQ(BuildRuleFileBytes(held, file), RESULT_OK);
  return Bytes(file);
}

// A 1.3 MB file with a good checksum once asked for about 6 GB: std::bad_alloc escaped the
// reader and ended the console. What a body may expand to is now bounded by what it holds.
TEST_F(Container, SharedTextsCannotMakeASmallFileAskForGigabytes) {
  std::vector<uint8_t> rules = FileAround(SharedTextRuleBody(12000, 1u << 20));
  std::string path = ScratchPath("shared.rul");
  ASSERT_TRUE(WriteBytes(path, rules));
  int32_t before = PlatformLiveBlocks();
  _Array<_RKFW_RULE> ip(kIpRuleGrowStep);
  EXPECT_NO_THROW(EXPECT_EQ(ReadRuleFile(path.c_str(), ip), RESULT_FAILED));
  EXPECT_EQ(ip.Count, 0);
  EXPECT_EQ(PlatformLiveBlocks(), before);

  std::vector<uint8_t> audit = FileAround(SharedPathAuditBody(8000, 1u << 20));
  std::string auditPath = ScratchPath("shared.aud");
  ASSERT_TRUE(WriteBytes(auditPath, audit));
  _Array<_RKFW_AUDIT_RULE> apps(kAuditRuleGrowStep);
  EXPECT_NO_THROW(EXPECT_EQ(ReadAuditFile(auditPath.c_str(), apps), RESULT_FAILED));
  EXPECT_EQ(apps.Count, 0);
  EXPECT_EQ(PlatformLiveBlocks(), before);
}

TEST_F(Container, ABodyMayReferToWhatItHoldsButNotTwice) {
  // One rule naming the entry twice (name and description) asks for 2 x 68 bytes of 68.
  std::vector<uint8_t> twice = SharedTextRuleBody(1, 64);
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  EXPECT_EQ(ParseRuleFileBody(twice.data(), static_cast<uint32_t>(twice.size()), rules), RESULT_FAILED);
  // With room for a second entry it parses, and the copies are whole.
  std::vector<uint8_t> roomy = twice;
  uint32_t extraAt = LoadLe32(&roomy[RULE_BODY_EXTRA_OFFSET_AT]);
  roomy.resize(roomy.size() + 68, 0);
  StoreLe32(&roomy[0], static_cast<uint32_t>(roomy.size()));
  StoreLe32(&roomy[RULE_BODY_EXTRA_SIZE_AT], 2 * 68);
  StoreLe32(&roomy[extraAt + 68], 1);  // an empty text at 68 for the description
  StoreLe32(&roomy[RULE_BODY_HEADER_SIZE + 4 + offsetof(_RKFW_RULE, Description)], 68);
  ASSERT_EQ(ParseRuleFileBody(roomy.data(), static_cast<uint32_t>(roomy.size()), rules), RESULT_OK);
  ASSERT_EQ(rules.Count, 1);
  EXPECT_EQ(strlen(rules[0].Name), 63u);
  EXPECT_STREQ(rules[0].Description, "");
  ReleaseRules(rules);

  std::vector<uint8_t> paths = SharedPathAuditBody(2, 64);
  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  EXPECT_EQ(ParseAuditBody(paths.data(), static_cast<uint32_t>(paths.size()), audit), RESULT_FAILED);
  std::vector<uint8_t> one = SharedPathAuditBody(1, 64);
  ASSERT_EQ(ParseAuditBody(one.data(), static_cast<uint32_t>(one.size()), audit), RESULT_OK);
  ASSERT_EQ(audit.Count, 1);
  EXPECT_EQ(strlen(audit[0].AppPath), 63u);
  ReleaseAuditRules(audit);
}

// Fails the n-th file call made while it is installed.
struct CFaultAt {
  int Target;
  int Calls = 0;
  static bool Hook(void* context, FileOp) {
    auto* self = static_cast<CFaultAt*>(context);
    return ++self->Calls == self->Target;
  }
};

// Fails every file call from the n-th on: the machine stops there.
struct CPowerCutAt {
  int Target;
  int Calls = 0;
  static bool Hook(void* context, FileOp) {
    auto* self = static_cast<CPowerCutAt*>(context);
    return ++self->Calls >= self->Target;
  }
};

// Both roads to put a saved file in place: one replacing move (NT, the host) and the Win9x
// one, which has no replacing move.
class SaveRoad : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { SetFileReplaceInOneStepForTests(GetParam() ? 1 : 0); }
  void TearDown() override { SetFileReplaceInOneStepForTests(-1); }
  static uint32_t Load(const std::string& path, std::string* first) {
    _Array<_RKFW_AUDIT_RULE> loaded(kAuditRuleGrowStep);
    uint32_t read = ReadAuditFile(path.c_str(), loaded);
    *first = read == RESULT_OK && loaded.Count > 0 ? loaded[0].AppPath : "";
    ReleaseAuditRules(loaded);
    return read;
  }
};

// On Win9x the old file was deleted before the new one was moved in; a failed move then
// deleted the new one too, and a stop between the steps left only <name>.new, which no reader
// looked at. Wherever the machine stops, the reader now finds the old set or the new one.
TEST_P(SaveRoad, AStopAtAnyStepLeavesTheOldOrTheNewSetForTheReader) {
  std::string path = ScratchPath("stop.aud");
  _Array<_RKFW_AUDIT_RULE> oldSet(kAuditRuleGrowStep), newSet(kAuditRuleGrowStep);
  oldSet.Append(MakeAuditRule("C:\\old.exe", 1));
  newSet.Append(MakeAuditRule("C:\\new.exe", 2));
  CFaultAt count{-1};
  ASSERT_EQ(WriteAuditFile(path.c_str(), oldSet), RESULT_OK);
  SetFileFaultHook(CFaultAt::Hook, &count);
  ASSERT_EQ(WriteAuditFile(path.c_str(), newSet), RESULT_OK);
  SetFileFaultHook(nullptr, nullptr);
  for (int step = 1; step <= count.Calls; ++step) {
    for (const char* left : {"", ".new", ".old"}) FileDelete((path + left).c_str());
    ASSERT_EQ(WriteAuditFile(path.c_str(), oldSet), RESULT_OK);
    CPowerCutAt cut{step};
    SetFileFaultHook(CPowerCutAt::Hook, &cut);
    uint32_t result = WriteAuditFile(path.c_str(), newSet);
    SetFileFaultHook(nullptr, nullptr);
    std::string first;
    ASSERT_EQ(Load(path, &first), RESULT_OK) << step;
    if (result == RESULT_OK) {
      EXPECT_EQ(first, "C:\\new.exe") << step;
    }
    EXPECT_TRUE(first == "C:\\old.exe" || first == "C:\\new.exe") << step << " " << first;
  }
  for (const char* left : {"", ".new", ".old"}) FileDelete((path + left).c_str());
  ReleaseAuditRules(oldSet);
  ReleaseAuditRules(newSet);
}

TEST_P(SaveRoad, AMissingFileIsReadFromAWholeNewOrOldCopyOnly) {
  std::string path = ScratchPath("left.rul");
  _Array<_RKFW_RULE> written(kIpRuleGrowStep);
  written.Append(MakeRule(RULE_PROTO_TCP, "web"));
  ASSERT_EQ(WriteRuleFile(path.c_str(), written), RESULT_OK);
  ReleaseRules(written);
  std::vector<uint8_t> one;
  ASSERT_TRUE(ReadBytes(path, &one));
  FileDelete(path.c_str());
  uint32_t count = 0;
  auto read = [&]() {
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    uint32_t result = ReadRuleFile(path.c_str(), rules);
    count = static_cast<uint32_t>(rules.Count);
    ReleaseRules(rules);
    return result;
  };
  ASSERT_TRUE(WriteBytes(path + ".old", one));
  EXPECT_EQ(read(), RESULT_OK);
  EXPECT_EQ(count, 1u);
  std::vector<uint8_t> cut(one.begin(), one.end() - 1);  // a .new cut short is passed over
  ASSERT_TRUE(WriteBytes(path + ".new", cut));
  EXPECT_EQ(read(), RESULT_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_TRUE(WriteBytes(path, cut));  // the file itself is there: it decides, damaged or not
  EXPECT_EQ(read(), RESULT_FAILED);
  for (const char* left : {"", ".new", ".old"}) FileDelete((path + left).c_str());
  EXPECT_EQ(read(), RESULT_FILE_OPEN_FAILED);
}

INSTANTIATE_TEST_SUITE_P(Roads, SaveRoad, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "OneReplacingMove" : "Win9x");
                         });

// A path whose temporary name would pass 260 bytes was cut, so the temporary could land on
// another file; such a path is refused before anything is written.
TEST_F(Container, PathsWithoutRoomForTheTemporaryNameAreRefused) {
  std::string base = ScratchPath("");
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  rules.Append(MakeRule(RULE_PROTO_TCP, "x"));
  std::string fits = base + std::string(255 - base.size(), 'f');  // 255 + ".new" + zero = 260
  std::string over = base + std::string(256 - base.size(), 'o');
  EXPECT_EQ(WriteRuleFile(fits.c_str(), rules), RESULT_OK);
  EXPECT_TRUE(FileExists(fits.c_str()));
  EXPECT_EQ(WriteRuleFile(over.c_str(), rules), RESULT_FAILED);
  EXPECT_FALSE(FileExists(over.c_str()));
  EXPECT_FALSE(FileExists(over.substr(0, 259).c_str()));
  ReleaseRules(rules);
  FileDelete(fits.c_str());
}

TEST_P(SaveRoad, ASaveInterruptedAtAnyStepLeavesTheOldOrTheNewSet) {
  std::string path = ScratchPath("app.aud");
  _Array<_RKFW_AUDIT_RULE> oldSet(kAuditRuleGrowStep), newSet(kAuditRuleGrowStep);
  oldSet.Append(MakeAuditRule("C:\\old.exe", 1));
  newSet.Append(MakeAuditRule("C:\\new.exe", 2));
  newSet.Append(MakeAuditRule("C:\\newer.exe", 3));

  // How many file calls a save makes, counted on a save nobody interrupts.
  CFaultAt count{-1};
  SetFileFaultHook(CFaultAt::Hook, &count);
  ASSERT_EQ(WriteAuditFile(path.c_str(), newSet), RESULT_OK);
  SetFileFaultHook(nullptr, nullptr);
  ASSERT_GE(count.Calls, 5);  // create, two writes, flush, close, replace

  for (bool targetExists : {true, false}) {
    for (int step = 1; step <= count.Calls; ++step) {
      for (const char* left : {"", ".new", ".old"}) FileDelete((path + left).c_str());
      if (targetExists) {
        ASSERT_EQ(WriteAuditFile(path.c_str(), oldSet), RESULT_OK);
      }
      CFaultAt fault{step};
      SetFileFaultHook(CFaultAt::Hook, &fault);
      uint32_t result = WriteAuditFile(path.c_str(), newSet);
      SetFileFaultHook(nullptr, nullptr);
      _Array<_RKFW_AUDIT_RULE> loaded(kAuditRuleGrowStep);
      uint32_t read = ReadAuditFile(path.c_str(), loaded);
      if (result == RESULT_OK) {
        EXPECT_EQ(read, RESULT_OK) << step;
        EXPECT_EQ(loaded.Count, 2) << step;
      } else if (targetExists) {
        ASSERT_EQ(read, RESULT_OK) << step;
        ASSERT_EQ(loaded.Count, 1) << step;
        EXPECT_STREQ(loaded[0].AppPath, "C:\\old.exe");
      } else {
        EXPECT_EQ(read, RESULT_FILE_OPEN_FAILED) << step;
      }
      ReleaseAuditRules(loaded);
    }
  }
  for (const char* left : {"", ".new", ".old"}) FileDelete((path + left).c_str());
  ReleaseAuditRules(oldSet);
  ReleaseAuditRules(newSet);
}

TEST_F(Container, AShortWriteIsAFailureAndTheOldFileStays) {
  std::string path = ScratchPath("short.rul");
  std::vector<uint8_t> old = OneRuleFile();
  ASSERT_TRUE(WriteBytes(path, old));
  _Array<_RKFW_RULE> rules;
  for (int step : {2, 3, 4}) {  // header write, body write, flush
    CFaultAt fault{step};
    SetFileFaultHook(CFaultAt::Hook, &fault);
    EXPECT_EQ(WriteRuleFile(path.c_str(), rules), RESULT_FAILED) << step;
    SetFileFaultHook(nullptr, nullptr);
    std::vector<uint8_t> now;
    ASSERT_TRUE(ReadBytes(path, &now));
    EXPECT_EQ(now, old) << step;
    EXPECT_FALSE(FileExists((path + ".new").c_str())) << step;
  }
}

}  // namespace
