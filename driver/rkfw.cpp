#include "driver/rkfw.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "driver/connection.h"
#include "platform/heap.h"

namespace {
char g_serviceName[64] = RKFW_SERVICE_NAME;

// The open device, or kInvalidDevice when the cell is missing or holds no valid handle.
DeviceHandle Device() {
  const CDriverConnection& c = DriverConnection();
  return c.handleCell != nullptr ? *c.handleCell : kInvalidDevice;
}

// One request; `returned` is already cut to `outSize` by the platform.
bool Ask(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
         uint32_t outSize, uint32_t* returned) {
  uint32_t ignored = 0;
  return DeviceControl(device, code, in, inSize, out, outSize, returned ? returned : &ignored);
}

uint32_t AskFixed(uint32_t code, void* out, uint32_t size, uint32_t minimum) {
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  memset(out, 0, size);
  uint32_t returned = 0;
  bool ok = Ask(device, code, nullptr, 0, out, size, &returned);
  return ok && returned >= minimum ? RESULT_OK : RESULT_FAILED;
}

uint32_t LoadImage(uint32_t code, const void* image, uint32_t size) {
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  // The request carries the image's own length; an image claiming more than its buffer holds
  // is refused rather than read past its end.
  if (image == nullptr || size < 4) return RESULT_FAILED;
  uint32_t length = LoadLe32(image);
  if (length > size) return RESULT_FAILED;
  return Ask(device, code, image, length, nullptr, 0, nullptr) ? RESULT_OK : RESULT_FAILED;
}
}  // namespace

CDriverConnection& DriverConnection() {
  static CDriverConnection connection;
  return connection;
}

uint32_t DetectPlatform() {
  CDriverConnection& c = DriverConnection();
  bool nt = false;
  uint32_t result = DetectPlatformOnSystem(&nt);
  if (result != RESULT_OK) return result;
  c.nt = nt;
  c.detected = true;
  return RESULT_OK;
}

uint32_t OpenDriver(uint8_t start) {
  CDriverConnection& c = DriverConnection();
  if (!c.detected) return RESULT_DRIVER_NOT_OPEN;
  if (c.handleCell != nullptr) return RESULT_OK;  // opened at most once; a failure is not retried
  c.handleCell = static_cast<DeviceHandle*>(PlatformAlloc(sizeof(DeviceHandle)));
  if (c.handleCell == nullptr) return RESULT_FAILED;
  *c.handleCell = kInvalidDevice;
  return c.nt ? OpenDriverNt(start, g_serviceName, c.handleCell) : OpenDriverWin9x(c.handleCell);
}

bool DriverIsOpen() { return Device() != kInvalidDevice; }
bool IsNtPlatform() { return DriverConnection().nt; }

uint32_t GetTrafficStats(_RKFW_STATISTICS* stats) {
  return AskFixed(IOCTL_RKFW_GET_TRAFFIC_STATS, stats, sizeof *stats, sizeof *stats);
}

uint32_t GetDriverVersion(uint32_t* version) {
  return AskFixed(IOCTL_RKFW_GET_VERSION, version, sizeof *version, 1);
}

uint32_t GetConnections(_RKFW_NETWORKCONNECTION* rows, uint32_t* capacity, uint32_t* tcp,
                        uint32_t* udp) {
  _RKFW_CONNECTION_COUNTS counts;
  uint32_t result = AskFixed(IOCTL_RKFW_GET_CONNECTION_COUNTS, &counts, sizeof counts, sizeof counts);
  if (result != RESULT_OK) return result;
  *tcp = counts.Tcp;
  *udp = counts.Udp;
  if (rows == nullptr) {
    *capacity = counts.Rows;
    return RESULT_OK;
  }
  // The driver's count sizes the buffer only as far as the caller can take the rows: a count
  // claiming millions must not become a buffer of gigabytes on every refresh.
  uint32_t offered = counts.Rows < *capacity ? counts.Rows : *capacity;
  if (offered > kMostConnectionRows) offered = kMostConnectionRows;
  uint32_t size = offered * RKFW_CONNECTION_SIZE + 8;
  _bytePtr table;
  try {
    table.Reset(size);
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;
  }
  uint32_t returned = 0;
  if (!Ask(Device(), IOCTL_RKFW_GET_CONNECTIONS, nullptr, 0, table.Data(), size, &returned))
    returned = 0;
  uint32_t length = returned >= 4 ? LoadLe32(table.Data()) : 0;
  if (length == 0) return RESULT_FAILED;
  // An answer that stops short of both the length it claims and the room offered is torn, not
  // a shorter table: taken as it is, it would drop every row it lacks until the next request.
  uint32_t present = (returned - 4) / RKFW_CONNECTION_SIZE;
  uint32_t claimed = length / RKFW_CONNECTION_SIZE;
  if (claimed > present && present < offered) return RESULT_FAILED;
  uint32_t n = claimed < present ? claimed : present;
  if (n > *capacity) n = *capacity;
  if (n > counts.Rows) n = counts.Rows;
  memcpy(rows, table.Data() + 4, n * RKFW_CONNECTION_SIZE);
  // The table may be shorter than counted a moment ago: rows past n were never written.
  *capacity = n;
  return RESULT_OK;
}

uint32_t GetProcessPath(const ProcessBlock* block, _textPtr* path) {
  *path = MakeText(RKFW_PROCESS_PATH_SIZE);
  char* text = path->Data();
  // The name may fill all its 26 bytes without a terminator.
  char name[RKFW_PROCESS_NAME_SIZE + 1] = {};
  memcpy(name, block->Name, RKFW_PROCESS_NAME_SIZE);
  if (name[0] == 0) {
    CopyText(text, RKFW_PROCESS_PATH_SIZE, "Unknown");
    return RESULT_OK;
  }
  if (block->NameSource == 0) {
    DeviceHandle device = Device();
    if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
    uint32_t key = block->DriverKey;
    uint32_t returned = 0;
    if (!Ask(device, IOCTL_RKFW_GET_PROCESS_PATH, &key, sizeof key, text, RKFW_PROCESS_PATH_SIZE,
             &returned))
      returned = 0;
    // Whatever came back is cut at 1023 bytes and terminated.
    if (returned >= RKFW_PROCESS_PATH_SIZE) returned = RKFW_PROCESS_PATH_SIZE - 1;
    text[returned] = 0;
    return RESULT_OK;
  }
  if (ProcessPathById(block->ProcessId, text, RKFW_PROCESS_PATH_SIZE)) return RESULT_OK;
  if (CompareTextIgnoringCase(name, "System") == 0) {
    CopyText(text, RKFW_PROCESS_PATH_SIZE, "System");
  } else {
    FormatText(text, RKFW_PROCESS_PATH_SIZE, "%s(%ud,%x)", name, block->ProcessId, block->ProcessId);
  }
  return RESULT_OK;
}

uint32_t GetFilterEnabled(uint8_t* enabled) {
  uint32_t value = 0;
  uint32_t result = AskFixed(IOCTL_RKFW_GET_ENABLED, &value, sizeof value, sizeof value);
  if (result == RESULT_OK) *enabled = value != 0 ? 1 : 0;
  return result;
}

uint32_t SetFilterEnabled(uint32_t enabled) {
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  uint32_t value = enabled != 0 ? 1 : 0;
  Ask(device, IOCTL_RKFW_SET_ENABLED, &value, sizeof value, nullptr, 0, nullptr);
  return RESULT_OK;
}

uint32_t LoadIpRuleSet(const void* image, uint32_t size) {
  return LoadImage(IOCTL_RKFW_LOAD_IP_RULES, image, size);
}

uint32_t LoadAuditRuleSet(const void* image, uint32_t size) {
  return LoadImage(IOCTL_RKFW_LOAD_AUDIT_RULES, image, size);
}

uint32_t ReadEvents(_bytePtr* batch, uint32_t* count) {
  batch->Release();
  *count = 0;
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  _bytePtr answer(RKFW_EVENT_BATCH_SIZE);
  uint32_t returned = 0;
  if (!Ask(device, IOCTL_RKFW_READ_EVENTS, nullptr, 0, answer.Data(), RKFW_EVENT_BATCH_SIZE, &returned))
    return RESULT_OK;  // a failed request reads as an empty batch
  // The claimed length counts only up to the buffer and the bytes returned.
  uint32_t length = returned >= 4 ? LoadLe32(answer.Data()) : 0;
  uint32_t present = returned >= 4 ? returned - 4 : 0;
  if (length > present) length = present;
  uint32_t n = length / RKFW_EVENT_SIZE;
  if (n == 0) return RESULT_OK;
  _bytePtr records(n * RKFW_EVENT_SIZE);
  memcpy(records.Data(), answer.Data() + 4, n * RKFW_EVENT_SIZE);
  *batch = records;
  *count = n;
  return RESULT_OK;
}

uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) {
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  Ask(device, IOCTL_RKFW_SEND_VERDICT, record, sizeof *record, nullptr, 0, nullptr);
  return RESULT_OK;
}

uint32_t CloseConnection(uint32_t key) {
  DeviceHandle device = Device();
  if (device == kInvalidDevice) return RESULT_DRIVER_NOT_OPEN;
  Ask(device, IOCTL_RKFW_CLOSE_CONNECTION, &key, sizeof key, nullptr, 0, nullptr);
  return RESULT_OK;
}

void ResetDriverLinkForTests() {
  CDriverConnection& c = DriverConnection();
  PlatformFree(c.handleCell);
  c = CDriverConnection();
  ResetSystemForTests();
}

void SetDriverServiceNameForTests(const char* name) {
  CopyText(g_serviceName, sizeof g_serviceName, name != nullptr ? name : RKFW_SERVICE_NAME);
}
