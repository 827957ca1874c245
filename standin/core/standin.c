/* The stand-in driver's answers to the console's twelve requests and to its own private codes.
 * Every input length is checked before the input is read, and every answer is cut to the
 * output buffer; `*returned` is always the number of bytes actually written. */
#include "standin/core/standin.h"

#include <string.h>

#include "standin/core/le.h"

#define MIN(a, b) ((a) < (b) ? (a) : (b))

void RkfwInit(RKFW_STATE* state) {
  memset(state, 0, sizeof(*state));
  state->Version = STANDIN_VERSION_DEFAULT;
}

/* ---- the queue, the table, the paths ---- */

int RkfwQueueEvents(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  uint32_t n, i;
  if (inSize == 0 || inSize % RKFW_EVENT_SIZE != 0) return RKFW_STATUS_INVALID_PARAMETER;
  n = inSize / RKFW_EVENT_SIZE;
  if (n > STANDIN_MAX_EVENTS - s->EventCount) return RKFW_STATUS_FULL;
  for (i = 0; i < n; ++i) {
    uint32_t slot = (s->EventHead + s->EventCount) % STANDIN_MAX_EVENTS;
    memcpy(&s->Events[slot], in + i * RKFW_EVENT_SIZE, RKFW_EVENT_SIZE);
    ++s->EventCount;
  }
  return RKFW_STATUS_OK;
}

static int FindConnection(const RKFW_STATE* s, uint32_t key) {
  uint32_t i;
  for (i = 0; i < s->ConnectionCount; ++i)
    if (s->Connections[i].Key == key) return (int)i;
  return -1;
}

static void RemoveConnectionAt(RKFW_STATE* s, uint32_t index) {
  memmove(&s->Connections[index], &s->Connections[index + 1],
          (s->ConnectionCount - index - 1) * sizeof(s->Connections[0]));
  --s->ConnectionCount;
  memset(&s->Connections[s->ConnectionCount], 0, sizeof(s->Connections[0]));
}

static RKFW_PATH_ENTRY* FindPath(RKFW_STATE* s, uint32_t key) {
  uint32_t i;
  for (i = 0; i < STANDIN_MAX_PATHS; ++i)
    if (s->Paths[i].Length != 0 && s->Paths[i].Key == key) return &s->Paths[i];
  return NULL;
}

const RKFW_PATH_ENTRY* RkfwFindPath(const RKFW_STATE* s, uint32_t key) { return FindPath((RKFW_STATE*)s, key); }

static int SetPath(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  uint32_t key, length, i;
  const char* text;
  RKFW_PATH_ENTRY* entry;
  if (inSize < 4) return RKFW_STATUS_INVALID_PARAMETER;
  key = Le32(in);
  text = (const char*)in + 4;
  for (length = 0; length < inSize - 4 && text[length] != 0; ++length) {
  }
  if (length >= RKFW_PROCESS_PATH_SIZE) return RKFW_STATUS_INVALID_PARAMETER;
  entry = FindPath(s, key);
  if (length == 0) {
    if (entry != NULL) memset(entry, 0, sizeof(*entry));
    return RKFW_STATUS_OK;
  }
  for (i = 0; entry == NULL && i < STANDIN_MAX_PATHS; ++i)
    if (s->Paths[i].Length == 0) entry = &s->Paths[i];
  if (entry == NULL) return RKFW_STATUS_FULL;
  memset(entry, 0, sizeof(*entry));
  entry->Key = key;
  entry->Length = length;
  memcpy(entry->Path, text, length);
  return RKFW_STATUS_OK;
}

/* ---- answers of the console's codes ---- */

static int CopyOut(void* out, uint32_t outSize, const void* data, uint32_t size, uint32_t* returned) {
  uint32_t n = MIN(outSize, size);
  if (n != 0) memcpy(out, data, n);
  *returned = n;
  return RKFW_STATUS_OK;
}

static int ConnectionTable(const RKFW_STATE* s, uint8_t* out, uint32_t outSize, uint32_t* returned) {
  uint32_t rows;
  if (outSize < 4) return RKFW_STATUS_BUFFER_TOO_SMALL;
  rows = MIN(s->ConnectionCount, (outSize - 4) / RKFW_CONNECTION_SIZE);
  PutLe32(out, rows * RKFW_CONNECTION_SIZE);
  if (rows != 0) memcpy(out + 4, s->Connections, rows * RKFW_CONNECTION_SIZE);
  *returned = 4 + rows * RKFW_CONNECTION_SIZE;
  return RKFW_STATUS_OK;
}

static int ConnectionCounts(const RKFW_STATE* s, void* out, uint32_t outSize, uint32_t* returned) {
  _RKFW_CONNECTION_COUNTS counts;
  uint32_t i;
  memset(&counts, 0, sizeof(counts));
  counts.Rows = s->ConnectionCount;
  for (i = 0; i < s->ConnectionCount; ++i) {
    if (s->Connections[i].Protocol == 1) ++counts.Tcp;
    if (s->Connections[i].Protocol == 2) ++counts.Udp;
  }
  return CopyOut(out, outSize, &counts, sizeof(counts), returned);
}

static int ProcessPath(RKFW_STATE* s, const uint8_t* in, uint32_t inSize, char* out, uint32_t outSize,
                       uint32_t* returned) {
  const RKFW_PATH_ENTRY* entry;
  uint32_t n;
  if (inSize < 4) return RKFW_STATUS_INVALID_PARAMETER;
  entry = FindPath(s, Le32(in)); /* the key is read before `out`, which may be `in`, is written */
  if (entry == NULL) return RKFW_STATUS_NOT_FOUND;
  if (outSize == 0) return RKFW_STATUS_BUFFER_TOO_SMALL;
  /* Always terminated inside the buffer, cut when it is short. */
  n = MIN(entry->Length, outSize - 1);
  memcpy(out, entry->Path, n);
  out[n] = 0;
  *returned = n + 1;
  return RKFW_STATUS_OK;
}

static int LoadImage(RKFW_STATE* s, int audit, const uint8_t* in, uint32_t inSize) {
  int valid = audit ? RkfwAuditImageValid(in, inSize) : RkfwIpImageValid(in, inSize);
  if (!valid) {
    ++s->Counters.RefusedImages;
    return RKFW_STATUS_INVALID_PARAMETER;
  }
  if (inSize > STANDIN_MAX_IMAGE) return RKFW_STATUS_FULL;
  if (audit) {
    memcpy(s->AuditImage, in, inSize);
    s->AuditImageSize = inSize;
    ++s->Counters.AuditLoads;
  } else {
    memcpy(s->IpImage, in, inSize);
    s->IpImageSize = inSize;
    ++s->Counters.IpLoads;
  }
  return RKFW_STATUS_OK;
}

static int ReadEvents(RKFW_STATE* s, uint8_t* out, uint32_t outSize, uint32_t* returned) {
  uint32_t n, i;
  if (outSize < 4) return RKFW_STATUS_BUFFER_TOO_SMALL;
  n = MIN(s->EventCount, (outSize - 4) / RKFW_EVENT_SIZE);
  n = MIN(n, RKFW_MAX_EVENTS_PER_BATCH);
  PutLe32(out, n * RKFW_EVENT_SIZE);
  for (i = 0; i < n; ++i) {
    memcpy(out + 4 + i * RKFW_EVENT_SIZE, &s->Events[s->EventHead], RKFW_EVENT_SIZE);
    memset(&s->Events[s->EventHead], 0, RKFW_EVENT_SIZE);
    s->EventHead = (s->EventHead + 1) % STANDIN_MAX_EVENTS;
    --s->EventCount;
  }
  *returned = 4 + n * RKFW_EVENT_SIZE;
  return RKFW_STATUS_OK;
}

static int KeepVerdict(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  if (inSize < RKFW_EVENT_SIZE) return RKFW_STATUS_INVALID_PARAMETER;
  memcpy(&s->Verdicts[s->VerdictTotal % STANDIN_MAX_VERDICTS], in, RKFW_EVENT_SIZE);
  RkfwSettleHeldPacket(s, &s->Verdicts[s->VerdictTotal % STANDIN_MAX_VERDICTS]);
  ++s->VerdictTotal;
  return RKFW_STATUS_OK;
}

static int CloseConnection(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  int index;
  if (inSize < 4) return RKFW_STATUS_INVALID_PARAMETER;
  index = FindConnection(s, Le32(in));
  if (index < 0) return RKFW_STATUS_NOT_FOUND;
  RemoveConnectionAt(s, (uint32_t)index);
  ++s->Counters.ClosedConnections;
  return RKFW_STATUS_OK;
}

/* ---- private codes ---- */

static int AddConnection(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  _RKFW_NETWORKCONNECTION row;
  int index;
  if (inSize != RKFW_CONNECTION_SIZE) return RKFW_STATUS_INVALID_PARAMETER;
  memcpy(&row, in, sizeof(row));
  index = FindConnection(s, row.Key);
  if (index >= 0) {
    s->Connections[index] = row;
    return RKFW_STATUS_OK;
  }
  if (s->ConnectionCount >= STANDIN_MAX_CONNECTIONS) return RKFW_STATUS_FULL;
  s->Connections[s->ConnectionCount++] = row;
  return RKFW_STATUS_OK;
}

static int AddTraffic(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  STANDIN_TRAFFIC traffic;
  if (inSize != sizeof(traffic) && inSize != sizeof(traffic) + 4) return RKFW_STATUS_INVALID_PARAMETER;
  memcpy(&traffic, in, sizeof(traffic));
  if (inSize == sizeof(traffic) + 4) {
    int index = FindConnection(s, Le32(in + sizeof(traffic)));
    if (index < 0) return RKFW_STATUS_NOT_FOUND;
    s->Connections[index].BytesSent += (uint32_t)traffic.Sent;
    s->Connections[index].BytesReceived += (uint32_t)traffic.Received;
  }
  s->Stats.TotalSent += traffic.Sent;
  s->Stats.TotalReceived += traffic.Received;
  return RKFW_STATUS_OK;
}

static int ImageOut(const uint8_t* image, uint32_t size, void* out, uint32_t outSize, uint32_t* returned) {
  if (size == 0) return RKFW_STATUS_OK;
  if (outSize < 4) return RKFW_STATUS_BUFFER_TOO_SMALL;
  return CopyOut(out, outSize >= size ? size : 4, image, size, returned);
}

static int Status(RKFW_STATE* s, void* out, uint32_t outSize, uint32_t* returned) {
  uint32_t i;
  STANDIN_STATUS* c = &s->Counters;
  c->Enabled = s->Enabled;
  c->QueuedEvents = s->EventCount;
  c->Connections = s->ConnectionCount;
  c->Verdicts = s->VerdictTotal;
  c->IpImageSize = s->IpImageSize;
  c->AuditImageSize = s->AuditImageSize;
  c->Paths = 0;
  for (i = 0; i < STANDIN_MAX_PATHS; ++i)
    if (s->Paths[i].Length != 0) ++c->Paths;
  return CopyOut(out, outSize, c, sizeof(*c), returned);
}

static int VerdictsOut(const RKFW_STATE* s, const uint8_t* in, uint32_t inSize, uint8_t* out,
                       uint32_t outSize, uint32_t* returned) {
  uint32_t kept = MIN(s->VerdictTotal, STANDIN_MAX_VERDICTS);
  uint32_t oldest = s->VerdictTotal - kept;
  uint32_t first = 0, n, i;
  if (inSize >= 4) first = Le32(in);
  if (outSize < 4) return RKFW_STATUS_BUFFER_TOO_SMALL;
  n = first < kept ? kept - first : 0;
  n = MIN(n, (outSize - 4) / RKFW_EVENT_SIZE);
  PutLe32(out, n);
  for (i = 0; i < n; ++i)
    memcpy(out + 4 + i * RKFW_EVENT_SIZE, &s->Verdicts[(oldest + first + i) % STANDIN_MAX_VERDICTS],
           RKFW_EVENT_SIZE);
  *returned = 4 + n * RKFW_EVENT_SIZE;
  return RKFW_STATUS_OK;
}

static int SetFault(RKFW_STATE* s, const uint8_t* in, uint32_t inSize) {
  STANDIN_FAULT fault;
  uint32_t i;
  STANDIN_FAULT* slot = NULL;
  if (inSize != sizeof(fault)) return RKFW_STATUS_INVALID_PARAMETER;
  memcpy(&fault, in, sizeof(fault));
  if (fault.Mode > STANDIN_FAULT_FILL) return RKFW_STATUS_INVALID_PARAMETER;
  /* The private codes themselves stay reliable, or a test could not undo a fault. */
  if (fault.Code >= RKFW_CTL_CODE(0x900) && fault.Code <= RKFW_CTL_CODE(0x9FF))
    return RKFW_STATUS_INVALID_PARAMETER;
  for (i = 0; i < STANDIN_MAX_FAULTS; ++i)
    if (s->Faults[i].Mode != STANDIN_FAULT_NONE && s->Faults[i].Code == fault.Code) slot = &s->Faults[i];
  if (fault.Mode == STANDIN_FAULT_NONE) {
    if (slot != NULL) memset(slot, 0, sizeof(*slot));
    return RKFW_STATUS_OK;
  }
  for (i = 0; slot == NULL && i < STANDIN_MAX_FAULTS; ++i)
    if (s->Faults[i].Mode == STANDIN_FAULT_NONE) slot = &s->Faults[i];
  if (slot == NULL) return RKFW_STATUS_FULL;
  *slot = fault;
  return RKFW_STATUS_OK;
}

static const STANDIN_FAULT* FaultFor(const RKFW_STATE* s, uint32_t code) {
  uint32_t i;
  for (i = 0; i < STANDIN_MAX_FAULTS; ++i)
    if (s->Faults[i].Mode != STANDIN_FAULT_NONE && s->Faults[i].Code == code) return &s->Faults[i];
  return NULL;
}

static int Answer(RKFW_STATE* s, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* returned) {
  switch (code) {
    case IOCTL_RKFW_GET_TRAFFIC_STATS:
      return CopyOut(out, outSize, &s->Stats, sizeof(s->Stats), returned);
    case IOCTL_RKFW_GET_VERSION:
      return CopyOut(out, outSize, &s->Version, 4, returned);
    case IOCTL_RKFW_GET_CONNECTION_COUNTS:
      return ConnectionCounts(s, out, outSize, returned);
    case IOCTL_RKFW_GET_CONNECTIONS:
      return ConnectionTable(s, out, outSize, returned);
    case IOCTL_RKFW_GET_PROCESS_PATH:
      return ProcessPath(s, in, inSize, (char*)out, outSize, returned);
    case IOCTL_RKFW_GET_ENABLED:
      return CopyOut(out, outSize, &s->Enabled, 4, returned);
    case IOCTL_RKFW_SET_ENABLED:
      if (inSize < 4) return RKFW_STATUS_INVALID_PARAMETER;
      s->Enabled = Le32(in) != 0;
      ++s->Counters.EnableRequests;
      return RKFW_STATUS_OK;
    case IOCTL_RKFW_LOAD_IP_RULES:
      return LoadImage(s, 0, in, inSize);
    case IOCTL_RKFW_LOAD_AUDIT_RULES:
      return LoadImage(s, 1, in, inSize);
    case IOCTL_RKFW_READ_EVENTS:
      return ReadEvents(s, out, outSize, returned);
    case IOCTL_RKFW_SEND_VERDICT:
      return KeepVerdict(s, in, inSize);
    case IOCTL_RKFW_CLOSE_CONNECTION:
      return CloseConnection(s, in, inSize);

    case IOCTL_STANDIN_RESET:
      RkfwInit(s);
      return RKFW_STATUS_OK;
    case IOCTL_STANDIN_INJECT_EVENT:
      return RkfwQueueEvents(s, in, inSize);
    case IOCTL_STANDIN_ADD_CONNECTION:
      return AddConnection(s, in, inSize);
    case IOCTL_STANDIN_REMOVE_CONNECTION: {
      int index;
      if (inSize != 4) return RKFW_STATUS_INVALID_PARAMETER;
      index = FindConnection(s, Le32(in));
      if (index < 0) return RKFW_STATUS_NOT_FOUND;
      RemoveConnectionAt(s, (uint32_t)index);
      return RKFW_STATUS_OK;
    }
    case IOCTL_STANDIN_ADD_TRAFFIC:
      return AddTraffic(s, in, inSize);
    case IOCTL_STANDIN_SET_PATH:
      return SetPath(s, in, inSize);
    case IOCTL_STANDIN_GET_IP_IMAGE:
      return ImageOut(s->IpImage, s->IpImageSize, out, outSize, returned);
    case IOCTL_STANDIN_GET_AUDIT_IMAGE:
      return ImageOut(s->AuditImage, s->AuditImageSize, out, outSize, returned);
    case IOCTL_STANDIN_GET_STATUS:
      return Status(s, out, outSize, returned);
    case IOCTL_STANDIN_GET_VERDICTS:
      return VerdictsOut(s, in, inSize, out, outSize, returned);
    case IOCTL_STANDIN_SET_FAULT:
      return SetFault(s, in, inSize);
    case IOCTL_STANDIN_PACKET:
      return RkfwPacketRequest(s, in, inSize, out, outSize, returned);
    case IOCTL_STANDIN_PACKET_RESULT:
      return RkfwPacketResultRequest(s, in, inSize, out, outSize, returned);
    case IOCTL_STANDIN_SET_VERSION:
      if (inSize != 4) return RKFW_STATUS_INVALID_PARAMETER;
      s->Version = Le32(in);
      return RKFW_STATUS_OK;
    default:
      return RKFW_STATUS_INVALID_REQUEST;
  }
}

int RkfwDeviceControl(RKFW_STATE* state, uint32_t code, const void* in, uint32_t inSize, void* out,
                      uint32_t outSize, uint32_t* returned) {
  const STANDIN_FAULT* fault;
  int status;
  if (returned == NULL) return RKFW_STATUS_INVALID_PARAMETER;
  *returned = 0;
  if (state == NULL) return RKFW_STATUS_INVALID_PARAMETER;
  if (in == NULL) inSize = 0;
  if (out == NULL) outSize = 0;
  fault = FaultFor(state, code);
  if (fault != NULL && fault->Mode == STANDIN_FAULT_FAIL) return RKFW_STATUS_FAULT;
  status = Answer(state, code, (const uint8_t*)in, inSize, (uint8_t*)out, outSize, returned);
  if (status != RKFW_STATUS_OK) {
    *returned = 0;
    return status;
  }
  if (fault != NULL) {
    switch (fault->Mode) {
      case STANDIN_FAULT_SHORT:
        *returned = MIN(*returned, fault->Value);
        break;
      case STANDIN_FAULT_CLAIM:
        if (*returned >= 4) PutLe32(out, fault->Value);
        break;
      case STANDIN_FAULT_FILL:
        if (outSize != 0) memset(out, (int)(fault->Value & 0xFF), outSize);
        *returned = outSize;
        break;
    }
  }
  return status;
}
