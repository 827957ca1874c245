// Small text formatters shared by the event log, the prompt and the monitoring pages.
// Each returns a fresh text buffer of kValueTextSize bytes (zero-terminated, GBK).
#pragma once
#include <cstdint>

#include "base/text.h"

// How the driver stamps its events: the NT family already in local time, Win9x in UTC.
enum class EventClock : uint8_t { Local, Utc };
// The clock of event times. By default it follows the system the console runs on (Utc on
// Win9x, Local on NT: platform/machine.h). SetEventClock fixes one instead (tools that show
// events recorded elsewhere); FollowDriverClock undoes that.
void SetEventClock(EventClock clock);
void FollowDriverClock();
EventClock GetEventClock();

// A file time (100 ns ticks since 1601) as "YYYY-MM-DD hh:mm:ss", first converted from UTC to
// local time when `clock` is Utc. A time the calendar cannot hold prints as zeros.
_textPtr FormatFileTimeStamp(uint64_t fileTime, EventClock clock);

// An IPv4 address with its first octet in the lowest byte, as "%3d.%3d.%3d.%3d" when padded
// or "%d.%d.%d.%d". Address 0 prints the name of this computer.
_textPtr FormatAddress(uint32_t address, bool padded);
// The padded address, ":" and the unpadded port (port in network byte order).
_textPtr FormatEndpoint(uint32_t address, uint16_t port);
// A port in network byte order, as "%d", or "%-5d" when padded.
_textPtr FormatPort(uint16_t port, bool padded);
// A count in decimal with "," between groups of three digits ("1,234"). A negative value keeps
// its sign in front of the grouped digits.
_textPtr FormatGroupedNumber(int64_t value);

// What address 0 prints: the given name instead of the system's (nullptr restores it).
// Used by tools that render events recorded on another machine, and by tests.
void SetComputerNameOverride(const char* name);
