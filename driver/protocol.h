/* The console's device-control protocol with the filter driver: control codes and the records
 * that cross the device boundary. One header, compiled unchanged by the C99 stand-in driver
 * and by the C++ console. Every record is byte-packed and little-endian; IPv4 addresses and
 * ports are in network byte order. */
#ifndef VARDEEN_DRIVER_PROTOCOL_H
#define VARDEEN_DRIVER_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define RKFW_STATIC_ASSERT(e, m) static_assert(e, m)
#else
#define RKFW_STATIC_ASSERT(e, m) _Static_assert(e, m)
#endif

/* Device type 0x12 (network), buffered transfer, any access. */
#define RKFW_CTL_CODE(function) ((0x12u << 16) | ((uint32_t)(function) << 2))

#define IOCTL_RKFW_GET_TRAFFIC_STATS RKFW_CTL_CODE(0x81A)     /* 0x122068 */
#define IOCTL_RKFW_GET_VERSION RKFW_CTL_CODE(0x81B)           /* 0x12206C */
#define IOCTL_RKFW_GET_CONNECTION_COUNTS RKFW_CTL_CODE(0x81C) /* 0x122070 */
#define IOCTL_RKFW_GET_CONNECTIONS RKFW_CTL_CODE(0x81D)       /* 0x122074 */
#define IOCTL_RKFW_GET_PROCESS_PATH RKFW_CTL_CODE(0x81E)      /* 0x122078 */
#define IOCTL_RKFW_GET_ENABLED RKFW_CTL_CODE(0x81F)           /* 0x12207C */
#define IOCTL_RKFW_SET_ENABLED RKFW_CTL_CODE(0x820)           /* 0x122080 */
#define IOCTL_RKFW_LOAD_IP_RULES RKFW_CTL_CODE(0x821)         /* 0x122084 */
#define IOCTL_RKFW_LOAD_AUDIT_RULES RKFW_CTL_CODE(0x823)      /* 0x12208C */
#define IOCTL_RKFW_READ_EVENTS RKFW_CTL_CODE(0x824)           /* 0x122090 */
#define IOCTL_RKFW_SEND_VERDICT RKFW_CTL_CODE(0x825)          /* 0x122094 */
#define IOCTL_RKFW_CLOSE_CONNECTION RKFW_CTL_CODE(0x827)      /* 0x12209C */

#define RKFW_SERVICE_NAME "RkFw_slot"
#define RKFW_NT_DEVICE_NAME "\\\\.\\RkFw_slot"
#define RKFW_9X_DEVICE_NAME "\\\\.\\RkFw.VXD"

#define RKFW_EVENT_BATCH_SIZE 8192u  /* the buffer the console offers for one batch */
#define RKFW_EVENT_SIZE 220u
#define RKFW_MAX_EVENTS_PER_BATCH ((RKFW_EVENT_BATCH_SIZE - 4u) / RKFW_EVENT_SIZE) /* 37 */
#define RKFW_CONNECTION_SIZE 172u
#define RKFW_PROCESS_PATH_SIZE 1024u
#define RKFW_PROCESS_NAME_SIZE 26u

#pragma pack(push, 1)

/* Answer of IOCTL_RKFW_GET_TRAFFIC_STATS. */
typedef struct _RKFW_STATISTICS {
  uint64_t TotalSent;
  uint64_t TotalReceived;
  uint8_t Reserved[48]; /* the driver's own; the console keeps them as they come */
} _RKFW_STATISTICS;

/* Answer of IOCTL_RKFW_GET_CONNECTION_COUNTS. */
typedef struct _RKFW_CONNECTION_COUNTS {
  uint32_t Rows;
  uint32_t Tcp;
  uint32_t Udp;
} _RKFW_CONNECTION_COUNTS;

/* The process part that leads a connection row and sits at offset 36 of an application
 * event. The name need not be terminated inside its 26 bytes. */
typedef struct ProcessBlock {
  char Name[RKFW_PROCESS_NAME_SIZE]; /* 0 */
  uint8_t NameSource;                /* 26: non-zero = resolve by process id, zero = ask the driver */
  uint8_t Reserved1[9];              /* 27 */
  uint32_t ProcessId;                /* 36 */
  uint8_t Reserved2[32];             /* 40: holder-specific fields */
  uint32_t DriverKey;                /* 72: input of IOCTL_RKFW_GET_PROCESS_PATH */
} ProcessBlock;

/* One row of the connection table. */
typedef struct _RKFW_NETWORKCONNECTION {
  char ProcessName[RKFW_PROCESS_NAME_SIZE]; /* 0 */
  uint8_t NameSource;                       /* 26 */
  uint8_t Reserved1[5];                     /* 27 */
  uint32_t State;                           /* 32: TCP state index 0..11 */
  uint32_t ProcessId;                       /* 36 */
  uint32_t LocalAddress;                    /* 40 */
  uint32_t RemoteAddress;                   /* 44: 0 = none */
  uint16_t LocalPort;                       /* 48 */
  uint16_t RemotePort;                      /* 50: 0 = none */
  uint32_t BytesSent;                       /* 52 */
  uint32_t BytesReceived;                   /* 56 */
  uint32_t Protocol;                        /* 60: 0 IP, 1 TCP, 2 UDP */
  uint32_t Reserved2;                       /* 64 */
  uint32_t Endpoint;                        /* 68: driver endpoint object, 0 = none */
  uint32_t Key;                             /* 72: the row's driver key */
  uint8_t Reserved3[96];                    /* 76 */
} _RKFW_NETWORKCONNECTION;

/* Event kinds and the audit flag. */
#define RKFW_EVENT_SYSTEM 1u  /* an IP rule matched */
#define RKFW_EVENT_APP_ASK 2u /* an application waits for a verdict */
#define RKFW_EVENT_APP_LOG 3u /* an application event for the log */
#define RKFW_EVENT_FLAG_AUDIT 0x40u
#define RKFW_VERDICT_PERMIT 0u
#define RKFW_VERDICT_BLOCK 1u

/* Kind 1: raised by an IP rule. Offsets are from the start of the record. */
typedef struct _RKFW_SYSTEM_EVENT {
  uint32_t Protocol;     /* 20: 0 IP, 1 ICMP, 2 IGMP, 3 TCP, 4 UDP */
  uint32_t Action;       /* 24: 0 permit, 1 intercept, 2 notify, 3 ignore */
  uint32_t Operation;    /* 28: 1, 2, 4, 8, 16 */
  uint32_t Flags;        /* 32 */
  uint32_t RuleId;       /* 36 */
  uint8_t Reserved1[8];  /* 40 */
  uint32_t LocalAddress; /* 48 */
  /* 52: IP, ICMP, IGMP: remote address (4).
   *     TCP, UDP: local port (2), remote address (4) at 54, remote port (2) at 58. */
  uint8_t Endpoints[12];
  uint8_t Reserved2[156]; /* 64 */
} _RKFW_SYSTEM_EVENT;

/* Kinds 2 and 3: raised by application audit. */
typedef struct _RKFW_APP_EVENT {
  uint32_t RuleId;                   /* 20: the application's audit rule */
  uint32_t Operation;                /* 24 */
  uint32_t Action;                   /* 28: kind 3 */
  uint32_t Flags;                    /* 32 */
  char ProcessName[RKFW_PROCESS_NAME_SIZE]; /* 36: the process block starts here */
  uint8_t NameSource;                /* 62 */
  uint8_t Reserved1[9];              /* 63 */
  uint32_t ProcessId;                /* 72 */
  uint32_t LocalAddress;             /* 76 */
  uint32_t RemoteAddress;            /* 80 */
  uint16_t LocalPort;                /* 84 */
  uint16_t RemotePort;               /* 86 */
  uint8_t Reserved2[8];              /* 88 */
  uint32_t Protocol;                 /* 96: 0 IP, 1 TCP, 2 UDP */
  uint8_t Reserved3[8];              /* 100 */
  uint32_t DriverKey;                /* 108 */
  uint8_t Reserved4[100];            /* 112 */
  uint32_t PathRef;                  /* 212: the console's own; the driver ignores it */
  uint8_t Reserved5[4];              /* 216 */
} _RKFW_APP_EVENT;

/* The 220-byte event record. */
typedef struct _REPORT_EVENT_HEAD {
  uint64_t Time;     /* 0: file time; local on NT, UTC on Win9x */
  uint32_t Kind;     /* 8 */
  uint32_t Verdict;  /* 12: set by the console in kind 2 records it sends back */
  uint32_t DataSize; /* 16 */
  union {
    _RKFW_SYSTEM_EVENT System;
    _RKFW_APP_EVENT App;
    uint8_t Raw[200];
  } Body;
} _REPORT_EVENT_HEAD;

#pragma pack(pop)

RKFW_STATIC_ASSERT(sizeof(_RKFW_STATISTICS) == 64, "statistics record");
RKFW_STATIC_ASSERT(sizeof(_RKFW_CONNECTION_COUNTS) == 12, "connection counts");
RKFW_STATIC_ASSERT(sizeof(ProcessBlock) == 76, "process block up to the driver key");
RKFW_STATIC_ASSERT(offsetof(ProcessBlock, NameSource) == 26, "name source");
RKFW_STATIC_ASSERT(offsetof(ProcessBlock, ProcessId) == 36, "process id");
RKFW_STATIC_ASSERT(offsetof(ProcessBlock, DriverKey) == 72, "driver key");
RKFW_STATIC_ASSERT(sizeof(_RKFW_NETWORKCONNECTION) == 172, "connection row");
RKFW_STATIC_ASSERT(offsetof(_RKFW_NETWORKCONNECTION, State) == 32, "state");
RKFW_STATIC_ASSERT(offsetof(_RKFW_NETWORKCONNECTION, LocalPort) == 48, "local port");
RKFW_STATIC_ASSERT(offsetof(_RKFW_NETWORKCONNECTION, Protocol) == 60, "protocol");
RKFW_STATIC_ASSERT(offsetof(_RKFW_NETWORKCONNECTION, Key) == 72, "key");
RKFW_STATIC_ASSERT(sizeof(_REPORT_EVENT_HEAD) == 220, "event record");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body) == 20, "event body");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.System.RuleId) == 36, "system rule id");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.System.LocalAddress) == 48, "system local");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.ProcessName) == 36, "process block");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.NameSource) == 62, "name source");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.ProcessId) == 72, "process id");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.LocalPort) == 84, "app ports");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.Protocol) == 96, "app protocol");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.DriverKey) == 108, "driver key");
RKFW_STATIC_ASSERT(offsetof(_REPORT_EVENT_HEAD, Body.App.PathRef) == 212, "path reference");
RKFW_STATIC_ASSERT(RKFW_MAX_EVENTS_PER_BATCH == 37, "one batch holds 37 records");

#endif /* VARDEEN_DRIVER_PROTOCOL_H */
