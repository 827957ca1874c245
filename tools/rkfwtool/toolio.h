// File helpers shared by rkfwtool's commands.
#pragma once
#include <cstdint>
#include <string>

#include "base/bufferptr.h"

// The whole file; 10 when it cannot be opened, 1 when it cannot be read.
uint32_t ReadWholeFile(const char* path, _bytePtr& data);
// Replaces `path` with the bytes in one step (temporary file beside it). 0 or 1.
uint32_t WriteWholeFile(const char* path, const void* data, uint32_t size);
// Audit file: "--audit" given, or the magic is "RKFA" and the name ends in ".aud".
bool IsAuditFile(const char* path, const _bytePtr& data, bool forced);
// Removes every `flag` from the arguments; true when there was one. TakeAuditFlag: "--audit".
bool TakeFlag(int& argc, char** argv, const char* flag);
bool TakeAuditFlag(int& argc, char** argv);
// "rkfwtool: <what>: <path>" (and the code) on standard error; returns `code`.
uint32_t Report(uint32_t code, const char* what, const char* path);
