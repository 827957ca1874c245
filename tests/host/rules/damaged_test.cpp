// A rule file that failed to load is kept aside, never overwritten: the loaders note it and the
// next save over it moves it to "<name>.damaged" first, never over an earlier kept file.
#include <gtest/gtest.h>

#include "base/result.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "rule_helpers.h"
#include "rules/damaged.h"
#include "rules/loader.h"
#include "rules/rulefile.h"

namespace {

class KeptAside : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetFailedRuleFiles();
    ResetCaches();
    path_ = ScratchPath("app.aud");
    for (const char* suffix : {"", ".damaged", ".damaged.2", ".damaged.3"}) FileDelete((path_ + suffix).c_str());
  }
  void TearDown() override {
    ForgetFailedRuleFiles();
    ResetCaches();
  }
  // A good audit file with one rule, then cut to `keep` bytes.
  std::vector<uint8_t> WriteCut(uint32_t keep) {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
    rules.Append(MakeAuditRule("C:\\Apps\\mail.exe", 5));
    EXPECT_EQ(RESULT_OK, WriteAuditFile(path_.c_str(), rules));
    ReleaseAuditRules(rules);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadBytes(path_, &bytes));
    bytes.resize(keep);
    EXPECT_TRUE(WriteBytes(path_, bytes));
    return bytes;
  }
  uint32_t SaveEmpty() {
    _Array<_RKFW_AUDIT_RULE> none(kAuditRuleGrowStep);
    return WriteAuditFile(path_.c_str(), none);
  }
  std::vector<uint8_t> Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadBytes(path, &bytes)) << path;
    return bytes;
  }
  std::string path_;
};

TEST_F(KeptAside, AFileThatFailedToLoadGoesAsideBeforeTheSaveAndOnlyOnce) {
  std::vector<uint8_t> damaged = WriteCut(40);
  EXPECT_NE(RESULT_OK, LoadAuditRules(path_.c_str()));
  EXPECT_TRUE(RuleFileLoadFailed(path_.c_str()));
  EXPECT_EQ(path_ + ".damaged", DamagedFileName(path_.c_str()));

  ASSERT_EQ(RESULT_OK, SaveEmpty());
  EXPECT_EQ(damaged, Read(path_ + ".damaged"));
  _Array<_RKFW_AUDIT_RULE> loaded(kAuditRuleGrowStep);
  EXPECT_EQ(RESULT_OK, ReadAuditFile(path_.c_str(), loaded)) << "the save went ahead";
  EXPECT_FALSE(RuleFileLoadFailed(path_.c_str()));

  // The next save replaces the good file as usual: nothing more is kept.
  ASSERT_EQ(RESULT_OK, SaveEmpty());
  EXPECT_FALSE(FileExists((path_ + ".damaged.2").c_str()));
}

TEST_F(KeptAside, AnEarlierKeptFileIsNeverReplaced) {
  ASSERT_TRUE(WriteBytes(path_ + ".damaged", {'o', 'l', 'd'}));
  ASSERT_TRUE(WriteBytes(path_ + ".damaged.2", {'o', 'l', 'd', '2'}));
  std::vector<uint8_t> damaged = WriteCut(17);
  LoadAuditRules(path_.c_str());
  EXPECT_EQ(path_ + ".damaged.3", DamagedFileName(path_.c_str()));
  std::string kept;
  ASSERT_EQ(RESULT_OK, KeepAsideFailedRuleFile(path_.c_str(), &kept));
  EXPECT_EQ(path_ + ".damaged.3", kept);
  EXPECT_EQ(damaged, Read(kept));
  EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), Read(path_ + ".damaged"));
  EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd', '2'}), Read(path_ + ".damaged.2"));
}

TEST_F(KeptAside, FilesThatLoadedOrAreMissingAreSavedOverAsUsual) {
  ASSERT_EQ(RESULT_OK, SaveEmpty());
  LoadAuditRules(path_.c_str());  // loads (no driver: the read is what counts)
  EXPECT_FALSE(RuleFileLoadFailed(path_.c_str()));
  ASSERT_EQ(RESULT_OK, SaveEmpty());
  EXPECT_FALSE(FileExists((path_ + ".damaged").c_str()));

  ASSERT_TRUE(FileDelete(path_.c_str()));
  LoadAuditRules(path_.c_str());
  EXPECT_FALSE(RuleFileLoadFailed(path_.c_str())) << "a missing file is nothing to keep";
  ASSERT_EQ(RESULT_OK, SaveEmpty());
  EXPECT_FALSE(FileExists((path_ + ".damaged").c_str()));

  // A damaged file that later loads (repaired meanwhile) is forgotten again.
  WriteCut(30);
  LoadAuditRules(path_.c_str());
  ASSERT_TRUE(RuleFileLoadFailed(path_.c_str()));
  _Array<_RKFW_AUDIT_RULE> none(kAuditRuleGrowStep);
  ForgetFailedRuleFiles();
  ASSERT_EQ(RESULT_OK, WriteAuditFile(path_.c_str(), none));
  LoadAuditRules(path_.c_str());
  EXPECT_FALSE(RuleFileLoadFailed(path_.c_str()));
}

TEST_F(KeptAside, ALevelFileNamedBareIsKeptBesideItself) {
  std::string level = ScratchPath("level.rul");
  FileDelete((level + ".damaged").c_str());
  ASSERT_TRUE(WriteBytes(level, {'R', 'K', 'F', 'A', 0, 1}));
  EXPECT_NE(RESULT_OK, LoadLevelRules(level.c_str()));
  ASSERT_TRUE(RuleFileLoadFailed(level.c_str()));
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  ASSERT_EQ(RESULT_OK, WriteRuleFile(level.c_str(), rules));
  EXPECT_EQ((std::vector<uint8_t>{'R', 'K', 'F', 'A', 0, 1}), Read(level + ".damaged"));
}

// When the file cannot be moved aside, the save must not overwrite it.
bool FailMoves(void*, FileOp op) { return op == FileOp::Replace; }

TEST_F(KeptAside, AFileThatCannotBeMovedAsideIsNotOverwritten) {
  std::vector<uint8_t> damaged = WriteCut(40);
  LoadAuditRules(path_.c_str());
  SetFileFaultHook(FailMoves, nullptr);
  EXPECT_EQ(RESULT_FAILED, SaveEmpty());
  SetFileFaultHook(nullptr, nullptr);
  EXPECT_EQ(damaged, Read(path_));
  EXPECT_TRUE(RuleFileLoadFailed(path_.c_str())) << "still to be kept at the next save";
  EXPECT_EQ(RESULT_OK, SaveEmpty());
  EXPECT_EQ(damaged, Read(path_ + ".damaged"));
}

}  // namespace
