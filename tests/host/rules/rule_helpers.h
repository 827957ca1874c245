// Shared helpers of the rule store tests: rule builders, scratch files, a recording driver.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/auditrules.h"
#include "rules/caches.h"
#include "dispatch/dispatch.h"
#include "rules/ruleport.h"
#include "rules/iprules.h"
#include "rules/records.h"

// A zeroed in-memory rule with heap texts.
_RKFW_RULE MakeRule(int32_t protocol, const char* name, const char* description = "");
// A Kind 1 value owning a copy of `elements`.
_MATCH_VALUE MakeList(const std::vector<uint32_t>& elements);
_MATCH_VALUE MakeSingle(uint32_t value);
_MATCH_VALUE MakeRange(uint32_t low, uint32_t high);
uint32_t Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
uint32_t Port(uint16_t port);
// An in-memory audit rule with defaults and a path.
_RKFW_AUDIT_RULE MakeAuditRule(const char* path, uint32_t ruleId);

std::vector<uint32_t> ElementsOf(const _MATCH_VALUE& value);
// Field-by-field equality of two in-memory rules (texts and lists by content).
bool SameRule(const _RKFW_RULE& a, const _RKFW_RULE& b, std::string* why = nullptr);
bool SameAuditRule(const _RKFW_AUDIT_RULE& a, const _RKFW_AUDIT_RULE& b, std::string* why = nullptr);

std::vector<uint8_t> Bytes(const _bytePtr& buffer);
uint32_t Dword(const std::vector<uint8_t>& bytes, uint32_t at);

// A fresh path for a scratch file of this test process.
std::string ScratchPath(const std::string& name);
// A fresh empty folder inside the scratch folder (removed at the end), ending in a separator.
std::string ScratchFolder(const std::string& name);
bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Stands in for the driver as the rule store's port: records every image, answers as told.
struct CFakeDriver final : CAbsentDriverPort {
  bool Open = true;
  uint32_t Answer = 0;
  std::vector<std::vector<uint8_t>> IpImages;
  std::vector<std::vector<uint8_t>> AuditImages;
  std::vector<std::vector<uint8_t>> Verdicts;
  CFakeDriver();
  ~CFakeDriver();
  bool IsOpen() override { return Open; }
  uint32_t LoadIpRuleSet(const void* image, uint32_t size) override;
  uint32_t LoadAuditRuleSet(const void* image, uint32_t size) override;
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) override;
  CFakeDriver(const CFakeDriver&) = delete;
  CFakeDriver& operator=(const CFakeDriver&) = delete;
};

// Makes `folder` the current folder for its lifetime.
class CCurrentFolder {
 public:
  explicit CCurrentFolder(const std::string& folder);
  ~CCurrentFolder();
  CCurrentFolder(const CCurrentFolder&) = delete;
  CCurrentFolder& operator=(const CCurrentFolder&) = delete;

 private:
  std::string saved_;
};

// Empties both caches (each test starts from nothing).
void ResetCaches();
