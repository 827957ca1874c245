// Address and port entry: list items that carry a value, dotted address text, and host name
// look-ups. Shared by the rule edit dialog and the audit condition dialogs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CListBox;

// The most addresses one look-up gives.
constexpr uint32_t kMaxResolvedAddresses = 100;

// Appends (text, value) to `list` unless an item with that value is already there.
// Returns the new item's index, or -1 when the value was listed already.
int AddListItem(CListBox* list, const char* text, uint32_t value);

// "a.b.c.d" of an address in network byte order.
std::string DottedAddress(uint32_t networkOrder);
// Exactly four decimal fields of 0 to 255 separated by dots, nothing else around them.
bool ParseDottedAddress(const char* text, uint32_t* networkOrder);

// Blanks around the text are ignored. Dotted text gives its address; text of digits and dots
// alone that is no address fails; any other non-empty text is looked up as a host name by
// the system's resolver on a worker thread, while this thread's messages keep flowing (input
// waits its turn) with the wait cursor showing, for at most 5 s; Esc pressed meanwhile gives up. Empty text, failed
// look-ups and look-ups given up fail.
// ResolveOne: the first address. ResolveAll: the addresses in the resolver's order, at most
// kMaxResolvedAddresses; returns how many (0 on failure, `addresses` then empty).
bool ResolveOne(const char* text, uint32_t* networkOrder);
uint32_t ResolveAll(const char* text, std::vector<uint32_t>& addresses);

// The text without the blanks and tabs around it.
std::string TrimBlanks(const char* text);
// Text made only of digits and dots, which is an address or a mistake, never a host name.
bool LooksDotted(const char* text);
// A subnet mask (host order, first field most significant) whose ones all come first.
bool ContiguousMask(uint32_t hostOrderMask);

// The addresses of this computer: its host name looked up. Empty when either step fails.
std::vector<uint32_t> LocalHostAddresses();

// Test seam: answers host name look-ups instead of the system resolver (true with the
// addresses, false for a name that does not resolve), on the worker thread; nullptr restores
// the system's.
using HostLookup = bool (*)(void* context, const char* name, std::vector<uint32_t>& addresses);
void SetHostLookup(HostLookup lookup, void* context);
