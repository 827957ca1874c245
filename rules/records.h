/* The rule records shared with the driver and the rule files. Byte-packed, little-endian; the
 * offsets are part of the file and driver formats, so every one that matters is asserted.
 * Included from C99 too (the stand-in driver decodes images with it). */
#ifndef VARDEEN_RULES_RECORDS_H
#define VARDEEN_RULES_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define RULES_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define RULES_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#pragma pack(push, 1)

/* Kind of a match value. */
enum {
  MATCH_SINGLE = 0, /* Value1 is the value; 0 = any */
  MATCH_LIST = 1,   /* Value1 elements; Value2 references them (pointer or offset) */
  MATCH_RANGE = 2   /* Value1 the last value, Value2 the first */
};

/* An address or port condition. Addresses and ports are in network byte order. */
typedef struct _MATCH_VALUE {
  uint8_t Kind;
  uint32_t Value1;
  uint32_t Value2; /* Kind 1: uint32_t* in memory, offset into the extra area when serialised */
} _MATCH_VALUE;

/* Protocol values of an IP rule. */
enum { RULE_PROTO_IP = 0, RULE_PROTO_ICMP = 1, RULE_PROTO_IGMP = 2, RULE_PROTO_TCP = 3, RULE_PROTO_UDP = 4 };
/* Actions of an IP rule. */
enum { RULE_ACTION_PERMIT = 0, RULE_ACTION_BLOCK = 1, RULE_ACTION_NOTIFY = 2, RULE_ACTION_IGNORE = 3 };
/* Conditions bits. */
enum {
  RULE_COND_RECEIVE = 0x01,
  RULE_COND_SEND = 0x02,
  RULE_COND_CONNECT = 0x04,
  RULE_COND_CONNECT_REQUEST = 0x08,
  RULE_COND_SERVICE = 0x10
};
/* Options bits. */
enum { RULE_OPT_LOG = 0x01, RULE_OPT_ALERT = 0x02, RULE_OPT_APPLICATION = 0x04, RULE_OPT_DISABLED = 0x08 };

#define RULE_APPLICATION_SIZE 32

/* An IP rule. Which match value slot means what depends on Protocol:
 *   offset 29  LocalAddr     every protocol but IGMP
 *   offset 38  LocalPort     TCP, UDP      | IpRemoteAddr  IP, ICMP
 *   offset 47  RemoteAddr    TCP, UDP      | IcmpTypeMask, IcmpCodeMask  ICMP
 *   offset 56  RemotePort    TCP, UDP
 * Unused bytes stay zero. Name and Description are pointers in memory (Packed 0) and offsets
 * into the extra area of a body when serialised (Packed 1). */
typedef struct _RKFW_RULE {
  uint8_t Packed;
  int32_t Protocol;
  int32_t Action;
  uint32_t Conditions;
  uint32_t Options;
  uint32_t RuleId;
  uint32_t Reserved1;
  uint32_t Reserved2;
  _MATCH_VALUE LocalAddr;
  union {
    _MATCH_VALUE LocalPort;
    _MATCH_VALUE IpRemoteAddr;
  };
  union {
    _MATCH_VALUE RemoteAddr;
    struct {
      uint32_t IcmpTypeMask;
      uint32_t IcmpCodeMask;
      uint8_t IcmpUnused;
    };
  };
  _MATCH_VALUE RemotePort;
  char Application[RULE_APPLICATION_SIZE];
  char* Name;
  char* Description;
  uint32_t Reserved3;
} _RKFW_RULE;

/* Decision bits of an audit rule's Access. */
enum {
  AUDIT_ACCESS_IP = 0x01,
  AUDIT_ACCESS_TCP = 0x02,
  AUDIT_ACCESS_UDP = 0x04,
  AUDIT_ACCESS_DETAILED = 0x10,
  AUDIT_ACCESS_ASK = 0x20,
  AUDIT_DECISION_MASK = 0x37,
  AUDIT_DECISION_PERMIT = 0x07,
  AUDIT_DECISION_NOTIFY = 0x27,
  AUDIT_DECISION_BLOCK = 0x00
};

/* An application audit rule. AppPath is a pointer in memory, an offset when serialised. */
typedef struct _RKFW_AUDIT_RULE {
  uint32_t Packed;
  uint32_t RuleId;
  char* AppPath;
  uint32_t MatchAction;
  uint32_t MissAction;
  uint32_t Reserved1;
  uint32_t Access;
  uint32_t IpOps;
  _MATCH_VALUE IpLocalAddr;
  _MATCH_VALUE IpRemoteAddr;
  uint32_t TcpOps;
  _MATCH_VALUE TcpLocalAddr;
  _MATCH_VALUE TcpLocalPort;
  _MATCH_VALUE TcpRemoteAddr;
  _MATCH_VALUE TcpRemotePort;
  uint32_t UdpOps;
  _MATCH_VALUE UdpLocalAddr;
  _MATCH_VALUE UdpLocalPort;
  _MATCH_VALUE UdpRemoteAddr;
  _MATCH_VALUE UdpRemotePort;
  uint8_t Reserved2[32];
  uint32_t Reserved3;
} _RKFW_AUDIT_RULE;

/* The header of an audit body (file and driver image). The two offsets count from the end of
 * the header; the body ends with one zero byte after the extra area. */
typedef struct _AUDIT_BODY_HEAD {
  uint32_t Size;         /* the whole body */
  uint32_t Reserved;     /* 0 */
  uint32_t Count;        /* stored records */
  uint32_t RecordsAt;    /* the first record */
  uint32_t ExtraSize;    /* paths and lists */
  uint32_t ExtraAt;      /* the extra area */
} _AUDIT_BODY_HEAD;

/* The header of an IP rule image (driver input). Each group's offset (its count, then its
 * entries) and the extra area's count from the end of the header; the image ends with one zero
 * byte after the extra area. */
typedef struct _IP_IMAGE_HEAD {
  uint32_t Size;      /* the whole image */
  uint32_t Reserved;  /* 0 */
  uint32_t TcpAt;
  uint32_t UdpAt;
  uint32_t IpAt;
  uint32_t IcmpAt;
  uint32_t IgmpAt;
  uint32_t ExtraSize; /* the lists */
  uint32_t ExtraAt;   /* the extra area */
} _IP_IMAGE_HEAD;

#pragma pack(pop)

RULES_STATIC_ASSERT(sizeof(void*) == 4, "the records hold 32-bit pointers");
RULES_STATIC_ASSERT(sizeof(_MATCH_VALUE) == 9, "_MATCH_VALUE is 9 bytes");
RULES_STATIC_ASSERT(offsetof(_MATCH_VALUE, Value1) == 1 && offsetof(_MATCH_VALUE, Value2) == 5, "match value");
RULES_STATIC_ASSERT(sizeof(_RKFW_RULE) == 109, "_RKFW_RULE is 109 bytes");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, Protocol) == 1, "rule Protocol");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, RuleId) == 17, "rule RuleId");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, LocalAddr) == 29, "rule LocalAddr");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, LocalPort) == 38, "rule LocalPort");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, IpRemoteAddr) == 38, "rule IpRemoteAddr");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, RemoteAddr) == 47, "rule RemoteAddr");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, IcmpTypeMask) == 47, "rule IcmpTypeMask");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, IcmpCodeMask) == 51, "rule IcmpCodeMask");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, RemotePort) == 56, "rule RemotePort");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, Application) == 65, "rule Application");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, Name) == 97, "rule Name");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, Description) == 101, "rule Description");
RULES_STATIC_ASSERT(offsetof(_RKFW_RULE, Reserved3) == 105, "rule Reserved3");
RULES_STATIC_ASSERT(sizeof(_RKFW_AUDIT_RULE) == 166, "_RKFW_AUDIT_RULE is 166 bytes");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, AppPath) == 8, "audit AppPath");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, Access) == 24, "audit Access");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, IpLocalAddr) == 32, "audit IpLocalAddr");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, TcpOps) == 50, "audit TcpOps");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, TcpRemotePort) == 81, "audit TcpRemotePort");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, UdpOps) == 90, "audit UdpOps");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, UdpRemotePort) == 121, "audit UdpRemotePort");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, Reserved2) == 130, "audit Reserved2");
RULES_STATIC_ASSERT(offsetof(_RKFW_AUDIT_RULE, Reserved3) == 162, "audit Reserved3");

/* Rule file body (IP rules): header fields and sizes. */
#define RULE_BODY_HEADER_SIZE 52u      /* size, five group offsets, zeros, extra offset, X */
#define RULE_BODY_EMPTY_SIZE 72u       /* header and five zero counts */
#define RULE_BODY_EXTRA_OFFSET_AT 44u
#define RULE_BODY_EXTRA_SIZE_AT 48u

/* Audit body (file and driver image). A stored record is a _RKFW_AUDIT_RULE from RuleId up to
 * Reserved3 (bytes 4 to 161): neither Packed nor Reserved3 is stored. */
#define AUDIT_BODY_HEADER_SIZE ((uint32_t)sizeof(_AUDIT_BODY_HEAD))
#define AUDIT_BODY_COUNT_AT ((uint32_t)offsetof(_AUDIT_BODY_HEAD, Count))
#define AUDIT_BODY_RECORDS_AT ((uint32_t)offsetof(_AUDIT_BODY_HEAD, RecordsAt))
#define AUDIT_BODY_EXTRA_SIZE_AT ((uint32_t)offsetof(_AUDIT_BODY_HEAD, ExtraSize))
#define AUDIT_BODY_EXTRA_AT ((uint32_t)offsetof(_AUDIT_BODY_HEAD, ExtraAt))
#define AUDIT_BODY_RECORD_FROM ((uint32_t)offsetof(_RKFW_AUDIT_RULE, RuleId))
#define AUDIT_BODY_RECORD_SIZE ((uint32_t)offsetof(_RKFW_AUDIT_RULE, Reserved3) - AUDIT_BODY_RECORD_FROM)
/* Where a field lies in a stored audit record. */
#define AUDIT_BODY_RECORD_AT(field) ((uint32_t)offsetof(_RKFW_AUDIT_RULE, field) - AUDIT_BODY_RECORD_FROM)

/* IP rule image (driver input). */
#define IP_IMAGE_HEADER_SIZE ((uint32_t)sizeof(_IP_IMAGE_HEAD))
/* An entry is a _RKFW_RULE from Protocol up to Description (bytes 1 to 100). */
#define IP_IMAGE_ENTRY_FROM ((uint32_t)offsetof(_RKFW_RULE, Protocol))
#define IP_IMAGE_ENTRY_SIZE ((uint32_t)offsetof(_RKFW_RULE, Description) - IP_IMAGE_ENTRY_FROM)
/* Where a field lies in an image entry. */
#define IP_IMAGE_ENTRY_AT(field) ((uint32_t)offsetof(_RKFW_RULE, field) - IP_IMAGE_ENTRY_FROM)
#define IP_IMAGE_SLOT_TCP ((uint32_t)offsetof(_IP_IMAGE_HEAD, TcpAt))
#define IP_IMAGE_SLOT_UDP ((uint32_t)offsetof(_IP_IMAGE_HEAD, UdpAt))
#define IP_IMAGE_SLOT_IP ((uint32_t)offsetof(_IP_IMAGE_HEAD, IpAt))
#define IP_IMAGE_SLOT_ICMP ((uint32_t)offsetof(_IP_IMAGE_HEAD, IcmpAt))
#define IP_IMAGE_SLOT_IGMP ((uint32_t)offsetof(_IP_IMAGE_HEAD, IgmpAt))
#define IP_IMAGE_EXTRA_SIZE_AT ((uint32_t)offsetof(_IP_IMAGE_HEAD, ExtraSize))
#define IP_IMAGE_EXTRA_OFFSET_AT ((uint32_t)offsetof(_IP_IMAGE_HEAD, ExtraAt))

RULES_STATIC_ASSERT(AUDIT_BODY_RECORD_SIZE == 158, "a stored audit record is 158 bytes");
RULES_STATIC_ASSERT(IP_IMAGE_ENTRY_SIZE == 100, "an IP image entry is 100 bytes");
RULES_STATIC_ASSERT(AUDIT_BODY_HEADER_SIZE == 24, "an audit body header is 24 bytes");
RULES_STATIC_ASSERT(AUDIT_BODY_COUNT_AT == 8 && AUDIT_BODY_RECORDS_AT == 12, "audit body Count, RecordsAt");
RULES_STATIC_ASSERT(AUDIT_BODY_EXTRA_SIZE_AT == 16 && AUDIT_BODY_EXTRA_AT == 20, "audit body ExtraSize, ExtraAt");
RULES_STATIC_ASSERT(IP_IMAGE_HEADER_SIZE == 36, "an IP image header is 36 bytes");
RULES_STATIC_ASSERT(IP_IMAGE_SLOT_TCP == 8 && IP_IMAGE_SLOT_UDP == 12 && IP_IMAGE_SLOT_IP == 16, "IP image TCP, UDP, IP");
RULES_STATIC_ASSERT(IP_IMAGE_SLOT_ICMP == 20 && IP_IMAGE_SLOT_IGMP == 24, "IP image ICMP, IGMP");
RULES_STATIC_ASSERT(IP_IMAGE_EXTRA_SIZE_AT == 28 && IP_IMAGE_EXTRA_OFFSET_AT == 32, "IP image ExtraSize, ExtraAt");

#endif
