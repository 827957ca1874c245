#include "log/formatters.h"

#include <cinttypes>
#include <cstring>

#include "base/bytes.h"
#include "platform/clock.h"
#include "platform/machine.h"

namespace {
bool g_clockFixed = false;
EventClock g_fixedClock = EventClock::Local;
bool g_hasComputerOverride = false;
char g_computerOverride[256];
}  // namespace

void SetEventClock(EventClock clock) {
  g_clockFixed = true;
  g_fixedClock = clock;
}

void FollowDriverClock() { g_clockFixed = false; }

EventClock GetEventClock() {
  if (g_clockFixed) return g_fixedClock;
  // Asked of the system rather than set once, so no caller has to remember to wire it.
  return RunsWin9x() ? EventClock::Utc : EventClock::Local;
}

void SetComputerNameOverride(const char* name) {
  g_hasComputerOverride = name != nullptr;
  CopyText(g_computerOverride, sizeof g_computerOverride, name ? name : "");
}

_textPtr FormatFileTimeStamp(uint64_t fileTime, EventClock clock) {
  _textPtr text = MakeText(kValueTextSize);
  uint64_t shown = fileTime;
  if (clock == EventClock::Utc && !UtcToLocalFileTime(fileTime, &shown)) shown = fileTime;
  CalendarTime parts{};
  if (!FileTimeToCalendar(shown, &parts)) parts = CalendarTime{};
  FormatText(text.Data(), kValueTextSize, "%04d-%02d-%02d %02d:%02d:%02d", parts.Year, parts.Month,
             parts.Day, parts.Hour, parts.Minute, parts.Second);
  return text;
}

_textPtr FormatAddress(uint32_t address, bool padded) {
  _textPtr text = MakeText(kValueTextSize);
  if (address == 0) {
    if (g_hasComputerOverride) {
      CopyText(text.Data(), kValueTextSize, g_computerOverride);
    } else {
      GetComputerNameText(text.Data(), kValueTextSize);
    }
    return text;
  }
  int a = address & 0xFF, b = (address >> 8) & 0xFF, c = (address >> 16) & 0xFF, d = address >> 24;
  if (padded) {
    FormatText(text.Data(), kValueTextSize, "%3d.%3d.%3d.%3d", a, b, c, d);
  } else {
    FormatText(text.Data(), kValueTextSize, "%d.%d.%d.%d", a, b, c, d);
  }
  return text;
}

_textPtr FormatPort(uint16_t port, bool padded) {
  _textPtr text = MakeText(kValueTextSize);
  FormatText(text.Data(), kValueTextSize, padded ? "%-5d" : "%d", static_cast<int>(NetToHost16(port)));
  return text;
}

_textPtr FormatEndpoint(uint32_t address, uint16_t port) {
  _textPtr text = FormatAddress(address, true);
  _textPtr portText = FormatPort(port, false);
  AppendText(text.Data(), kValueTextSize, ":%s", portText.Data());
  return text;
}

_textPtr FormatGroupedNumber(int64_t value) {
  _textPtr text = MakeText(kValueTextSize);
  char digits[32];
  // The magnitude as unsigned, so that the most negative value has digits too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int length = static_cast<int>(FormatText(digits, sizeof digits, "%" PRIu64, magnitude));
  char* out = text.Data();
  if (value < 0) *out++ = '-';
  int first = length % 3 == 0 ? 3 : length % 3;
  for (int i = 0; i < length; ++i) {
    if (i != 0 && (i - first) % 3 == 0) *out++ = ',';
    *out++ = digits[i];
  }
  *out = 0;
  return text;
}
