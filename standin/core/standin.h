/* The stand-in filter driver's core: all its state in one fixed-size struct and one dispatch
 * for device-control requests. No OS calls and no allocation, so that the same code runs in
 * the kernel-mode shell (under a lock the shell holds) and in-process on the host. */
#ifndef VARDEEN_STANDIN_CORE_H
#define VARDEEN_STANDIN_CORE_H

#include <stdint.h>

#include "driver/protocol.h"
#include "standin/core/private.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of RkfwDeviceControl; the shells turn them into their platform's status. */
#define RKFW_STATUS_OK 0
#define RKFW_STATUS_INVALID_REQUEST 1   /* unknown code */
#define RKFW_STATUS_INVALID_PARAMETER 2 /* input too short or malformed */
#define RKFW_STATUS_BUFFER_TOO_SMALL 3  /* output buffer cannot hold the least answer */
#define RKFW_STATUS_NOT_FOUND 4         /* no row or path with that key */
#define RKFW_STATUS_FULL 5              /* fixed storage exhausted */
#define RKFW_STATUS_FAULT 6             /* failed on purpose (STANDIN_FAULT_FAIL) */

typedef struct RKFW_PATH_ENTRY {
  uint32_t Key;
  uint32_t Length; /* 0 = free slot */
  char Path[RKFW_PROCESS_PATH_SIZE];
} RKFW_PATH_ENTRY;

typedef struct RKFW_HELD_PACKET {
  uint32_t Ticket; /* 0 = free slot */
  STANDIN_PACKET_RESULT Result;
} RKFW_HELD_PACKET;

typedef struct RKFW_STATE {
  uint32_t Enabled;
  uint32_t Version;
  _RKFW_STATISTICS Stats;
  STANDIN_STATUS Counters; /* Enabled, QueuedEvents ... filled on request */

  _REPORT_EVENT_HEAD Events[STANDIN_MAX_EVENTS]; /* ring */
  uint32_t EventHead;
  uint32_t EventCount;

  _RKFW_NETWORKCONNECTION Connections[STANDIN_MAX_CONNECTIONS];
  uint32_t ConnectionCount;

  RKFW_PATH_ENTRY Paths[STANDIN_MAX_PATHS];

  _REPORT_EVENT_HEAD Verdicts[STANDIN_MAX_VERDICTS]; /* ring of the latest */
  uint32_t VerdictTotal;

  uint8_t IpImage[STANDIN_MAX_IMAGE];
  uint32_t IpImageSize;
  uint8_t AuditImage[STANDIN_MAX_IMAGE];
  uint32_t AuditImageSize;

  STANDIN_FAULT Faults[STANDIN_MAX_FAULTS];

  RKFW_HELD_PACKET Held[STANDIN_MAX_HELD]; /* slot = ticket % STANDIN_MAX_HELD */
  uint32_t LastTicket;
} RKFW_STATE;

void RkfwInit(RKFW_STATE* state);

/* One buffered request: `in` and `out` may be the same buffer (the kernel's system buffer), so
 * every input is read before the first byte of output is written. `*returned` receives the
 * bytes written into `out`, also when the request fails (then 0). */
int RkfwDeviceControl(RKFW_STATE* state, uint32_t code, const void* in, uint32_t inSize, void* out,
                      uint32_t outSize, uint32_t* returned);

/* The image checks, also used by rkfwctl and the fuzzers: non-zero when the image is
 * well-formed. */
int RkfwIpImageValid(const uint8_t* image, uint32_t size);
int RkfwAuditImageValid(const uint8_t* image, uint32_t size);

/* What the loaded images make of one packet (filter.c): the verdict, the deciding rule, and
 * the records queued on the way (a rule hit, an application event for a held packet). 0 for a
 * packet no protocol has (an operation its protocol does not know), which meets no rule. */
int RkfwFilterPacket(RKFW_STATE* state, const STANDIN_PACKET* packet, STANDIN_PACKET_RESULT* result);
/* A verdict record from the console: settles the held packet whose ticket it carries. */
void RkfwSettleHeldPacket(RKFW_STATE* state, const _REPORT_EVENT_HEAD* verdict);

/* Between the core's two files. */
int RkfwQueueEvents(RKFW_STATE* state, const uint8_t* records, uint32_t size);
const RKFW_PATH_ENTRY* RkfwFindPath(const RKFW_STATE* state, uint32_t key);
int RkfwPacketRequest(RKFW_STATE* state, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                      uint32_t* returned);
int RkfwPacketResultRequest(RKFW_STATE* state, const uint8_t* in, uint32_t inSize, uint8_t* out,
                            uint32_t outSize, uint32_t* returned);

#ifdef __cplusplus
}
#endif

#endif
