#include "rules/rulefile.h"

#include <cstring>
#include <new>
#include <string>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "rules/auditrules.h"
#include "rules/damaged.h"
#include "rules/iprules.h"

const uint8_t kRuleFileMagic[4] = {'R', 'K', 'F', 'A'};

namespace {
constexpr uint32_t kPolynomial = 0x04C11DB7;

// Four tables for four bytes at a time: Entry[0] is the byte-wise table of the polynomial,
// Entry[k] advances it by k further zero bytes.
struct CChecksumTable {
  uint32_t Entry[4][256];
  CChecksumTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ kPolynomial : r << 1;
      Entry[0][i] = r;
    }
    for (int k = 1; k < 4; ++k)
      for (uint32_t i = 0; i < 256; ++i)
        Entry[k][i] = (Entry[k - 1][i] << 8) ^ Entry[0][Entry[k - 1][i] >> 24];
  }
};
const CChecksumTable kTable;

uint8_t ReverseByte(uint8_t b) {
  b = static_cast<uint8_t>((b >> 4) | (b << 4));
  b = static_cast<uint8_t>(((b & 0xCC) >> 2) | ((b & 0x33) << 2));
  return static_cast<uint8_t>(((b & 0xAA) >> 1) | ((b & 0x55) << 1));
}

struct CByteReversal {
  uint8_t Entry[256];
  CByteReversal() {
    for (uint32_t i = 0; i < 256; ++i) Entry[i] = ReverseByte(static_cast<uint8_t>(i));
  }
};
const CByteReversal kReversed;

// Closes the file on every path out.
class CFile {
 public:
  explicit CFile(FileHandle handle) : handle_(handle) {}
  ~CFile() { Close(); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  bool Valid() const { return handle_ != kInvalidFile; }
  FileHandle Get() const { return handle_; }
  bool Close() {
    if (handle_ == kInvalidFile) return true;
    FileHandle handle = handle_;
    handle_ = kInvalidFile;
    return FileClose(handle);
  }

 private:
  FileHandle handle_;
};

bool IsBareName(const char* path) {
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') return false;
  return *path != 0;
}

// A bare name is looked for next to the program first, then in the current folder.
FileHandle OpenForReading(const char* path) {
  if (IsBareName(path)) {
    char beside[kPathTextSize];
    if (GetProgramFilePath(path, beside)) {
      FileHandle file = FileOpenRead(beside);
      if (file != kInvalidFile) return file;
    }
  }
  return FileOpenRead(path);
}

bool ReadExactly(FileHandle file, void* data, uint32_t size) {
  uint32_t done = 0;
  return FileRead(file, data, size, &done) && done == size;
}

bool WriteExactly(FileHandle file, const void* data, uint32_t size) {
  uint32_t done = 0;
  return size == 0 || (FileWrite(file, data, size, &done) && done == size);
}

void BuildHeader(const _bytePtr& body, uint8_t (&header)[kRuleFileHeaderSize]) {
  uint32_t length = LoadLe32(body.Data());
  memcpy(header, kRuleFileMagic, 4);
  StoreLe32(header + 4, kRuleFileVersion);
  StoreLe32(header + 8, length);
  StoreLe32(header + 12, RuleFileChecksum(body.Data(), length));
}

// The body's first dword is its length; it must not claim more than the buffer holds.
bool BodyUsable(const _bytePtr& body) {
  return body.Length() >= 4 && LoadLe32(body.Data()) <= body.Length();
}

bool ChecksumMatches(const uint8_t* body, uint32_t length, uint32_t expected) {
#ifdef VARDEEN_FUZZING
  // Fuzz builds only: let mutated bodies through to the parsers.
  (void)body;
  (void)length;
  (void)expected;
  return true;
#else
  return RuleFileChecksum(body, length) == expected;
#endif
}
}  // namespace

uint32_t RuleFileChecksum(const void* data, uint32_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  const uint8_t* rev = kReversed.Entry;
  uint32_t r = 0xFFFFFFFFu;
  // Data bits enter least significant first: that is the MSB-first update on reversed bytes.
  uint32_t i = 0;
  for (; size - i >= 4; i += 4) {
    uint32_t x = r ^ ((static_cast<uint32_t>(rev[p[i]]) << 24) | (static_cast<uint32_t>(rev[p[i + 1]]) << 16) |
                      (static_cast<uint32_t>(rev[p[i + 2]]) << 8) | rev[p[i + 3]]);
    r = kTable.Entry[3][x >> 24] ^ kTable.Entry[2][(x >> 16) & 0xFF] ^ kTable.Entry[1][(x >> 8) & 0xFF] ^
        kTable.Entry[0][x & 0xFF];
  }
  for (; i < size; ++i) r = (r << 8) ^ kTable.Entry[0][(r >> 24) ^ rev[p[i]]];
  return r;
}

uint32_t RuleFileChecksumBitwise(const void* data, uint32_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t r = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < size; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      uint32_t c = (r >> 31) ^ ((p[i] >> bit) & 1u);
      r <<= 1;
      if (c) r ^= kPolynomial;
    }
  }
  return r;
}

uint32_t ParseRuleFileBytes(const uint8_t* data, uint32_t size, bool requireMagic, _bytePtr& body) {
  body.Release();
  if (data == nullptr || size < kRuleFileHeaderSize) return RESULT_FAILED;
  if (requireMagic && memcmp(data, kRuleFileMagic, 4) != 0) return RESULT_FAILED;
  int32_t length = static_cast<int32_t>(LoadLe32(data + 8));
  if (length <= 0 || static_cast<uint32_t>(length) > size - kRuleFileHeaderSize) return RESULT_FAILED;
  const uint8_t* bytes = data + kRuleFileHeaderSize;
  if (!ChecksumMatches(bytes, static_cast<uint32_t>(length), LoadLe32(data + 12))) return RESULT_FAILED;
  body.Reset(static_cast<uint32_t>(length));
  memcpy(body.Data(), bytes, static_cast<uint32_t>(length));
  return RESULT_OK;
}

uint32_t ReadRuleFileBody(const char* path, bool requireMagic, _bytePtr& body) {
  body.Release();
  if (path == nullptr) return RESULT_FILE_OPEN_FAILED;
  CFile file(OpenForReading(path));
  if (!file.Valid()) return RESULT_FILE_OPEN_FAILED;
  uint8_t header[kRuleFileHeaderSize];
  if (!ReadExactly(file.Get(), header, sizeof header)) return RESULT_FAILED;
  if (requireMagic && memcmp(header, kRuleFileMagic, 4) != 0) return RESULT_FAILED;
  int32_t length = static_cast<int32_t>(LoadLe32(header + 8));
  // Never allocate more than the file can hold: a length beyond it fails before any buffer.
  uint32_t fileSize = 0;
  if (length <= 0 || !FileGetSize(file.Get(), &fileSize) || fileSize < kRuleFileHeaderSize ||
      static_cast<uint32_t>(length) > fileSize - kRuleFileHeaderSize)
    return RESULT_FAILED;
  _bytePtr buffer(static_cast<uint32_t>(length));
  if (!ReadExactly(file.Get(), buffer.Data(), buffer.Length())) return RESULT_FAILED;
  if (!ChecksumMatches(buffer.Data(), buffer.Length(), LoadLe32(header + 12))) return RESULT_FAILED;
  body = buffer;
  return RESULT_OK;
}

uint32_t BuildRuleFileBytes(const _bytePtr& body, _bytePtr& file) {
  file.Release();
  if (!BodyUsable(body)) return RESULT_FAILED;
  uint32_t length = LoadLe32(body.Data());
  if (length > UINT32_MAX - kRuleFileHeaderSize) return RESULT_FAILED;
  uint8_t header[kRuleFileHeaderSize];
  BuildHeader(body, header);
  file.Reset(kRuleFileHeaderSize + length);
  memcpy(file.Data(), header, sizeof header);
  memcpy(file.Data() + kRuleFileHeaderSize, body.Data(), length);
  return RESULT_OK;
}

uint32_t WriteFileReplacing(const char* path, const void* first, uint32_t firstSize, const void* second,
                            uint32_t secondSize) {
  if (path == nullptr || *path == 0) return RESULT_FAILED;
  // The new content goes to a temporary file beside the target and replaces it in one step,
  // so an interrupted save never leaves a short file where a good one was.
  std::string temporary = std::string(path) + ".new";
  CFile file(FileCreate(temporary.c_str()));
  if (!file.Valid()) return RESULT_FAILED;
  bool written = WriteExactly(file.Get(), first, firstSize) && WriteExactly(file.Get(), second, secondSize) &&
                 FileFlush(file.Get());
  bool closed = file.Close();
  if (written && closed && FileReplace(temporary.c_str(), path)) return RESULT_OK;
  FileDelete(temporary.c_str());
  return RESULT_FAILED;
}

uint32_t WriteRuleFileBody(const char* path, const _bytePtr& body) {
  if (!BodyUsable(body)) return RESULT_FAILED;
  // A file that failed to load holds the user's rules in some form: it goes aside, not away.
  if (KeepAsideFailedRuleFile(path) != RESULT_OK) return RESULT_FAILED;
  uint8_t header[kRuleFileHeaderSize];
  BuildHeader(body, header);
  return WriteFileReplacing(path, header, sizeof header, body.Data(), LoadLe32(body.Data()));
}

uint32_t ReadRuleFile(const char* path, _Array<_RKFW_RULE>& rules) {
  _bytePtr body;
  uint32_t result = ReadRuleFileBody(path, false, body);
  if (result != RESULT_OK) return result;
  return ParseRuleFileBody(body, rules);
}

uint32_t ReadAuditFile(const char* path, _Array<_RKFW_AUDIT_RULE>& rules) {
  _bytePtr body;
  uint32_t result = ReadRuleFileBody(path, true, body);
  if (result != RESULT_OK) return result;
  return ParseAuditBody(body, rules);
}

uint32_t WriteRuleFile(const char* path, const _Array<_RKFW_RULE>& rules) {
  _bytePtr body;
  uint32_t result = BuildRuleFileBody(rules, body);
  if (result != RESULT_OK) return result;
  return WriteRuleFileBody(path, body);
}

uint32_t WriteAuditFile(const char* path, const _Array<_RKFW_AUDIT_RULE>& rules) {
  _bytePtr body;
  uint32_t result = BuildAuditBody(rules, body);
  if (result != RESULT_OK) return result;
  return WriteRuleFileBody(path, body);
}
