// rkfwtool: reads, prints, compiles and converts rule files for people who keep them.
#include <cstdio>
#include <cstring>

#include "tools/rkfwtool/commands.h"

namespace {
void PrintUsage() {
  fprintf(stderr, "usage:\n");
  for (uint32_t i = 0; i < kCommandCount; ++i)
    fprintf(stderr, "  rkfwtool %s %s\n", kCommands[i].Name, kCommands[i].Usage);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 1;
  }
  for (uint32_t i = 0; i < kCommandCount; ++i)
    if (strcmp(argv[1], kCommands[i].Name) == 0)
      return static_cast<int>(kCommands[i].Run(argc - 2, argv + 2));
  fprintf(stderr, "rkfwtool: unknown command \"%s\"\n", argv[1]);
  PrintUsage();
  return 1;
}
