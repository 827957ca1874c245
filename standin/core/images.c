/* Checks of the two rule images the console loads. An image is kept only when every count,
 * offset and length it holds stays inside it, so that anything decoding a kept image (the
 * driver, rkfwctl) may follow its references without further checks. */
#include <string.h>

#include "rules/records.h"
#include "standin/core/le.h"
#include "standin/core/standin.h"

/* A match value is good when it is of a known kind and, as a list with elements, its elements
 * lie inside the extra area of `extraSize` bytes. */
static int MatchValueValid(const uint8_t* value, uint32_t extraSize) {
  uint8_t kind = value[0];
  uint32_t count = Le32(value + 1);
  uint32_t offset = Le32(value + 5);
  if (kind > MATCH_RANGE) return 0;
  if (kind != MATCH_LIST || count == 0) return 1;
  if (count > extraSize / 4u) return 0;
  return offset <= extraSize && count * 4u <= extraSize - offset;
}

/* Entry offsets of the match values a rule of `protocol` uses. */
static uint32_t IpEntryMatchValues(uint32_t protocol, uint32_t offsets[4]) {
  switch (protocol) {
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
      offsets[0] = IP_IMAGE_ENTRY_AT(LocalAddr);
      offsets[1] = IP_IMAGE_ENTRY_AT(IpRemoteAddr);
      return 2;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP:
      offsets[0] = IP_IMAGE_ENTRY_AT(LocalAddr);
      offsets[1] = IP_IMAGE_ENTRY_AT(LocalPort);
      offsets[2] = IP_IMAGE_ENTRY_AT(RemoteAddr);
      offsets[3] = IP_IMAGE_ENTRY_AT(RemotePort);
      return 4;
    default:
      return 0;
  }
}

int RkfwIpImageValid(const uint8_t* image, uint32_t size) {
  static const uint32_t kSlots[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP,
                                     IP_IMAGE_SLOT_TCP, IP_IMAGE_SLOT_UDP};
  const uint8_t* body;
  uint32_t extraSize, extraOffset, bodySize, group;
  if (image == NULL || size < IP_IMAGE_HEADER_SIZE + 20u + 1u) return 0;
  if (Le32(image) != size) return 0;
  if (image[size - 1] != 0) return 0;
  bodySize = size - IP_IMAGE_HEADER_SIZE - 1u; /* groups and extra area */
  extraSize = Le32(image + IP_IMAGE_EXTRA_SIZE_AT);
  extraOffset = Le32(image + IP_IMAGE_EXTRA_OFFSET_AT);
  if (extraOffset > bodySize || extraSize != bodySize - extraOffset) return 0;
  body = image + IP_IMAGE_HEADER_SIZE;
  for (group = 0; group < 5; ++group) {
    uint32_t at = Le32(image + kSlots[group]);
    uint32_t count, i, offsets[4], used;
    if (at > extraOffset || extraOffset - at < 4u) return 0;
    count = Le32(body + at);
    if (count > (extraOffset - at - 4u) / IP_IMAGE_ENTRY_SIZE) return 0;
    used = IpEntryMatchValues(group, offsets);
    for (i = 0; i < count; ++i) {
      const uint8_t* entry = body + at + 4u + i * IP_IMAGE_ENTRY_SIZE;
      uint32_t v;
      for (v = 0; v < used; ++v)
        if (!MatchValueValid(entry + offsets[v], extraSize)) return 0;
    }
  }
  return 1;
}

/* Stored-record offsets of an audit rule's ten match values and of its path reference. */
static const uint32_t kAuditValues[10] = {
    AUDIT_BODY_RECORD_AT(IpLocalAddr),  AUDIT_BODY_RECORD_AT(IpRemoteAddr),  AUDIT_BODY_RECORD_AT(TcpLocalAddr),
    AUDIT_BODY_RECORD_AT(TcpLocalPort), AUDIT_BODY_RECORD_AT(TcpRemoteAddr), AUDIT_BODY_RECORD_AT(TcpRemotePort),
    AUDIT_BODY_RECORD_AT(UdpLocalAddr), AUDIT_BODY_RECORD_AT(UdpLocalPort),  AUDIT_BODY_RECORD_AT(UdpRemoteAddr),
    AUDIT_BODY_RECORD_AT(UdpRemotePort)};
#define AUDIT_PATH_AT AUDIT_BODY_RECORD_AT(AppPath)

int RkfwAuditImageValid(const uint8_t* image, uint32_t size) {
  const uint8_t *records, *extra;
  uint32_t count, recordsAt, extraSize, extraOffset, bodySize, i, v;
  if (image == NULL || size < AUDIT_BODY_HEADER_SIZE + 1u) return 0;
  if (Le32(image) != size) return 0;
  if (image[size - 1] != 0) return 0;
  bodySize = size - AUDIT_BODY_HEADER_SIZE - 1u;
  count = Le32(image + AUDIT_BODY_COUNT_AT);
  recordsAt = Le32(image + AUDIT_BODY_RECORDS_AT);
  extraSize = Le32(image + AUDIT_BODY_EXTRA_SIZE_AT);
  extraOffset = Le32(image + AUDIT_BODY_EXTRA_AT);
  if (extraOffset > bodySize || extraSize != bodySize - extraOffset) return 0;
  if (recordsAt > extraOffset) return 0;
  if (count > (extraOffset - recordsAt) / AUDIT_BODY_RECORD_SIZE) return 0;
  records = image + AUDIT_BODY_HEADER_SIZE + recordsAt;
  extra = image + AUDIT_BODY_HEADER_SIZE + extraOffset;
  for (i = 0; i < count; ++i) {
    const uint8_t* record = records + i * AUDIT_BODY_RECORD_SIZE;
    uint32_t path = Le32(record + AUDIT_PATH_AT);
    /* The path text ends inside the extra area, not on the image's closing zero. */
    if (path >= extraSize || memchr(extra + path, 0, extraSize - path) == NULL) return 0;
    for (v = 0; v < 10; ++v)
      if (!MatchValueValid(record + kAuditValues[v], extraSize)) return 0;
  }
  return 1;
}
