// The connection rows of the process page as the page reads them, without windows: the
// folding of duplicate endpoints, the text of one row and the key that names a program.
#pragma once
#include <cstdint>
#include <string>

#include "driver/protocol.h"

constexpr uint32_t kHiddenRow = 0xFFFFFFFFu;  // a state the page never shows
constexpr uint32_t kListening = 1;

// The name of a TCP state index; empty above 11.
const char* TcpStateName(uint32_t state);

// Several TCP rows may name one endpoint object; of those only one listening line is kept:
// representatives are marked listening (1) and redundant endpoint rows hidden (0xFFFFFFFF).
void FoldDuplicateEndpoints(_RKFW_NETWORKCONNECTION* rows, uint32_t count);

// The line of a row: by protocol, with its endpoints, state and byte counts.
std::string ConnectionRowText(const _RKFW_NETWORKCONNECTION& row);

// The close item applies to a TCP line that is not listening.
inline bool CanCloseConnection(const _RKFW_NETWORKCONNECTION& row) {
  return row.Protocol == 1 && row.State != kListening;
}

// Program texts are matched ignoring the case of ASCII letters (as the system compares paths);
// this is the text in the form under which two such texts are equal. Double-byte characters
// are kept whole, so a trail byte that looks like a capital letter is not folded.
std::string ProgramKey(const char* text);
