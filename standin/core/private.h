/* The stand-in driver's own control codes: device type 0x12 like the console's, functions 0x900
 * and up, which the console never sends. Tests, demos and rkfwctl use them to feed the driver
 * and to read back what the console loaded. Buffered transfer, any access. C99 and C++. */
#ifndef VARDEEN_STANDIN_PRIVATE_H
#define VARDEEN_STANDIN_PRIVATE_H

#include "driver/protocol.h"

/* Forget everything: queue, table, paths, images, verdicts, faults, traffic; filtering off. */
#define IOCTL_STANDIN_RESET RKFW_CTL_CODE(0x900)
/* in: one or more 220-byte event records, queued in order for ReadEvents. Refused whole when
 * they do not all fit. */
#define IOCTL_STANDIN_INJECT_EVENT RKFW_CTL_CODE(0x901)
/* in: one 172-byte connection row; replaces the row with the same key, else is appended. */
#define IOCTL_STANDIN_ADD_CONNECTION RKFW_CTL_CODE(0x902)
/* in: dword key of the row to drop. */
#define IOCTL_STANDIN_REMOVE_CONNECTION RKFW_CTL_CODE(0x903)
/* in: STANDIN_TRAFFIC (16 bytes), optionally followed by a row key (20 bytes) whose byte
 * counters grow too. */
#define IOCTL_STANDIN_ADD_TRAFFIC RKFW_CTL_CODE(0x904)
/* in: dword key, then the path text (zero terminator optional, at most 1023 bytes). An empty
 * text forgets the key. */
#define IOCTL_STANDIN_SET_PATH RKFW_CTL_CODE(0x905)
/* out: the last accepted IP rule image (its first dword is its length). A buffer too small
 * receives only that dword; nothing loaded yet answers 0 bytes. */
#define IOCTL_STANDIN_GET_IP_IMAGE RKFW_CTL_CODE(0x906)
/* out: the last accepted audit image, as above. */
#define IOCTL_STANDIN_GET_AUDIT_IMAGE RKFW_CTL_CODE(0x907)
/* out: STANDIN_STATUS (the enable state and counters). */
#define IOCTL_STANDIN_GET_STATUS RKFW_CTL_CODE(0x908)
/* in: dword index of the first verdict wanted (0 = oldest kept).
 * out: dword count of records that follow, then that many 220-byte records. */
#define IOCTL_STANDIN_GET_VERDICTS RKFW_CTL_CODE(0x909)
/* in: STANDIN_FAULT; makes one code misbehave until it is set back to STANDIN_FAULT_NONE. */
#define IOCTL_STANDIN_SET_FAULT RKFW_CTL_CODE(0x90A)
/* in: dword; the answer of IOCTL_RKFW_GET_VERSION from now on. */
#define IOCTL_STANDIN_SET_VERSION RKFW_CTL_CODE(0x90B)

/* in: STANDIN_PACKET. out: STANDIN_PACKET_RESULT, what the loaded rules make of that packet. A
 * packet the console is asked about is held: its application event (kind 2) carries a ticket,
 * and the console's verdict for that event settles it. */
#define IOCTL_STANDIN_PACKET RKFW_CTL_CODE(0x90C)
/* in: dword ticket. out: STANDIN_PACKET_RESULT of that held packet, settled or not. Not found
 * once STANDIN_MAX_HELD later packets have been held. */
#define IOCTL_STANDIN_PACKET_RESULT RKFW_CTL_CODE(0x90D)

#define STANDIN_VERSION_DEFAULT 0x00010002u /* 1.2 */

/* Capacities of the fixed storage. */
#define STANDIN_MAX_EVENTS 256u
#define STANDIN_MAX_CONNECTIONS 128u
#define STANDIN_MAX_PATHS 32u
#define STANDIN_MAX_VERDICTS 64u  /* the latest ones are kept */
#define STANDIN_MAX_IMAGE 262144u /* bytes per rule image */
#define STANDIN_MAX_FAULTS 16u
#define STANDIN_MAX_HELD 32u      /* held packets remembered by ticket */

/* Fault modes. */
#define STANDIN_FAULT_NONE 0u
#define STANDIN_FAULT_SHORT 1u /* the answer is cut to Value bytes */
#define STANDIN_FAULT_FAIL 2u  /* the request fails with no byte written */
#define STANDIN_FAULT_CLAIM 3u /* the answer's leading length dword says Value (a lying driver) */
#define STANDIN_FAULT_FILL 4u  /* the whole output buffer is filled with Value's low byte */

/* Packet flags. */
#define STANDIN_PACKET_OF_PROCESS 0x01u /* sent or received by the process named in the packet */

/* Verdicts of STANDIN_PACKET_RESULT. */
#define STANDIN_PACKET_PERMIT 0u
#define STANDIN_PACKET_BLOCK 1u
#define STANDIN_PACKET_HELD 2u /* waiting for the console's verdict */
/* Who decided. */
#define STANDIN_DECIDER_NONE 0u
#define STANDIN_DECIDER_IP_RULE 1u
#define STANDIN_DECIDER_AUDIT_RULE 2u

/* Flags of the rule hit records the stand-in queues (the console reads only 0x40). */
#define STANDIN_HIT_LOGGED 0x01u /* the rule asks for logging */
#define STANDIN_HIT_ALERT 0x02u  /* the rule raises an alert */

#pragma pack(push, 1)

typedef struct STANDIN_TRAFFIC {
  uint64_t Sent;
  uint64_t Received;
} STANDIN_TRAFFIC;

typedef struct STANDIN_FAULT {
  uint32_t Code;
  uint32_t Mode;
  uint32_t Value;
} STANDIN_FAULT;

typedef struct STANDIN_STATUS {
  uint32_t Enabled;         /* the last SetFilterEnabled value (0 or 1) */
  uint32_t EnableRequests;  /* how many SetFilterEnabled requests came */
  uint32_t QueuedEvents;    /* records waiting for ReadEvents */
  uint32_t Connections;     /* rows in the table */
  uint32_t Verdicts;        /* verdicts received since the reset (also those no longer kept) */
  uint32_t IpImageSize;     /* 0 = none accepted yet */
  uint32_t AuditImageSize;
  uint32_t IpLoads;         /* accepted IP images */
  uint32_t AuditLoads;
  uint32_t RefusedImages;   /* malformed images turned away */
  uint32_t ClosedConnections;
  uint32_t Paths;           /* keys with a path */
} STANDIN_STATUS;

/* One packet as the event records describe traffic. Addresses and ports in network order. */
typedef struct STANDIN_PACKET {
  uint64_t Time;          /* 0: the time stamp of the records it raises */
  uint32_t Protocol;      /* 8: 0 IP, 1 ICMP, 2 IGMP, 3 TCP, 4 UDP */
  uint32_t Operation;     /* 12: one condition bit: 1 receive, 2 send, 4 connect, 8 connection
                           *     request, 16 a datagram to a served port */
  uint32_t LocalAddress;  /* 16 */
  uint32_t RemoteAddress; /* 20 */
  uint16_t LocalPort;     /* 24: TCP, UDP */
  uint16_t RemotePort;    /* 26 */
  uint8_t IcmpType;       /* 28: ICMP */
  uint8_t IcmpCode;       /* 29 */
  uint16_t Reserved1;     /* 30 */
  uint32_t Flags;         /* 32: STANDIN_PACKET_OF_PROCESS */
  uint32_t ProcessId;     /* 36 */
  uint32_t DriverKey;     /* 40: the process's path is the one set for this key */
  char ProcessName[RKFW_PROCESS_NAME_SIZE]; /* 44: need not be terminated */
  uint8_t NameSource;     /* 70: as in the event's process block */
  uint8_t Reserved2;      /* 71 */
} STANDIN_PACKET;

typedef struct STANDIN_PACKET_RESULT {
  uint32_t Verdict; /* STANDIN_PACKET_PERMIT, _BLOCK or _HELD */
  uint32_t Decider; /* STANDIN_DECIDER_... */
  uint32_t RuleId;  /* of the deciding rule (0 with STANDIN_DECIDER_NONE) */
  uint32_t Logged;  /* 1 when a rule hit record (kind 1) was queued */
  uint32_t Ticket;  /* of a packet that was held (asked about), else 0 */
} STANDIN_PACKET_RESULT;

#pragma pack(pop)

RKFW_STATIC_ASSERT(sizeof(STANDIN_TRAFFIC) == 16, "traffic input");
RKFW_STATIC_ASSERT(sizeof(STANDIN_FAULT) == 12, "fault input");
RKFW_STATIC_ASSERT(sizeof(STANDIN_STATUS) == 48, "status record");
RKFW_STATIC_ASSERT(sizeof(STANDIN_PACKET) == 72, "packet input");
RKFW_STATIC_ASSERT(offsetof(STANDIN_PACKET, ProcessName) == 44, "packet process name");
RKFW_STATIC_ASSERT(sizeof(STANDIN_PACKET_RESULT) == 20, "packet result");
/* Where a held packet's ticket travels in its application event: a field the console copies
 * back with its verdict and never reads. */
#define STANDIN_TICKET_AT ((uint32_t)offsetof(_REPORT_EVENT_HEAD, Body.App.Reserved4))
RKFW_STATIC_ASSERT(STANDIN_TICKET_AT == 112, "ticket in the event record");

#endif
