// The log text of an event: one block of labelled lines for every system event (kind 1) and
// every logged application event (kind 3), as the log page and the log file show it.
#pragma once
#include <cstdint>

#include "base/text.h"
#include "log/eventrecord.h"

// The block for `record` in a fresh kLogTextSize buffer: each line ends with "\r\n"; the
// empty text for any other kind. Rule names come from IpRuleCache (and, for application
// events, AuditRuleCache).
_textPtr BuildEventLogText(const _REPORT_EVENT_HEAD& record);

// The record's time stamp as "YYYY-MM-DD hh:mm:ss" in local time (see SetEventClock).
_textPtr FormatEventTime(const _REPORT_EVENT_HEAD& record);

// 0 and a new text holding the Name of the first rule in IpRuleCache with that RuleId;
// 11 (and `name` untouched) when there is none.
uint32_t FindIpRuleName(uint32_t ruleId, _textPtr& name);

// Display texts of the record's coded fields. Operations outside the five single bits give
// the empty text; protocols and actions outside their tables give "未知(N)".
const char* EventOperationText(uint32_t operation);
// `text` receives the action name or "未知(N)"; returns text.
const char* EventActionText(uint32_t action, char (&text)[32]);
// By the kind's own table: kind 1 IP, ICMP, IGMP, TCP, UDP; kinds 2 and 3 IP, TCP, UDP.
const char* EventProtocolText(uint32_t kind, uint32_t protocol, char (&text)[32]);
// True when the protocol carries ports (TCP or UDP) in that kind's numbering.
bool EventProtocolHasPorts(uint32_t kind, uint32_t protocol);
