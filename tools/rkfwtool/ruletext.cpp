#include "tools/rkfwtool/ruletext.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "base/array.h"
#include "base/bytes.h"
#include "platform/gbk.h"
#include "base/result.h"
#include "base/text.h"
#include "platform/heap.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/rulefile.h"
#include "tools/rkfwtool/encoding.h"

namespace {
constexpr uint32_t kRuleSize = sizeof(_RKFW_RULE);

const char* const kProtocolNames[] = {"IP", "ICMP", "IGMP", "TCP", "UDP"};
const char* const kActionNames[] = {"permit", "block", "notify", "ignore"};
const char* const kConditionNames[] = {"receive", "send", "connect", "connect-request", "service"};
const char* const kOptionNames[] = {"log", "alert", "application", "disabled"};
const char* const kAuditOpNames[] = {"receive", "send", "connect", "accept", "service"};
const uint32_t kAuditOpBits[] = {0x01, 0x02, 0x04, 0x08, 0x10};

// ---------------------------------------------------------------------------------------------
// Writing text

// GBK as stored: a lead byte with a valid trail byte goes out as the pair, untouched (its
// trail byte may be "\"); anything else that is not plain printable ASCII is escaped.
void AppendQuoted(std::string& out, const uint8_t* text, uint32_t length) {
  out += '"';
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t b = text[i];
    if (IsGbkLeadByte(b) && i + 1 < length && text[i + 1] >= 0x40 && text[i + 1] <= 0xFE && text[i + 1] != 0x7F) {
      out += static_cast<char>(b);
      out += static_cast<char>(text[++i]);
    } else if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b < 0x20 || b >= 0x7F) {
      AppendFormat(out, "\\x%02x", b);
    } else {
      out += static_cast<char>(b);
    }
  }
  out += '"';
}

void AppendText(std::string& out, const char* text) {
  AppendQuoted(out, reinterpret_cast<const uint8_t*>(text ? text : ""), text ? static_cast<uint32_t>(strlen(text)) : 0);
}

void AppendHex(std::string& out, const uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) AppendFormat(out, "%02x", bytes[i]);
}

bool AllZero(const uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

void AppendAddress(std::string& out, uint32_t value) {
  AppendFormat(out, " %u.%u.%u.%u", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF, value >> 24);
}

void AppendPort(std::string& out, uint32_t value) {
  if (value <= 0xFFFF)
    AppendFormat(out, " %u", NetToHost16(static_cast<uint16_t>(value)));
  else
    AppendFormat(out, " 0x%08" PRIx32, value);
}

// The order of a stored address or port, for telling whether a range runs backwards.
uint32_t Magnitude(uint32_t stored, bool port) {
  if (port) return stored <= 0xFFFF ? NetToHost16(static_cast<uint16_t>(stored)) : stored;
  return (stored & 0xFF) << 24 | ((stored >> 8) & 0xFF) << 16 | ((stored >> 16) & 0xFF) << 8 | stored >> 24;
}

void AppendMatch(std::string& out, const char* field, const _MATCH_VALUE& value, bool port) {
  auto element = [&](uint32_t v) { port ? AppendPort(out, v) : AppendAddress(out, v); };
  AppendFormat(out, "  %s", field);
  if (value.Kind == MATCH_SINGLE && value.Value2 == 0) {
    if (value.Value1 == 0)
      out += " any";
    else
      element(value.Value1);
  } else if (value.Kind == MATCH_RANGE && Magnitude(value.Value2, port) <= Magnitude(value.Value1, port)) {
    // A stored range that runs backwards comes out raw below: "range" refuses it.
    out += " range";
    element(value.Value2);
    element(value.Value1);
  } else if (value.Kind == MATCH_LIST) {
    out += value.Value1 == 0 ? " list none" : " list";  // a bare "list" is refused as a slip
    const uint32_t* elements = MatchElements(value);
    for (uint32_t i = 0; i < value.Value1 && elements != nullptr; ++i) element(elements[i]);
  } else {
    AppendFormat(out, " raw %u 0x%08" PRIx32 " 0x%08" PRIx32, value.Kind, value.Value1, value.Value2);
  }
  out += '\n';
}

void AppendNamed(std::string& out, const char* field, int32_t value, const char* const* names, int32_t count) {
  if (value >= 0 && value < count)
    AppendFormat(out, "  %s %s\n", field, names[value]);
  else
    AppendFormat(out, "  %s %" PRId32 "\n", field, value);
}

void AppendBits(std::string& out, const char* field, uint32_t value, const char* const* names, const uint32_t* bits,
                uint32_t count) {
  AppendFormat(out, "  %s", field);
  if (value == 0) {
    out += " none\n";
    return;
  }
  const char* separator = " ";
  for (uint32_t i = 0; i < count; ++i) {
    if (value & bits[i]) {
      AppendFormat(out, "%s%s", separator, names[i]);
      separator = ",";
      value &= ~bits[i];
    }
  }
  if (value != 0) AppendFormat(out, "%s0x%" PRIx32, separator, value);
  out += '\n';
}

const uint32_t kLowBits[] = {0x01, 0x02, 0x04, 0x08, 0x10};

void AppendUnused(std::string& out, const _RKFW_RULE& rule, uint32_t from, uint32_t to) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&rule);
  if (AllZero(bytes + from, to - from)) return;
  AppendFormat(out, "  unused %u ", from);
  AppendHex(out, bytes + from, to - from);
  out += '\n';
}

void DumpRule(std::string& out, const _RKFW_RULE& rule) {
  out += "\nrule\n  name ";
  AppendText(out, rule.Name);
  out += "\n  description ";
  AppendText(out, rule.Description);
  out += '\n';
  AppendNamed(out, "protocol", rule.Protocol, kProtocolNames, 5);
  AppendNamed(out, "action", rule.Action, kActionNames, 4);
  AppendBits(out, "conditions", rule.Conditions, kConditionNames, kLowBits, 5);
  AppendBits(out, "options", rule.Options, kOptionNames, kLowBits, 4);
  AppendFormat(out, "  rule-id 0x%08" PRIx32 "\n", rule.RuleId);
  if (rule.Reserved1) AppendFormat(out, "  reserved1 0x%08" PRIx32 "\n", rule.Reserved1);
  if (rule.Reserved2) AppendFormat(out, "  reserved2 0x%08" PRIx32 "\n", rule.Reserved2);
  if (rule.Reserved3) AppendFormat(out, "  reserved3 0x%08" PRIx32 "\n", rule.Reserved3);
  const auto* app = reinterpret_cast<const uint8_t*>(rule.Application);
  const void* zero = memchr(app, 0, RULE_APPLICATION_SIZE);
  uint32_t length = zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - app) : RULE_APPLICATION_SIZE;
  if (zero != nullptr && AllZero(app + length, RULE_APPLICATION_SIZE - length)) {
    if (length != 0) {
      out += "  application ";
      AppendQuoted(out, app, length);
      out += '\n';
    }
  } else {
    out += "  application-bytes ";
    AppendHex(out, app, RULE_APPLICATION_SIZE);
    out += '\n';
  }
  switch (rule.Protocol) {
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP:
      AppendMatch(out, "local-addr", rule.LocalAddr, false);
      AppendMatch(out, "local-port", rule.LocalPort, true);
      AppendMatch(out, "remote-addr", rule.RemoteAddr, false);
      AppendMatch(out, "remote-port", rule.RemotePort, true);
      break;
    case RULE_PROTO_IP:
      AppendMatch(out, "local-addr", rule.LocalAddr, false);
      AppendMatch(out, "remote-addr", rule.IpRemoteAddr, false);
      AppendUnused(out, rule, 47, 65);
      break;
    case RULE_PROTO_ICMP:
      AppendMatch(out, "local-addr", rule.LocalAddr, false);
      AppendMatch(out, "remote-addr", rule.IpRemoteAddr, false);
      AppendFormat(out, "  icmp-types 0x%08" PRIx32 "\n", rule.IcmpTypeMask);
      AppendFormat(out, "  icmp-codes 0x%08" PRIx32 "\n", rule.IcmpCodeMask);
      AppendUnused(out, rule, 55, 65);
      break;
    default:
      AppendUnused(out, rule, 29, 65);
      break;
  }
  out += "end\n";
}

void DumpAuditRule(std::string& out, const _RKFW_AUDIT_RULE& rule) {
  out += "\naudit-rule\n  path ";
  AppendText(out, rule.AppPath);
  out += '\n';
  AppendFormat(out, "  rule-id 0x%08" PRIx32 "\n", rule.RuleId);
  AppendNamed(out, "match-action", static_cast<int32_t>(rule.MatchAction), kActionNames, 3);
  AppendNamed(out, "miss-action", static_cast<int32_t>(rule.MissAction), kActionNames, 3);
  if (rule.Reserved1) AppendFormat(out, "  reserved1 0x%08" PRIx32 "\n", rule.Reserved1);
  switch (rule.Access) {
    case AUDIT_DECISION_PERMIT:
      out += "  access 0x07  # permit\n";
      break;
    case AUDIT_DECISION_NOTIFY:
      out += "  access 0x27  # notify\n";
      break;
    case AUDIT_DECISION_BLOCK:
      out += "  access 0x00  # block\n";
      break;
    default:
      AppendFormat(out, "  access 0x%02" PRIx32 "%s\n", rule.Access, (rule.Access & AUDIT_ACCESS_DETAILED) ? "  # detailed" : "");
  }
  AppendBits(out, "ip-ops", rule.IpOps, kAuditOpNames, kAuditOpBits, 5);
  AppendMatch(out, "ip-local-addr", rule.IpLocalAddr, false);
  AppendMatch(out, "ip-remote-addr", rule.IpRemoteAddr, false);
  AppendBits(out, "tcp-ops", rule.TcpOps, kAuditOpNames, kAuditOpBits, 5);
  AppendMatch(out, "tcp-local-addr", rule.TcpLocalAddr, false);
  AppendMatch(out, "tcp-local-port", rule.TcpLocalPort, true);
  AppendMatch(out, "tcp-remote-addr", rule.TcpRemoteAddr, false);
  AppendMatch(out, "tcp-remote-port", rule.TcpRemotePort, true);
  AppendBits(out, "udp-ops", rule.UdpOps, kAuditOpNames, kAuditOpBits, 5);
  AppendMatch(out, "udp-local-addr", rule.UdpLocalAddr, false);
  AppendMatch(out, "udp-local-port", rule.UdpLocalPort, true);
  AppendMatch(out, "udp-remote-addr", rule.UdpRemoteAddr, false);
  AppendMatch(out, "udp-remote-port", rule.UdpRemotePort, true);
  if (!AllZero(rule.Reserved2, sizeof rule.Reserved2)) {
    out += "  reserved2 ";
    AppendHex(out, rule.Reserved2, sizeof rule.Reserved2);
    out += '\n';
  }
  out += "end\n";
}

void AppendHeader(std::string& out, const uint8_t* header, bool audit) {
  out += audit ? "audit-file\n" : "rule-file\n";
  // Texts are dumped as stored; rkfwtool dump's UTF-8 rewrites this line with the text.
  out += "encoding GBK\n";
  out += "magic ";
  AppendQuoted(out, header, 4);
  AppendFormat(out, "\nversion %" PRIu32 "\n", LoadLe32(header + 4));
}

// ---------------------------------------------------------------------------------------------
// Reading text

struct CToken {
  std::string Text;
  bool Quoted = false;
};

class CTextParser {
 public:
  CTextParser(const char* text, uint32_t size, std::string& error) : text_(text), size_(size), error_(error) {}

  // The next non-empty line's tokens; false at the end or on a lexical error (see failed()).
  bool NextLine(std::vector<CToken>& tokens) {
    tokens.clear();
    while (pos_ < size_ && !failed_) {
      ++line_;
      if (!Tokenize(tokens)) return false;
      if (!tokens.empty()) return true;
    }
    return false;
  }
  bool Fail(const char* what, const std::string& detail = std::string()) {
    if (!failed_) {
      char message[160];
      snprintf(message, sizeof message, "line %u: %s", line_, what);
      error_ = message;
      if (!detail.empty()) error_ += " \"" + detail + "\"";
    }
    failed_ = true;
    return false;
  }
  bool failed() const { return failed_; }
  unsigned line() const { return line_; }
  // A rule-id given twice makes two rules the console cannot tell apart (0 is no id at all).
  bool NoteRuleId(uint32_t id) {
    if (id == 0) return true;
    auto seen = ruleIds_.find(id);
    if (seen == ruleIds_.end()) {
      ruleIds_[id] = line_;
      return true;
    }
    return Fail(("rule-id already used on line " + std::to_string(seen->second) + ":").c_str(), ToHex(id));
  }

 private:
  static std::string ToHex(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "0x%08" PRIx32, v);
    return text;
  }
  std::map<uint32_t, unsigned> ruleIds_;
  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool Tokenize(std::vector<CToken>& tokens) {
    while (pos_ < size_) {
      char c = text_[pos_];
      if (c == '\n') {
        ++pos_;
        return true;
      }
      if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
        continue;
      }
      if (c == 0) return Fail("zero byte in text");
      if (c == '#') {
        while (pos_ < size_ && text_[pos_] != '\n') ++pos_;
        continue;
      }
      CToken token;
      if (c == '"') {
        token.Quoted = true;
        ++pos_;
        for (;;) {
          if (pos_ >= size_ || text_[pos_] == '\n') return Fail("unterminated text");
          auto b = static_cast<uint8_t>(text_[pos_]);
          if (b == 0) return Fail("zero byte in text");
          if (IsGbkLeadByte(b) && pos_ + 1 < size_ && static_cast<uint8_t>(text_[pos_ + 1]) >= 0x40 &&
              static_cast<uint8_t>(text_[pos_ + 1]) != 0x7F && static_cast<uint8_t>(text_[pos_ + 1]) != 0xFF) {
            token.Text += text_[pos_];
            token.Text += text_[pos_ + 1];
            pos_ += 2;
            continue;
          }
          ++pos_;
          if (b == '"') break;
          if (b != '\\') {
            token.Text += static_cast<char>(b);
            continue;
          }
          if (pos_ >= size_) return Fail("unterminated text");
          char e = text_[pos_++];
          if (e == '\\' || e == '"') {
            token.Text += e;
          } else if (e == 'x' && pos_ + 1 < size_ && HexDigit(text_[pos_]) >= 0 && HexDigit(text_[pos_ + 1]) >= 0) {
            int v = HexDigit(text_[pos_]) * 16 + HexDigit(text_[pos_ + 1]);
            if (v == 0) return Fail("zero byte in text");
            token.Text += static_cast<char>(v);
            pos_ += 2;
          } else {
            return Fail("bad escape in text");
          }
        }
      } else {
        while (pos_ < size_) {
          char d = text_[pos_];
          if (d == ' ' || d == '\t' || d == '\r' || d == '\n' || d == '#' || d == '"') break;
          if (d == 0) return Fail("zero byte in text");
          token.Text += d;
          ++pos_;
        }
      }
      tokens.push_back(token);
    }
    return true;
  }

  const char* text_;
  uint32_t size_;
  std::string& error_;
  uint32_t pos_ = 0;
  uint32_t line_ = 0;
  bool failed_ = false;
};

bool ParseNumber(const std::string& text, uint32_t* value) {
  uint64_t v;
  if (!ParseNumberText(text.c_str(), 0xFFFFFFFFu, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool ParseSigned(const std::string& text, int32_t* value) {
  if (!text.empty() && text[0] == '-') {
    uint32_t v;
    if (!ParseNumber(text.substr(1), &v) || v > 0x80000000u) return false;
    *value = static_cast<int32_t>(0u - v);
    return true;
  }
  uint32_t v;
  if (!ParseNumber(text, &v)) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool ParseAddress(const std::string& text, uint32_t* value) {
  if (ParseNumber(text, value) && text.size() > 2 && text[1] == 'x') return true;
  unsigned a, b, c, d;
  char tail;
  if (sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 || d > 255)
    return false;
  *value = a | (b << 8) | (c << 16) | (d << 24);
  return true;
}

bool ParsePort(const std::string& text, uint32_t* value) {
  uint32_t v;
  if (!ParseNumber(text, &v)) return false;
  if (text.size() > 2 && text[1] == 'x') {
    *value = v;  // a stored value as it is
    return true;
  }
  if (v > 0xFFFF) return false;
  *value = HostToNet16(static_cast<uint16_t>(v));
  return true;
}

bool ParseNamed(const std::string& text, const char* const* names, int32_t count, int32_t* value) {
  for (int32_t i = 0; i < count; ++i)
    if (text == names[i]) {
      *value = i;
      return true;
    }
  return ParseSigned(text, value);
}

bool ParseBits(const std::string& text, const char* const* names, const uint32_t* bits, uint32_t count,
               uint32_t* value) {
  *value = 0;
  if (text == "none") return true;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (uint32_t i = 0; i < count; ++i)
      if (part == names[i]) {
        *value |= bits[i];
        known = true;
      }
    uint32_t number;
    if (!known) {
      if (!ParseNumber(part, &number)) return false;
      *value |= number;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}


// Record fields are packed and may sit unaligned: they are filled through memcpy.
bool NumberInto(const std::string& text, void* field) {
  uint32_t v;
  if (!ParseNumber(text, &v)) return false;
  memcpy(field, &v, sizeof v);
  return true;
}

bool NamedInto(const std::string& text, const char* const* names, int32_t count, void* field) {
  int32_t v;
  if (!ParseNamed(text, names, count, &v)) return false;
  memcpy(field, &v, sizeof v);
  return true;
}

bool BitsInto(const std::string& text, const char* const* names, const uint32_t* bits, uint32_t count, void* field) {
  uint32_t v;
  if (!ParseBits(text, names, bits, count, &v)) return false;
  memcpy(field, &v, sizeof v);
  return true;
}

bool ParseHexBytes(const std::string& text, uint8_t* out, uint32_t n) {
  if (text.size() != 2 * n) return false;
  for (uint32_t i = 0; i < n; ++i) {
    char pair[3] = {text[2 * i], text[2 * i + 1], 0};
    char* end;
    if (!isxdigit(static_cast<unsigned char>(pair[0])) || !isxdigit(static_cast<unsigned char>(pair[1]))) return false;
    out[i] = static_cast<uint8_t>(strtoul(pair, &end, 16));
  }
  return true;
}

// A match value from its tokens (after the field name). Lists get a heap element block.
bool ParseMatch(const std::vector<CToken>& t, bool port, _MATCH_VALUE* value) {
  auto element = [&](const std::string& s, uint32_t* v) { return port ? ParsePort(s, v) : ParseAddress(s, v); };
  ReleaseMatchValue(value);
  if (t.size() < 2) return false;
  const std::string& form = t[1].Text;
  if (form == "any" && t.size() == 2) return true;
  if (form == "range") {
    uint32_t low, high;
    if (t.size() != 4 || !element(t[2].Text, &low) || !element(t[3].Text, &high)) return false;
    value->Kind = MATCH_RANGE;
    value->Value1 = high;
    value->Value2 = low;
    return true;
  }
  if (form == "list") {
    std::vector<uint32_t> elements;
    bool none = t.size() == 3 && t[2].Text == "none";
    for (size_t i = none ? 3 : 2; i < t.size(); ++i) {
      uint32_t v;
      if (!element(t[i].Text, &v)) return false;
      elements.push_back(v);
    }
    _MATCH_VALUE source = {MATCH_LIST, static_cast<uint32_t>(elements.size()),
                           static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements.data()))};
    CopyMatchValue(value, &source);
    return true;
  }
  if (form == "raw") {
    uint32_t kind, v1, v2;
    if (t.size() != 5 || !ParseNumber(t[2].Text, &kind) || kind > 255 || kind == MATCH_LIST ||
        !ParseNumber(t[3].Text, &v1) || !ParseNumber(t[4].Text, &v2))
      return false;
    value->Kind = static_cast<uint8_t>(kind);
    value->Value1 = v1;
    value->Value2 = v2;
    return true;
  }
  uint32_t v;
  if (t.size() != 2 || !element(form, &v)) return false;
  value->Value1 = v;
  return true;
}

char* HeapCopy(const std::string& text) {
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(text.size()) + 1));
  if (copy == nullptr) throw std::bad_alloc();
  memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void SetText(void* field, const std::string& text) {
  char* old;
  memcpy(&old, field, sizeof old);
  PlatformFree(old);
  char* fresh = HeapCopy(text);
  memcpy(field, &fresh, sizeof fresh);
}

// A rule file's or audit file's content as the text describes it.
struct CParsedText {
  bool Audit = false;
  uint8_t Magic[4] = {'R', 'K', 'F', 'A'};
  uint32_t Version = kRuleFileVersion;
  uint32_t UnusedRecords = 0;
  uint32_t UnusedExtra = 0;
  _Array<_RKFW_RULE> Rules{kIpRuleGrowStep};
  _Array<_RKFW_AUDIT_RULE> AuditRules{kAuditRuleGrowStep};
  ~CParsedText() {
    ReleaseRules(Rules);
    ReleaseAuditRules(AuditRules);
  }
};

// The slots a protocol leaves unused; "unused OFFSET HEX" may only fill those.
bool UnusedRange(int32_t protocol, uint32_t* from, uint32_t* to) {
  switch (protocol) {
    case RULE_PROTO_IP:
      *from = 47;
      break;
    case RULE_PROTO_ICMP:
      *from = 55;
      break;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP:
      return false;
    default:
      *from = 29;
      break;
  }
  *to = 65;
  return true;
}

// A match field's value: besides its form, a list needs elements and a range must not run
// backwards (the driver would match nothing).
bool ParseMatchField(CTextParser& parser, const std::vector<CToken>& t, bool port, _MATCH_VALUE* slot,
                     const std::string& key) {
  if (t.size() == 2 && t[1].Text == "list") return parser.Fail("empty list (\"list none\" matches nothing) for", key);
  if (!ParseMatch(t, port, slot)) return parser.Fail("bad value for", key);
  if (slot->Kind == MATCH_RANGE && t[1].Text == "range" && Magnitude(slot->Value2, port) > Magnitude(slot->Value1, port))
    return parser.Fail("range ends before it begins for", key);
  return true;
}

bool ParseRuleBlock(CTextParser& parser, std::vector<CToken>& t, _RKFW_RULE& rule) {
  bool protocolSeen = false;
  while (parser.NextLine(t)) {
    const std::string& key = t[0].Text;
    auto one = [&]() { return t.size() == 2; };
    if (key == "end") {
      if (t.size() != 1) return parser.Fail("bad line", key);
      // Without one the rule would silently become an IP rule.
      return protocolSeen ? true : parser.Fail("rule without protocol");
    }
    bool matchField = key == "local-addr" || key == "remote-addr" || key == "local-port" || key == "remote-port";
    if ((matchField || key == "icmp-types" || key == "icmp-codes" || key == "unused") && !protocolSeen)
      return parser.Fail("protocol must come before", key);
    bool ok = true;
    if (key == "name" && one() && t[1].Quoted) {
      SetText(&rule.Name, t[1].Text);
    } else if (key == "description" && one() && t[1].Quoted) {
      SetText(&rule.Description, t[1].Text);
    } else if (key == "protocol" && one() && !protocolSeen) {
      ok = NamedInto(t[1].Text, kProtocolNames, 5, &rule.Protocol);
      protocolSeen = true;
    } else if (key == "action" && one()) {
      ok = NamedInto(t[1].Text, kActionNames, 4, &rule.Action);
    } else if (key == "conditions" && one()) {
      ok = BitsInto(t[1].Text, kConditionNames, kLowBits, 5, &rule.Conditions);
    } else if (key == "options" && one()) {
      ok = BitsInto(t[1].Text, kOptionNames, kLowBits, 4, &rule.Options);
    } else if (key == "rule-id" && one()) {
      ok = NumberInto(t[1].Text, &rule.RuleId);
      if (ok && !parser.NoteRuleId(rule.RuleId)) return false;
    } else if (key == "reserved1" && one()) {
      ok = NumberInto(t[1].Text, &rule.Reserved1);
    } else if (key == "reserved2" && one()) {
      ok = NumberInto(t[1].Text, &rule.Reserved2);
    } else if (key == "reserved3" && one()) {
      ok = NumberInto(t[1].Text, &rule.Reserved3);
    } else if (key == "application" && one() && t[1].Quoted) {
      ok = t[1].Text.size() < RULE_APPLICATION_SIZE;
      if (ok) {
        memset(rule.Application, 0, RULE_APPLICATION_SIZE);
        memcpy(rule.Application, t[1].Text.data(), t[1].Text.size());
      }
    } else if (key == "application-bytes" && one()) {
      ok = ParseHexBytes(t[1].Text, reinterpret_cast<uint8_t*>(rule.Application), RULE_APPLICATION_SIZE);
    } else if (matchField) {
      bool tcpUdp = rule.Protocol == RULE_PROTO_TCP || rule.Protocol == RULE_PROTO_UDP;
      bool ipIcmp = rule.Protocol == RULE_PROTO_IP || rule.Protocol == RULE_PROTO_ICMP;
      _MATCH_VALUE* slot = nullptr;
      if (key == "local-addr" && (tcpUdp || ipIcmp)) slot = &rule.LocalAddr;
      if (key == "remote-addr" && tcpUdp) slot = &rule.RemoteAddr;
      if (key == "remote-addr" && ipIcmp) slot = &rule.IpRemoteAddr;
      if (key == "local-port" && tcpUdp) slot = &rule.LocalPort;
      if (key == "remote-port" && tcpUdp) slot = &rule.RemotePort;
      if (slot == nullptr) return parser.Fail("field not used by this protocol", key);
      if (!ParseMatchField(parser, t, key.find("port") != std::string::npos, slot, key)) return false;
    } else if ((key == "icmp-types" || key == "icmp-codes") && one()) {
      if (rule.Protocol != RULE_PROTO_ICMP) return parser.Fail("field not used by this protocol", key);
      ok = NumberInto(t[1].Text, key == "icmp-types" ? static_cast<void*>(&rule.IcmpTypeMask) : static_cast<void*>(&rule.IcmpCodeMask));
    } else if (key == "unused" && t.size() == 3) {
      uint32_t from, to, at;
      ok = UnusedRange(rule.Protocol, &from, &to) && ParseNumber(t[1].Text, &at) && at >= from && at < to &&
           ParseHexBytes(t[2].Text, reinterpret_cast<uint8_t*>(&rule) + at, static_cast<uint32_t>(t[2].Text.size() / 2)) &&
           t[2].Text.size() / 2 <= to - at;
    } else {
      return parser.Fail("unknown or malformed line", key);
    }
    if (!ok) return parser.Fail("bad value for", key);
  }
  return parser.Fail("rule without end");
}

bool ParseAuditBlock(CTextParser& parser, std::vector<CToken>& t, _RKFW_AUDIT_RULE& rule) {
  struct Field {
    const char* Name;
    _MATCH_VALUE* Value;
    bool Port;
  };
  const Field fields[] = {
      {"ip-local-addr", &rule.IpLocalAddr, false},   {"ip-remote-addr", &rule.IpRemoteAddr, false},
      {"tcp-local-addr", &rule.TcpLocalAddr, false}, {"tcp-local-port", &rule.TcpLocalPort, true},
      {"tcp-remote-addr", &rule.TcpRemoteAddr, false}, {"tcp-remote-port", &rule.TcpRemotePort, true},
      {"udp-local-addr", &rule.UdpLocalAddr, false}, {"udp-local-port", &rule.UdpLocalPort, true},
      {"udp-remote-addr", &rule.UdpRemoteAddr, false}, {"udp-remote-port", &rule.UdpRemotePort, true},
  };
  while (parser.NextLine(t)) {
    const std::string& key = t[0].Text;
    auto one = [&]() { return t.size() == 2; };
    if (key == "end") {
      if (t.size() != 1) return parser.Fail("bad line", key);
      if (rule.AppPath == nullptr) return parser.Fail("audit rule without path");
      return true;
    }
    bool ok = true;
    int32_t named = 0;
    const Field* field = nullptr;
    for (const Field& f : fields)
      if (key == f.Name) field = &f;
    if (field != nullptr) {
      if (!ParseMatchField(parser, t, field->Port, field->Value, key)) return false;
    } else if (key == "path" && one() && t[1].Quoted) {
      SetText(&rule.AppPath, t[1].Text);
    } else if (key == "rule-id" && one()) {
      ok = NumberInto(t[1].Text, &rule.RuleId);
      if (ok && !parser.NoteRuleId(rule.RuleId)) return false;
    } else if ((key == "match-action" || key == "miss-action") && one()) {
      ok = ParseNamed(t[1].Text, kActionNames, 3, &named);
      (key == "match-action" ? rule.MatchAction : rule.MissAction) = static_cast<uint32_t>(named);
    } else if (key == "reserved1" && one()) {
      ok = NumberInto(t[1].Text, &rule.Reserved1);
    } else if (key == "access" && one()) {
      ok = NumberInto(t[1].Text, &rule.Access);
    } else if ((key == "ip-ops" || key == "tcp-ops" || key == "udp-ops") && one()) {
      void* ops = key == "ip-ops" ? static_cast<void*>(&rule.IpOps) : key == "tcp-ops" ? static_cast<void*>(&rule.TcpOps) : static_cast<void*>(&rule.UdpOps);
      ok = BitsInto(t[1].Text, kAuditOpNames, kAuditOpBits, 5, ops);
    } else if (key == "reserved2" && one()) {
      ok = ParseHexBytes(t[1].Text, rule.Reserved2, sizeof rule.Reserved2);
    } else {
      return parser.Fail("unknown or malformed line", key);
    }
    if (!ok) return parser.Fail("bad value for", key);
  }
  return parser.Fail("audit rule without end");
}

bool ParseText(const char* text, uint32_t size, CParsedText& parsed, std::string& error) {
  CTextParser parser(text, size, error);
  std::vector<CToken> t;
  if (!parser.NextLine(t)) return parser.failed() ? false : parser.Fail("empty text");
  if (t.size() != 1 || (t[0].Text != "rule-file" && t[0].Text != "audit-file"))
    return parser.Fail("the text must begin with rule-file or audit-file");
  parsed.Audit = t[0].Text == "audit-file";
  while (parser.NextLine(t)) {
    const std::string& key = t[0].Text;
    if (key == "magic" && t.size() == 2 && t[1].Quoted) {
      // The console writes nothing else, and the audit reader refuses anything else.
      if (t[1].Text != "RKFA") return parser.Fail("wrong magic (a rule file's magic is \"RKFA\"):", t[1].Text);
      memcpy(parsed.Magic, t[1].Text.data(), 4);
    } else if (key == "version" && t.size() == 2) {
      if (!ParseNumber(t[1].Text, &parsed.Version)) return parser.Fail("bad value for", key);
      if (parsed.Version != kRuleFileVersion) return parser.Fail("wrong version (rule files have version 256):", t[1].Text);
    } else if (key == "encoding" && t.size() == 2 && !t[1].Quoted && parsed.Rules.Count == 0 && parsed.AuditRules.Count == 0) {
      // Read before parsing (CompileRuleText): the text is GBK by now.
    } else if (!parsed.Audit && key == "unused-records" && t.size() == 2) {
      if (!ParseNumber(t[1].Text, &parsed.UnusedRecords) || parsed.UnusedRecords > 0xFFFF)
        return parser.Fail("bad value for", key);
    } else if (!parsed.Audit && key == "unused-extra" && t.size() == 2) {
      if (!ParseNumber(t[1].Text, &parsed.UnusedExtra) || parsed.UnusedExtra > 0x1000000)
        return parser.Fail("bad value for", key);
    } else if (!parsed.Audit && key == "rule" && t.size() == 1) {
      _RKFW_RULE rule;
      memset(&rule, 0, sizeof rule);
      _RKFW_RULE& held = parsed.Rules[parsed.Rules.Append(rule)];
      if (!ParseRuleBlock(parser, t, held)) return false;
    } else if (parsed.Audit && key == "audit-rule" && t.size() == 1) {
      _RKFW_AUDIT_RULE rule;
      memset(&rule, 0, sizeof rule);
      _RKFW_AUDIT_RULE& held = parsed.AuditRules[parsed.AuditRules.Append(rule)];
      if (!ParseAuditBlock(parser, t, held)) return false;
    } else {
      return parser.Fail("unknown or malformed line", key);
    }
  }
  if (parser.failed()) return false;
  // The audit reader refuses any other magic: such a file would never load.
  if (parsed.Audit && memcmp(parsed.Magic, kRuleFileMagic, 4) != 0) return parser.Fail("an audit file's magic is \"RKFA\"");
  // A rule file names every rule's texts; an absent one is an empty text.
  for (_RKFW_RULE& rule : parsed.Rules) {
    if (rule.Name == nullptr) rule.Name = HeapCopy("");
    if (rule.Description == nullptr) rule.Description = HeapCopy("");
  }
  if (parsed.UnusedExtra != 0 && parsed.UnusedExtra < 10 * parsed.UnusedRecords)
    return parser.Fail("unused-extra must be at least 10 for each unused record");
  if (parsed.UnusedExtra != 0 && parsed.UnusedRecords == 0) return parser.Fail("unused-extra without unused-records");
  return true;
}

// What a rule file body holds beyond its parsed rules: records and extra bytes that rules with
// a protocol outside 0 to 4 took when the file was written.
void FindSlack(const _bytePtr& body, const _Array<_RKFW_RULE>& rules, uint32_t* records, uint32_t* extra) {
  *records = *extra = 0;
  uint32_t extraOffset = LoadLe32(body.Data() + RULE_BODY_EXTRA_OFFSET_AT);
  uint32_t extraSize = LoadLe32(body.Data() + RULE_BODY_EXTRA_SIZE_AT);
  uint64_t canonical = RULE_BODY_EMPTY_SIZE + static_cast<uint64_t>(kRuleSize) * rules.Count;
  if (extraOffset <= canonical || (extraOffset - canonical) % kRuleSize != 0) return;
  _bytePtr rebuilt;
  BuildRuleFileBody(rules, rebuilt);
  uint32_t used = LoadLe32(rebuilt.Data() + RULE_BODY_EXTRA_SIZE_AT);
  *records = static_cast<uint32_t>((extraOffset - canonical) / kRuleSize);
  if (extraSize > used) *extra = extraSize - used;
}
}  // namespace

uint32_t DumpRuleFileBytes(const uint8_t* data, uint32_t size, bool audit, std::string& text, std::string& error) {
  text.clear();
  _bytePtr body;
  uint32_t result = ParseRuleFileBytes(data, size, audit, body);
  if (result != RESULT_OK) {
    error = size < kRuleFileHeaderSize ? "shorter than its header" : "damaged header, length or checksum";
    return result;
  }
  AppendHeader(text, data, audit);
  if (audit) {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
    result = ParseAuditBody(body, rules);
    if (result != RESULT_OK) {
      error = "the audit body does not parse";
      return result;
    }
    for (const _RKFW_AUDIT_RULE& rule : rules) DumpAuditRule(text, rule);
    ReleaseAuditRules(rules);
    return RESULT_OK;
  }
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  result = ParseRuleFileBody(body, rules);
  if (result != RESULT_OK) {
    error = "the rule body does not parse";
    return result;
  }
  uint32_t records, extra;
  FindSlack(body, rules, &records, &extra);
  if (records != 0) AppendFormat(text, "unused-records %" PRIu32 "\n", records);
  if (extra != 0) AppendFormat(text, "unused-extra %" PRIu32 "\n", extra);
  for (const _RKFW_RULE& rule : rules) DumpRule(text, rule);
  ReleaseRules(rules);
  return RESULT_OK;
}

uint32_t CompileRuleText(const char* text, uint32_t size, _bytePtr& file, std::string& error, bool* audit,
                         TTextEncoding unmarked) {
  file.Release();
  // The text's own encoding line decides, then a byte order mark (UTF-8), then the caller;
  // UTF-8 is stored as GBK, as the console reads it. Never a guess from the bytes: GBK text
  // can be well-formed UTF-8 too.
  bool marked = size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0;
  TTextEncoding encoding = marked ? TTextEncoding::Utf8 : unmarked;
  std::string name;
  if (uint32_t line = FindEncodingLine(text, size, name)) {
    TTextEncoding declared;
    if (!ParseEncodingName(name, &declared)) {
      error = "line " + std::to_string(line) + ": unknown encoding \"" + name + "\" (GBK or UTF-8)";
      return RESULT_FAILED;
    }
    if (marked && declared != TTextEncoding::Utf8) {
      error = "line " + std::to_string(line) + ": encoding " + name + " in a text with a UTF-8 byte order mark";
      return RESULT_FAILED;
    }
    encoding = declared;
  }
  std::string gbk;
  if (encoding == TTextEncoding::Utf8) {
    uint32_t badLine = 0;
    if (!Utf8TextToGbk(std::string(text + (marked ? 3 : 0), size - (marked ? 3 : 0)), gbk, &badLine)) {
      error = "line " + std::to_string(badLine) + ": a character GBK cannot hold, or malformed UTF-8";
      return RESULT_FAILED;
    }
    text = gbk.data();
    size = static_cast<uint32_t>(gbk.size());
  }
  CParsedText parsed;
  if (!ParseText(text, size, parsed, error)) return RESULT_FAILED;
  if (audit != nullptr) *audit = parsed.Audit;
  _bytePtr body;
  if (parsed.Audit) {
    BuildAuditBody(parsed.AuditRules, body);
  } else {
    // Rules with an outside protocol are not written but still take their room.
    uint32_t extra = parsed.UnusedExtra != 0 ? parsed.UnusedExtra : 10 * parsed.UnusedRecords;
    for (uint32_t i = 0; i < parsed.UnusedRecords; ++i) {
      _RKFW_RULE placeholder;
      memset(&placeholder, 0, sizeof placeholder);
      placeholder.Protocol = -1;
      std::string filler(i == 0 ? extra - 10 * parsed.UnusedRecords : 0, ' ');
      placeholder.Name = HeapCopy("");
      placeholder.Description = HeapCopy(filler);
      parsed.Rules.Append(placeholder);
    }
    BuildRuleFileBody(parsed.Rules, body);
  }
  uint32_t length = LoadLe32(body.Data());
  file.Reset(kRuleFileHeaderSize + length);
  memcpy(file.Data(), parsed.Magic, 4);
  StoreLe32(file.Data() + 4, parsed.Version);
  StoreLe32(file.Data() + 8, length);
  StoreLe32(file.Data() + 12, RuleFileChecksum(body.Data(), length));
  memcpy(file.Data() + kRuleFileHeaderSize, body.Data(), length);
  return RESULT_OK;
}

bool TextReproducesFile(const uint8_t* data, uint32_t size, const std::string& text) {
  _bytePtr file;
  std::string error;
  if (CompileRuleText(text.data(), static_cast<uint32_t>(text.size()), file, error) != RESULT_OK) return false;
  return file.Length() == size && memcmp(file.Data(), data, size) == 0;
}
