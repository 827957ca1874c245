// rkfwtool's commands. Adding one: a new .cpp with its Run function and one line in
// kCommands (commands.cpp). Each command returns the result code of the operation that failed
// (0 on success) and writes its errors to standard error.
#pragma once
#include <cstdint>

struct CToolCommand {
  const char* Name;
  const char* Usage;  // arguments, shown by "rkfwtool" without a command
  uint32_t (*Run)(int argc, char** argv);  // argv[0] is the command's first argument
};

uint32_t RunDump(int argc, char** argv);
uint32_t RunCompile(int argc, char** argv);
uint32_t RunIpImage(int argc, char** argv);
uint32_t RunAuditImage(int argc, char** argv);
uint32_t RunRewrite(int argc, char** argv);
uint32_t RunEventText(int argc, char** argv);

extern const CToolCommand kCommands[];
extern const uint32_t kCommandCount;
