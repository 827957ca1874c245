// The rule file container: a 16-byte header ("RKFA", version 256, body length, checksum) and
// one body. Shared by the IP rule files (*.rul) and the audit file "app.aud".
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/records.h"

constexpr uint32_t kRuleFileHeaderSize = 16;
constexpr uint32_t kRuleFileVersion = 0x100;
extern const uint8_t kRuleFileMagic[4];  // "RKFA"

// The container checksum: CRC with polynomial 0x04C11DB7, register MSB first, data bits LSB
// first, start 0xFFFFFFFF, no final inversion or reflection. Table-driven.
uint32_t RuleFileChecksum(const void* data, uint32_t size);
// The same, one bit at a time, straight from the definition (the tests' oracle).
uint32_t RuleFileChecksumBitwise(const void* data, uint32_t size);

// Where a bare file name (no folder) is looked for: the console's level files live next to the
// program, so it looks there first, then in the current folder; a tool reads the path given.
enum class RuleFileLookup { ProgramFolderFirst, AsGiven };

// Appends the file's rules to `rules` (callers pass an empty array). 0; 10 when the file cannot
// be opened; 1 when it is short, damaged, its body does not parse or memory runs out (nothing
// throws). A missing file whose save was cut off is read from <name>.new or <name>.old.
uint32_t ReadRuleFile(const char* path, _Array<_RKFW_RULE>& rules,
                      RuleFileLookup lookup = RuleFileLookup::ProgramFolderFirst);
uint32_t ReadAuditFile(const char* path, _Array<_RKFW_AUDIT_RULE>& rules,
                       RuleFileLookup lookup = RuleFileLookup::ProgramFolderFirst);

// Writes the rules; the array is not changed. A failed or interrupted write leaves the old file
// or the new one. 0, or 1 when not every byte reached the disk, a record is in serialised form,
// or the path leaves no room for "<name>.new".
uint32_t WriteRuleFile(const char* path, const _Array<_RKFW_RULE>& rules);
uint32_t WriteAuditFile(const char* path, const _Array<_RKFW_AUDIT_RULE>& rules);

// The container on its own, for tools and tests. `body` starts with its own size.
// ReadRuleFileBody returns the body (checked against length and checksum) in `body`;
// `requireMagic` refuses a magic other than "RKFA" as the audit reader does.
uint32_t ReadRuleFileBody(const char* path, bool requireMagic, _bytePtr& body,
                          RuleFileLookup lookup = RuleFileLookup::ProgramFolderFirst);
uint32_t WriteRuleFileBody(const char* path, const _bytePtr& body);
// Header and body as one byte block, as the file holds them.
uint32_t BuildRuleFileBytes(const _bytePtr& body, _bytePtr& file);
// Checks a whole file held in memory and copies out its body; same codes as the readers.
uint32_t ParseRuleFileBytes(const uint8_t* data, uint32_t size, bool requireMagic, _bytePtr& body);
// Writes `first` then `second` to <path>.new, flushes it and puts it in place of `path`: one
// replacing move on NT; on Win9x the old file waits as <path>.old until the new one is in place.
// 0, or 1 (then `path` holds the old content, or, if it could not be put back, <path>.old does).
// A path whose "<path>.new" would not fit 260 bytes is refused.
uint32_t WriteFileReplacing(const char* path, const void* first, uint32_t firstSize, const void* second,
                            uint32_t secondSize);
