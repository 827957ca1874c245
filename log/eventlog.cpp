#include "log/eventlog.h"

#include "log/formatters.h"
#include "rules/caches.h"

namespace {
const char* const kOperations[] = {"接收", "发送", "连接网络", "网络连接本地服务请求", "作为服务"};
const char* const kActions[] = {"许可", "拦截", "通知用户", "忽略"};
const char* const kSystemProtocols[] = {"IP", "ICMP", "IGMP", "TCP", "UDP"};
const char* const kAppProtocols[] = {"IP", "TCP", "UDP"};

const char* FromTable(const char* const* table, uint32_t count, uint32_t value, char (&text)[32]) {
  if (value < count) return table[value];
  FormatText(text, sizeof text, "未知(%u)", value);
  return text;
}

// Builds the block line by line: each line is formatted into its own buffer first, so that
// an overlong value cuts only its line.
class CLogBlock {
 public:
  CLogBlock() : text_(MakeText(kLogTextSize)) {}

  void Line(const char* format, const char* value) __attribute__((format(printf, 2, 0))) {
    FormatText(line_, sizeof line_, format, value);
    AppendText(text_.Data(), kLogTextSize, "%s\r\n", line_);
  }
  void Raw(const char* text) { AppendText(text_.Data(), kLogTextSize, "%s", text); }
  _textPtr Take() { return text_; }

 private:
  _textPtr text_;
  char line_[kValueTextSize];
};

void AddressLines(CLogBlock& block, bool ports, uint32_t local, uint16_t localPort,
                  uint32_t remote, uint16_t remotePort) {
  _textPtr l = ports ? FormatEndpoint(local, localPort) : FormatAddress(local, true);
  _textPtr r = ports ? FormatEndpoint(remote, remotePort) : FormatAddress(remote, true);
  block.Line("[本方地址]: %s", l.Data());
  block.Line("[对方地址]: %s", r.Data());
}

void SizeLine(CLogBlock& block, const _REPORT_EVENT_HEAD& record) {
  char size[16];
  FormatText(size, sizeof size, "%u", EventU32(record, EVENT_AT_DATA_SIZE));
  block.Line("[数据大小]: %s", size);
}

_textPtr SystemEventText(const _REPORT_EVENT_HEAD& record) {
  CLogBlock block;
  char scratch[32];
  block.Line("[时间]:     %s", FormatEventTime(record).Data());
  if (EventU32(record, EVENT_AT_FLAGS) & kEventAuditFlag) {
    block.Line("[记录规则]: %s", "未知应用程序审核");
  } else {
    _textPtr name;
    if (FindIpRuleName(EventU32(record, SYS_AT_RULE_ID), name) == 0) {
      block.Line("[记录规则]: %s", name.Data());
    } else {
      block.Line("[记录规则]: %s", "未知");
    }
  }
  block.Raw("[来源]:     系统\r\n");
  block.Line("[操作]:     %s", EventOperationText(EventU32(record, SYS_AT_OPERATION)));
  block.Line("[处理方式]: %s", EventActionText(EventU32(record, SYS_AT_ACTION), scratch));
  uint32_t protocol = EventU32(record, SYS_AT_PROTOCOL);
  block.Line("[协议类型]: %s", EventProtocolText(EVENT_KIND_SYSTEM, protocol, scratch));
  bool ports = EventProtocolHasPorts(EVENT_KIND_SYSTEM, protocol);
  AddressLines(block, ports, EventU32(record, SYS_AT_LOCAL_ADDR), EventPort(record, SYS_AT_LOCAL_PORT),
               EventU32(record, ports ? SYS_AT_REMOTE_ADDR : SYS_AT_REMOTE_ADDR_IP),
               EventPort(record, SYS_AT_REMOTE_PORT));
  SizeLine(block, record);
  return block.Take();
}

// Application events carry no IP rule. Without the audit flag the line names the
// application audit and, when the cached audit rule the record names is known, its path.
void AppRuleLine(CLogBlock& block, const _REPORT_EVENT_HEAD& record) {
  if (EventU32(record, EVENT_AT_FLAGS) & kEventAuditFlag) {
    block.Line("[记录规则]: %s", "来知应用程序审核");
    return;
  }
  const _RKFW_AUDIT_RULE* rule = FindAuditRuleById(EventU32(record, APP_AT_RULE_ID));
  if (rule != nullptr && rule->AppPath != nullptr && rule->AppPath[0] != 0) {
    char line[kValueTextSize];
    FormatText(line, sizeof line, "应用程序审核 (%s)", rule->AppPath);
    block.Line("[记录规则]: %s", line);
  } else {
    block.Line("[记录规则]: %s", "应用程序审核");
  }
}

_textPtr AppEventText(const _REPORT_EVENT_HEAD& record) {
  CLogBlock block;
  char scratch[32];
  char name[kProcessNameSize + 1];
  block.Line("[时间]:     %s", FormatEventTime(record).Data());
  AppRuleLine(block, record);
  GetEventProcessName(record, name);
  block.Line("[来源]:     %s", name);
  block.Line("[操作]:     %s", EventOperationText(EventU32(record, APP_AT_OPERATION)));
  block.Line("[处理方式]: %s", EventActionText(EventU32(record, APP_AT_ACTION), scratch));
  uint32_t protocol = EventU32(record, APP_AT_PROTOCOL);
  block.Line("[协议类型]: %s", EventProtocolText(EVENT_KIND_APP_LOG, protocol, scratch));
  AddressLines(block, EventProtocolHasPorts(EVENT_KIND_APP_LOG, protocol),
               EventU32(record, APP_AT_LOCAL_ADDR), EventPort(record, APP_AT_LOCAL_PORT),
               EventU32(record, APP_AT_REMOTE_ADDR), EventPort(record, APP_AT_REMOTE_PORT));
  SizeLine(block, record);
  return block.Take();
}
}  // namespace

const char* EventOperationText(uint32_t operation) {
  switch (operation) {
    case 1: return kOperations[0];
    case 2: return kOperations[1];
    case 4: return kOperations[2];
    case 8: return kOperations[3];
    case 16: return kOperations[4];
    default: return "";
  }
}

const char* EventActionText(uint32_t action, char (&text)[32]) {
  return FromTable(kActions, 4, action, text);
}

const char* EventProtocolText(uint32_t kind, uint32_t protocol, char (&text)[32]) {
  if (kind == EVENT_KIND_SYSTEM) return FromTable(kSystemProtocols, 5, protocol, text);
  return FromTable(kAppProtocols, 3, protocol, text);
}

bool EventProtocolHasPorts(uint32_t kind, uint32_t protocol) {
  if (kind == EVENT_KIND_SYSTEM) return protocol == 3 || protocol == 4;
  return protocol == 1 || protocol == 2;
}

_textPtr FormatEventTime(const _REPORT_EVENT_HEAD& record) {
  return FormatFileTimeStamp(EventU64(record, EVENT_AT_TIME), GetEventClock());
}

uint32_t FindIpRuleName(uint32_t ruleId, _textPtr& name) {
  const _RKFW_RULE* rule = FindIpRuleById(ruleId);
  if (rule == nullptr) return 11;
  name = MakeText(kValueTextSize, rule->Name ? rule->Name : "");
  return 0;
}

_textPtr BuildEventLogText(const _REPORT_EVENT_HEAD& record) {
  switch (EventKind(record)) {
    case EVENT_KIND_SYSTEM: return SystemEventText(record);
    case EVENT_KIND_APP_LOG: return AppEventText(record);
    default: return MakeText(kLogTextSize);
  }
}
