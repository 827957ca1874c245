// Time in the forms the driver and the rule files use: 100 ns ticks since 1601 (UTC file time).
#pragma once
#include <cstdint>

// Same fields and order as the Win32 SYSTEMTIME.
struct CalendarTime {
  uint16_t Year;
  uint16_t Month;
  uint16_t DayOfWeek;
  uint16_t Day;
  uint16_t Hour;
  uint16_t Minute;
  uint16_t Second;
  uint16_t Milliseconds;
};
static_assert(sizeof(CalendarTime) == 16, "CalendarTime mirrors SYSTEMTIME");

uint64_t GetUtcFileTime();
// UTC file time to local file time in the machine's time zone.
bool UtcToLocalFileTime(uint64_t utc, uint64_t* local);
// A file time split into calendar fields, without any zone conversion.
bool FileTimeToCalendar(uint64_t fileTime, CalendarTime* out);
