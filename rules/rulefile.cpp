#include "rules/rulefile.h"

#include <cstring>
#include <new>
#include <string>

#include "base/bytes.h"
#include "platform/gbk.h"
#include "base/result.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "rules/auditrules.h"
#include "rules/damaged.h"
#include "rules/iprules.h"

const uint8_t kRuleFileMagic[4] = {'R', 'K', 'F', 'A'};

namespace {
constexpr uint32_t kPolynomial = 0x04C11DB7;
constexpr uint32_t kReflectedPolynomial = 0xEDB88320;  // kPolynomial with its bits reversed

// The checksum is the standard CRC-32 register, bits reversed, without the final inversion.
// Feeding data bits least significant first into an MSB-first register is the same as the
// reflected (LSB-first) register with the reflected polynomial, so the reflected tables apply.
// The data is taken as five interleaved lanes of 32-bit words: each lane's register runs on
// its own (the lanes' table loads overlap instead of waiting for each other) and the lanes
// are folded together on the last block.
constexpr uint32_t kLanes = 5;
constexpr uint32_t kBlock = 4 * kLanes;
static_assert(kLanes == 5, "RuleFileChecksum names its five lanes one by one");
struct CChecksumTable {
  // Byte[k][b]: register after byte b followed by k zero bytes, from zero.
  uint32_t Byte[4][256];
  // Lane[k][b]: the same with k + 4 * (kLanes - 1) zero bytes, which carries a lane's word
  // past the other lanes' words to that lane's next word.
  uint32_t Lane[4][256];
  CChecksumTable() {
    uint32_t entry[4 * kLanes][256];
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
      entry[0][i] = c;
    }
    for (uint32_t k = 1; k < 4 * kLanes; ++k)
      for (uint32_t i = 0; i < 256; ++i) entry[k][i] = (entry[k - 1][i] >> 8) ^ entry[0][entry[k - 1][i] & 0xFF];
    memcpy(Byte, entry, sizeof Byte);
    memcpy(Lane, entry[4 * (kLanes - 1)], sizeof Lane);
  }
};
const CChecksumTable kTable;

// A register (or a lane) that has the 4 bytes of `x` ahead of it, advanced over them with
// the tables `t` (byte 0 of `x` has three more bytes behind it than byte 3).
inline uint32_t Advance(const uint32_t (*t)[256], uint32_t x) {
  return t[3][x & 0xFF] ^ t[2][(x >> 8) & 0xFF] ^ t[1][(x >> 16) & 0xFF] ^ t[0][x >> 24];
}

uint32_t Reverse32(uint32_t v) {
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
  return (v >> 16) | (v << 16);
}

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

// No folder in it: no "\", "/" or ":" that is a character of its own (a GBK trail byte may be
// 0x5C and is not a separator).
bool IsBareName(const char* path) {
  bool bare = *path != 0;
  ForEachSingleByteChar(path, strlen(path), [&](size_t i) {
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') bare = false;
  });
  return bare;
}

// `path` with `suffix` added, when the whole still fits a 260-byte path buffer; a name that
// does not fit is refused rather than cut, so the temporary never lands on another file.
bool SiblingPath(const char* path, const char* suffix, std::string& out) {
  size_t length = strlen(path) + strlen(suffix);
  if (length >= kPathTextSize) return false;
  out = std::string(path) + suffix;
  return true;
}

const char kTemporarySuffix[] = ".new";
const char kBackupSuffix[] = ".old";

bool ReadExactly(FileHandle file, void* data, uint32_t size) {
  uint32_t done = 0;
  return FileRead(file, data, size, &done) && done == size;
}

bool WriteExactly(FileHandle file, const void* data, uint32_t size) {
  uint32_t done = 0;
  return size == 0 || (FileWrite(file, data, size, &done) && done == size);
}

void BuildHeader(const uint8_t* body, uint8_t (&header)[kRuleFileHeaderSize]) {
  uint32_t length = LoadLe32(body);
  memcpy(header, kRuleFileMagic, 4);
  StoreLe32(header + 4, kRuleFileVersion);
  StoreLe32(header + 8, length);
  StoreLe32(header + 12, RuleFileChecksum(body, length));
}

// The body's first dword is its length; it must not claim more than the buffer holds.
bool BodyUsable(const uint8_t* body, uint32_t size) {
  return body != nullptr && size >= 4 && LoadLe32(body) <= size;
}
bool BodyUsable(const _bytePtr& body) { return BodyUsable(body.Data(), body.Length()); }

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
  const uint32_t(*byte)[256] = kTable.Byte;
#if defined(__PIC__) && defined(__i386__)
  // Position-independent i386 code would otherwise spend a second of its seven registers on
  // the table's address in the loop below; this keeps the address in one.
  __asm__("" : "+r"(byte));
#endif
  const uint32_t(*lane)[256] = byte + (kTable.Lane - kTable.Byte);
  uint32_t c = 0xFFFFFFFFu;  // its own reversal
  if (size >= 2 * kBlock) {
    // Lane 0 starts with the register; the others start empty.
    uint32_t c0 = c, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    for (uint32_t blocks = size / kBlock - 1; blocks != 0; --blocks, p += kBlock) {
      c0 = Advance(lane, c0 ^ LoadLe32(p));
      c1 = Advance(lane, c1 ^ LoadLe32(p + 4));
      c2 = Advance(lane, c2 ^ LoadLe32(p + 8));
      c3 = Advance(lane, c3 ^ LoadLe32(p + 12));
      c4 = Advance(lane, c4 ^ LoadLe32(p + 16));
    }
    // The last whole block word by word, each lane joining the register at its word.
    c = Advance(byte, c0 ^ LoadLe32(p));
    c = Advance(byte, c ^ c1 ^ LoadLe32(p + 4));
    c = Advance(byte, c ^ c2 ^ LoadLe32(p + 8));
    c = Advance(byte, c ^ c3 ^ LoadLe32(p + 12));
    c = Advance(byte, c ^ c4 ^ LoadLe32(p + 16));
    p += kBlock;
    size %= kBlock;
  }
  for (; size >= 4; size -= 4, p += 4) c = Advance(byte, c ^ LoadLe32(p));
  for (; size != 0; --size, ++p) c = (c >> 8) ^ byte[0][(c ^ *p) & 0xFF];
  return Reverse32(c);
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

namespace {
// The file at exactly `path`.
uint32_t ReadBodyAt(const char* path, bool requireMagic, _bytePtr& body) {
  CFile file(FileOpenRead(path));
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

// The file at `path`; when it is missing, a save that was cut off may have left the new
// content complete as <name>.new, or the old content as <name>.old (the Win9x road): the
// first of them that reads whole stands in for it.
uint32_t ReadBodyRecovering(const char* path, bool requireMagic, _bytePtr& body) {
  uint32_t result = ReadBodyAt(path, requireMagic, body);
  if (result != RESULT_FILE_OPEN_FAILED || FileExists(path)) return result;
  for (const char* suffix : {kTemporarySuffix, kBackupSuffix}) {
    std::string sibling;
    if (SiblingPath(path, suffix, sibling) && ReadBodyAt(sibling.c_str(), requireMagic, body) == RESULT_OK)
      return RESULT_OK;
  }
  return RESULT_FILE_OPEN_FAILED;
}
}  // namespace

uint32_t ReadRuleFileBody(const char* path, bool requireMagic, _bytePtr& body, RuleFileLookup lookup) {
  body.Release();
  if (path == nullptr) return RESULT_FILE_OPEN_FAILED;
  try {
    if (lookup == RuleFileLookup::ProgramFolderFirst && IsBareName(path)) {
      char beside[kPathTextSize];
      if (GetProgramFilePath(path, beside)) {
        uint32_t result = ReadBodyRecovering(beside, requireMagic, body);
        if (result != RESULT_FILE_OPEN_FAILED) return result;
      }
    }
    return ReadBodyRecovering(path, requireMagic, body);
  } catch (const std::bad_alloc&) {
    body.Release();
    return RESULT_FAILED;
  }
}

uint32_t BuildRuleFileBytes(const _bytePtr& body, _bytePtr& file) {
  file.Release();
  if (!BodyUsable(body)) return RESULT_FAILED;
  uint32_t length = LoadLe32(body.Data());
  if (length > UINT32_MAX - kRuleFileHeaderSize) return RESULT_FAILED;
  uint8_t header[kRuleFileHeaderSize];
  BuildHeader(body.Data(), header);
  file.Reset(kRuleFileHeaderSize + length);
  memcpy(file.Data(), header, sizeof header);
  memcpy(file.Data() + kRuleFileHeaderSize, body.Data(), length);
  return RESULT_OK;
}

namespace {
// Puts the written temporary in place of `path`.
bool PutInPlace(const std::string& temporary, const char* path, const std::string& backup) {
  if (FileReplaceInOneStep()) return FileReplace(temporary.c_str(), path);
  // Win9x has no replacing move. The old file steps aside as <name>.old and stays until the
  // new one is in place; an interruption in between leaves both whole for the reader.
  FileDelete(backup.c_str());  // left over from a save cut off earlier
  bool hadOld = FileExists(path);
  if (hadOld && !FileMove(path, backup.c_str())) return false;
  if (FileMove(temporary.c_str(), path)) {
    FileDelete(backup.c_str());
    return true;
  }
  if (hadOld) FileMove(backup.c_str(), path);  // back in place; failing that, the reader finds it
  return false;
}
}  // namespace

uint32_t WriteFileReplacing(const char* path, const void* first, uint32_t firstSize, const void* second,
                            uint32_t secondSize) {
  if (path == nullptr || *path == 0) return RESULT_FAILED;
  // The new content goes to a temporary file beside the target and then takes its place, so
  // an interrupted save never leaves a short file where a good one was.
  std::string temporary, backup;
  if (!SiblingPath(path, kTemporarySuffix, temporary) || !SiblingPath(path, kBackupSuffix, backup))
    return RESULT_FAILED;
  CFile file(FileCreate(temporary.c_str()));
  if (!file.Valid()) return RESULT_FAILED;
  bool written = WriteExactly(file.Get(), first, firstSize) && WriteExactly(file.Get(), second, secondSize) &&
                 FileFlush(file.Get());
  bool closed = file.Close();
  if (written && closed && PutInPlace(temporary, path, backup)) return RESULT_OK;
  FileDelete(temporary.c_str());
  return RESULT_FAILED;
}

namespace {
uint32_t WriteBodyBytes(const char* path, const uint8_t* body, uint32_t size) {
  if (!BodyUsable(body, size)) return RESULT_FAILED;
  // A file that failed to load holds the user's rules in some form: it goes aside, not away.
  if (KeepAsideFailedRuleFile(path) != RESULT_OK) return RESULT_FAILED;
  uint8_t header[kRuleFileHeaderSize];
  BuildHeader(body, header);
  return WriteFileReplacing(path, header, sizeof header, body, LoadLe32(body));
}

// Every save builds the whole body again: one block kept for it is written over in place.
CByteBuffer g_savedBody;
}  // namespace

uint32_t WriteRuleFileBody(const char* path, const _bytePtr& body) {
  return WriteBodyBytes(path, body.Data(), body.Length());
}

uint32_t ReadRuleFile(const char* path, _Array<_RKFW_RULE>& rules, RuleFileLookup lookup) {
  _bytePtr body;
  uint32_t result = ReadRuleFileBody(path, false, body, lookup);
  if (result != RESULT_OK) return result;
  return ParseRuleFileBody(body, rules);
}

uint32_t ReadAuditFile(const char* path, _Array<_RKFW_AUDIT_RULE>& rules, RuleFileLookup lookup) {
  _bytePtr body;
  uint32_t result = ReadRuleFileBody(path, true, body, lookup);
  if (result != RESULT_OK) return result;
  return ParseAuditBody(body, rules);
}

uint32_t WriteRuleFile(const char* path, const _Array<_RKFW_RULE>& rules) {
  CByteBuffer& body = g_savedBody;
  try {
    uint32_t result = BuildRuleFileBody(rules, body);
    if (result != RESULT_OK) return result;
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // nothing written
  }
  uint32_t result = WriteBodyBytes(path, body.Data(), body.Size());
  body.Clear();
  return result;
}

uint32_t WriteAuditFile(const char* path, const _Array<_RKFW_AUDIT_RULE>& rules) {
  _bytePtr body;
  try {
    uint32_t result = BuildAuditBody(rules, body);
    if (result != RESULT_OK) return result;
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // nothing written
  }
  return WriteRuleFileBody(path, body);
}
