/* What the stand-in does with one packet: the IP rules of the last accepted image, then the
 * audit rules of the last accepted audit image, as docs/standin.md describes. Both images were
 * checked when they were accepted (images.c), so every count, offset and list followed here
 * lies inside them. */
#include <string.h>

#include "rules/records.h"
#include "standin/core/le.h"
#include "standin/core/standin.h"

/* ---- values ---- */

static uint32_t Swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

/* A stored value in the order that ranges compare: addresses and ports are kept in network
 * order (a port zero-extended from 16 bits); 0xFFFFFFFF for a port that is no port. */
static uint32_t Ordered(uint32_t v, int port) {
  if (!port) return Swap32(v);
  if (v > 0xFFFFu) return 0xFFFFFFFFu;
  return ((v & 0xFFu) << 8) | (v >> 8);
}

/* Does the match value cover x? Kind 0 with 0 is any; a list any of its elements (none when it
 * is empty); a range is stored last-first and includes both ends. */
static int MatchValueCovers(const uint8_t* value, const uint8_t* extra, uint32_t x, int port) {
  uint32_t v1 = Le32(value + 1), v2 = Le32(value + 5), i;
  switch (value[0]) {
    case MATCH_SINGLE:
      return v1 == 0 || v1 == x;
    case MATCH_LIST:
      for (i = 0; i < v1; ++i)
        if (Le32(extra + v2 + 4u * i) == x) return 1;
      return 0;
    case MATCH_RANGE: {
      uint32_t at = Ordered(x, port), low = Ordered(v2, port), high = Ordered(v1, port);
      return at != 0xFFFFFFFFu && low <= at && at <= high;
    }
    default:
      return 0;
  }
}

/* Texts compared as the console compares paths: ASCII letters without case, the two bytes of a
 * GBK character exactly (its second byte may look like a letter). */
static int SameTextIgnoringCase(const char* a, uint32_t aSize, const char* b, uint32_t bSize) {
  uint32_t i = 0;
  for (;;) {
    unsigned char x = i < aSize ? (unsigned char)a[i] : 0, y = i < bSize ? (unsigned char)b[i] : 0;
    if (x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
    if (x != y) return 0;
    if (x == 0) return 1;
    if (x >= 0x81) {
      ++i;
      x = i < aSize ? (unsigned char)a[i] : 0;
      y = i < bSize ? (unsigned char)b[i] : 0;
      if (x != y) return 0;
      if (x == 0) return 1;
    }
    ++i;
  }
}

static uint32_t TextLength(const char* text, uint32_t limit) {
  uint32_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

/* ---- the packet's process ---- */

typedef struct PROCESS_VIEW {
  int known;             /* the packet names a process */
  const char* path;      /* its full path, or NULL when the driver has none for its key */
  uint32_t pathLength;
  const char* fileName;  /* the part after the last '\\' or '/', else the process name */
  uint32_t fileNameLength;
} PROCESS_VIEW;

static void ViewProcess(RKFW_STATE* s, const STANDIN_PACKET* p, PROCESS_VIEW* v) {
  const RKFW_PATH_ENTRY* entry;
  uint32_t i;
  memset(v, 0, sizeof(*v));
  v->known = (p->Flags & STANDIN_PACKET_OF_PROCESS) != 0;
  if (!v->known) return;
  entry = RkfwFindPath(s, p->DriverKey);
  if (entry != NULL) {
    v->path = entry->Path;
    v->pathLength = entry->Length;
    v->fileName = entry->Path;
    v->fileNameLength = entry->Length;
    for (i = 0; i < entry->Length; ++i)
      if (entry->Path[i] == '\\' || entry->Path[i] == '/') {
        v->fileName = entry->Path + i + 1;
        v->fileNameLength = entry->Length - i - 1;
      } else if ((unsigned char)entry->Path[i] >= 0x81) {
        ++i; /* a GBK second byte is never a separator */
      }
  } else {
    v->fileName = p->ProcessName;
    v->fileNameLength = TextLength(p->ProcessName, RKFW_PROCESS_NAME_SIZE);
  }
}

/* ---- records ---- */

static int IsTcpOrUdp(uint32_t protocol) { return protocol == RULE_PROTO_TCP || protocol == RULE_PROTO_UDP; }

static int QueueHit(RKFW_STATE* s, const STANDIN_PACKET* p, const uint8_t* entry) {
  _REPORT_EVENT_HEAD e;
  _RKFW_SYSTEM_EVENT* b = &e.Body.System;
  uint32_t options = Le32(entry + IP_IMAGE_ENTRY_AT(Options));
  memset(&e, 0, sizeof(e));
  e.Time = p->Time;
  e.Kind = RKFW_EVENT_SYSTEM;
  e.DataSize = sizeof(e.Body);
  b->Protocol = p->Protocol;
  b->Action = Le32(entry + IP_IMAGE_ENTRY_AT(Action));
  b->Operation = p->Operation;
  b->Flags = options & (STANDIN_HIT_LOGGED | STANDIN_HIT_ALERT);
  b->RuleId = Le32(entry + IP_IMAGE_ENTRY_AT(RuleId));
  b->LocalAddress = p->LocalAddress;
  if (IsTcpOrUdp(p->Protocol)) {
    memcpy(b->Endpoints, &p->LocalPort, 2);
    memcpy(b->Endpoints + 2, &p->RemoteAddress, 4);
    memcpy(b->Endpoints + 6, &p->RemotePort, 2);
  } else {
    memcpy(b->Endpoints, &p->RemoteAddress, 4);
  }
  return RkfwQueueEvents(s, (const uint8_t*)&e, RKFW_EVENT_SIZE) == RKFW_STATUS_OK;
}

/* Holds the packet and asks the console as an application event would: the event names the
 * program's audit rule (flag 0x40) when it has one. */
static void Ask(RKFW_STATE* s, const STANDIN_PACKET* p, uint32_t auditRuleId, STANDIN_PACKET_RESULT* r) {
  _REPORT_EVENT_HEAD e;
  _RKFW_APP_EVENT* b = &e.Body.App;
  uint32_t ticket = s->LastTicket + 1 == 0 ? 1 : s->LastTicket + 1;
  RKFW_HELD_PACKET* slot = &s->Held[ticket % STANDIN_MAX_HELD];
  memset(&e, 0, sizeof(e));
  e.Time = p->Time;
  e.Kind = RKFW_EVENT_APP_ASK;
  e.DataSize = sizeof(e.Body);
  b->RuleId = auditRuleId;
  b->Operation = p->Operation;
  b->Action = RULE_ACTION_NOTIFY;
  b->Flags = auditRuleId != 0 ? RKFW_EVENT_FLAG_AUDIT : 0;
  memcpy(b->ProcessName, p->ProcessName, sizeof(b->ProcessName));
  b->NameSource = p->NameSource;
  b->ProcessId = p->ProcessId;
  b->LocalAddress = p->LocalAddress;
  b->RemoteAddress = p->RemoteAddress;
  b->LocalPort = p->LocalPort;
  b->RemotePort = p->RemotePort;
  b->Protocol = p->Protocol == RULE_PROTO_TCP ? 1u : p->Protocol == RULE_PROTO_UDP ? 2u : 0u;
  b->DriverKey = p->DriverKey;
  PutLe32((uint8_t*)&e + STANDIN_TICKET_AT, ticket);
  /* Nobody could ever answer an event that finds no room: the packet is dropped. */
  if (RkfwQueueEvents(s, (const uint8_t*)&e, RKFW_EVENT_SIZE) != RKFW_STATUS_OK) {
    r->Verdict = STANDIN_PACKET_BLOCK;
    return;
  }
  s->LastTicket = ticket;
  r->Verdict = STANDIN_PACKET_HELD;
  r->Ticket = ticket;
  slot->Ticket = ticket;
  slot->Result = *r;
}

/* ---- IP rules ---- */

static int IpRuleMatches(const uint8_t* entry, uint32_t group, const uint8_t* extra, const STANDIN_PACKET* p,
                         const PROCESS_VIEW* process) {
  uint32_t options = Le32(entry + IP_IMAGE_ENTRY_AT(Options));
  if (options & RULE_OPT_DISABLED) return 0;
  if ((Le32(entry + IP_IMAGE_ENTRY_AT(Conditions)) & p->Operation) == 0) return 0;
  switch (group) {
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
      if (!MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(LocalAddr), extra, p->LocalAddress, 0) ||
          !MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(IpRemoteAddr), extra, p->RemoteAddress, 0))
        return 0;
      if (group == RULE_PROTO_ICMP &&
          (!(Le32(entry + IP_IMAGE_ENTRY_AT(IcmpTypeMask)) & (1u << (p->IcmpType & 31u))) ||
           !(Le32(entry + IP_IMAGE_ENTRY_AT(IcmpCodeMask)) & (1u << (p->IcmpCode & 31u)))))
        return 0;
      break;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP:
      if (!MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(LocalAddr), extra, p->LocalAddress, 0) ||
          !MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(LocalPort), extra, p->LocalPort, 1) ||
          !MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(RemoteAddr), extra, p->RemoteAddress, 0) ||
          !MatchValueCovers(entry + IP_IMAGE_ENTRY_AT(RemotePort), extra, p->RemotePort, 1))
        return 0;
      break;
    default: /* IGMP: no address condition */
      break;
  }
  if (options & RULE_OPT_APPLICATION) {
    const char* app = (const char*)entry + IP_IMAGE_ENTRY_AT(Application);
    if (!process->known) return 0; /* application rules never cover the system's own traffic */
    if (app[0] != 0 && !SameTextIgnoringCase(app, RULE_APPLICATION_SIZE, process->fileName, process->fileNameLength))
      return 0;
  }
  return 1;
}

/* The first IP rule that covers the packet: those of protocol 0 (any protocol) first, then
 * those of the packet's own protocol, each group in its stored order. */
static const uint8_t* FindIpRule(const RKFW_STATE* s, const STANDIN_PACKET* p, const PROCESS_VIEW* process) {
  static const uint32_t kSlots[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP,
                                     IP_IMAGE_SLOT_TCP, IP_IMAGE_SLOT_UDP};
  const uint8_t* image = s->IpImage;
  const uint8_t *body, *extra;
  uint32_t pass;
  if (s->IpImageSize == 0) return NULL;
  body = image + IP_IMAGE_HEADER_SIZE;
  extra = body + Le32(image + IP_IMAGE_EXTRA_OFFSET_AT);
  for (pass = 0; pass < 2; ++pass) {
    uint32_t group = pass == 0 ? RULE_PROTO_IP : p->Protocol;
    const uint8_t* at;
    uint32_t count, i;
    if (pass == 1 && group == RULE_PROTO_IP) break;
    at = body + Le32(image + kSlots[group]);
    count = Le32(at);
    for (i = 0; i < count; ++i) {
      const uint8_t* entry = at + 4 + i * IP_IMAGE_ENTRY_SIZE;
      if (IpRuleMatches(entry, group, extra, p, process)) return entry;
    }
  }
  return NULL;
}

/* ---- audit rules ---- */

/* The first audit record for the process's path, or NULL. */
static const uint8_t* FindAuditRule(const RKFW_STATE* s, const PROCESS_VIEW* process, const uint8_t** extraOut) {
  const uint8_t* image = s->AuditImage;
  const uint8_t *records, *extra;
  uint32_t count, extraSize, i;
  if (s->AuditImageSize == 0 || process->path == NULL) return NULL;
  count = Le32(image + AUDIT_BODY_COUNT_AT);
  records = image + AUDIT_BODY_HEADER_SIZE + Le32(image + AUDIT_BODY_RECORDS_AT);
  extraSize = Le32(image + AUDIT_BODY_EXTRA_SIZE_AT);
  extra = image + AUDIT_BODY_HEADER_SIZE + Le32(image + AUDIT_BODY_EXTRA_AT);
  *extraOut = extra;
  for (i = 0; i < count; ++i) {
    const uint8_t* record = records + i * AUDIT_BODY_RECORD_SIZE;
    uint32_t path = Le32(record + AUDIT_BODY_RECORD_AT(AppPath));
    if (SameTextIgnoringCase((const char*)extra + path, extraSize - path, process->path, process->pathLength))
      return record;
  }
  return NULL;
}

/* STANDIN_PACKET_PERMIT, _BLOCK, or _HELD for "ask the user". */
static uint32_t AuditDecision(const uint8_t* record, const uint8_t* extra, const STANDIN_PACKET* p) {
  uint32_t access = Le32(record + AUDIT_BODY_RECORD_AT(Access));
  uint32_t allowed = p->Protocol == RULE_PROTO_TCP   ? AUDIT_ACCESS_TCP
                     : p->Protocol == RULE_PROTO_UDP ? AUDIT_ACCESS_UDP
                                                     : AUDIT_ACCESS_IP;
  if (access & AUDIT_ACCESS_DETAILED) {
    uint32_t ops, action;
    int met;
    if (p->Protocol == RULE_PROTO_TCP || p->Protocol == RULE_PROTO_UDP) {
      int tcp = p->Protocol == RULE_PROTO_TCP;
      ops = Le32(record + (tcp ? AUDIT_BODY_RECORD_AT(TcpOps) : AUDIT_BODY_RECORD_AT(UdpOps)));
      met = (ops & p->Operation) != 0 &&
            MatchValueCovers(record + (tcp ? AUDIT_BODY_RECORD_AT(TcpLocalAddr) : AUDIT_BODY_RECORD_AT(UdpLocalAddr)),
                             extra, p->LocalAddress, 0) &&
            MatchValueCovers(record + (tcp ? AUDIT_BODY_RECORD_AT(TcpLocalPort) : AUDIT_BODY_RECORD_AT(UdpLocalPort)),
                             extra, p->LocalPort, 1) &&
            MatchValueCovers(record + (tcp ? AUDIT_BODY_RECORD_AT(TcpRemoteAddr) : AUDIT_BODY_RECORD_AT(UdpRemoteAddr)),
                             extra, p->RemoteAddress, 0) &&
            MatchValueCovers(record + (tcp ? AUDIT_BODY_RECORD_AT(TcpRemotePort) : AUDIT_BODY_RECORD_AT(UdpRemotePort)),
                             extra, p->RemotePort, 1);
    } else {
      ops = Le32(record + AUDIT_BODY_RECORD_AT(IpOps));
      met = (ops & p->Operation) != 0 &&
            MatchValueCovers(record + AUDIT_BODY_RECORD_AT(IpLocalAddr), extra, p->LocalAddress, 0) &&
            MatchValueCovers(record + AUDIT_BODY_RECORD_AT(IpRemoteAddr), extra, p->RemoteAddress, 0);
    }
    action = Le32(record + (met ? AUDIT_BODY_RECORD_AT(MatchAction) : AUDIT_BODY_RECORD_AT(MissAction)));
    if (action == 0) return STANDIN_PACKET_PERMIT;
    if (action == 2) return STANDIN_PACKET_HELD;
    return STANDIN_PACKET_BLOCK; /* 1, and any action this driver does not know */
  }
  /* 0x27 asks, 0x07 permits, 0x00 blocks; in between, the protocol's own bit decides. */
  if (access & AUDIT_ACCESS_ASK) return STANDIN_PACKET_HELD;
  return (access & allowed) ? STANDIN_PACKET_PERMIT : STANDIN_PACKET_BLOCK;
}

/* ---- one packet ---- */

static int PacketValid(const STANDIN_PACKET* p) {
  switch (p->Protocol) {
    case RULE_PROTO_TCP:
      return p->Operation == RULE_COND_RECEIVE || p->Operation == RULE_COND_SEND ||
             p->Operation == RULE_COND_CONNECT || p->Operation == RULE_COND_CONNECT_REQUEST;
    case RULE_PROTO_UDP:
      return p->Operation == RULE_COND_RECEIVE || p->Operation == RULE_COND_SEND ||
             p->Operation == RULE_COND_SERVICE;
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
    case RULE_PROTO_IGMP:
      return p->Operation == RULE_COND_RECEIVE || p->Operation == RULE_COND_SEND;
    default:
      return 0;
  }
}

int RkfwFilterPacket(RKFW_STATE* s, const STANDIN_PACKET* p, STANDIN_PACKET_RESULT* r) {
  PROCESS_VIEW process;
  const uint8_t *rule, *record, *extra = NULL;
  memset(r, 0, sizeof(*r));
  r->Verdict = STANDIN_PACKET_PERMIT;
  if (!PacketValid(p)) return 0;
  if (!s->Enabled) return 1;
  ViewProcess(s, p, &process);
  rule = FindIpRule(s, p, &process);
  if (rule != NULL) {
    uint32_t action = Le32(rule + IP_IMAGE_ENTRY_AT(Action));
    uint32_t options = Le32(rule + IP_IMAGE_ENTRY_AT(Options));
    r->Decider = STANDIN_DECIDER_IP_RULE;
    r->RuleId = Le32(rule + IP_IMAGE_ENTRY_AT(RuleId));
    /* An ignoring rule does nothing but log; the others log when they ask for it. */
    if ((options & RULE_OPT_LOG) || action == RULE_ACTION_IGNORE) r->Logged = (uint32_t)QueueHit(s, p, rule);
    if (action == RULE_ACTION_NOTIFY) {
      const uint8_t* own = FindAuditRule(s, &process, &extra);
      Ask(s, p, own != NULL ? Le32(own + AUDIT_BODY_RECORD_AT(RuleId)) : 0, r);
      return 1;
    }
    if (action != RULE_ACTION_PERMIT && action != RULE_ACTION_IGNORE) {
      r->Verdict = STANDIN_PACKET_BLOCK; /* block, and any action this driver does not know */
      return 1;
    }
  }
  /* Passed the IP rules: a program's packet meets its audit rule; with none the user is asked. */
  if (!process.known) return 1;
  record = FindAuditRule(s, &process, &extra);
  if (record == NULL) {
    r->Decider = STANDIN_DECIDER_NONE;
    r->RuleId = 0;
    Ask(s, p, 0, r);
    return 1;
  }
  r->Decider = STANDIN_DECIDER_AUDIT_RULE;
  r->RuleId = Le32(record + AUDIT_BODY_RECORD_AT(RuleId));
  r->Verdict = AuditDecision(record, extra, p);
  if (r->Verdict == STANDIN_PACKET_HELD) Ask(s, p, r->RuleId, r);
  return 1;
}

void RkfwSettleHeldPacket(RKFW_STATE* s, const _REPORT_EVENT_HEAD* verdict) {
  uint32_t ticket = Le32((const uint8_t*)verdict + STANDIN_TICKET_AT);
  RKFW_HELD_PACKET* slot = &s->Held[ticket % STANDIN_MAX_HELD];
  if (verdict->Kind != RKFW_EVENT_APP_ASK || ticket == 0 || slot->Ticket != ticket) return;
  if (slot->Result.Verdict != STANDIN_PACKET_HELD) return; /* the first verdict counts */
  slot->Result.Verdict = verdict->Verdict == RKFW_VERDICT_PERMIT ? STANDIN_PACKET_PERMIT : STANDIN_PACKET_BLOCK;
}

int RkfwPacketRequest(RKFW_STATE* s, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                      uint32_t* returned) {
  STANDIN_PACKET packet;
  STANDIN_PACKET_RESULT result;
  if (inSize != sizeof(packet)) return RKFW_STATUS_INVALID_PARAMETER;
  memcpy(&packet, in, sizeof(packet));
  if (!PacketValid(&packet)) return RKFW_STATUS_INVALID_PARAMETER;
  if (outSize < sizeof(result)) return RKFW_STATUS_BUFFER_TOO_SMALL;
  (void)RkfwFilterPacket(s, &packet, &result);
  memcpy(out, &result, sizeof(result));
  *returned = sizeof(result);
  return RKFW_STATUS_OK;
}

int RkfwPacketResultRequest(RKFW_STATE* s, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                            uint32_t* returned) {
  uint32_t ticket;
  const RKFW_HELD_PACKET* slot;
  if (inSize != 4) return RKFW_STATUS_INVALID_PARAMETER;
  ticket = Le32(in);
  slot = &s->Held[ticket % STANDIN_MAX_HELD];
  if (ticket == 0 || slot->Ticket != ticket) return RKFW_STATUS_NOT_FOUND;
  if (outSize < sizeof(slot->Result)) return RKFW_STATUS_BUFFER_TOO_SMALL;
  memcpy(out, &slot->Result, sizeof(slot->Result));
  *returned = sizeof(slot->Result);
  return RKFW_STATUS_OK;
}
