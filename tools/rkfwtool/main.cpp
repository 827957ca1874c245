// rkfwtool: reads, prints, compiles and converts rule files for people who keep them.
#include <cstdio>
#include <cstring>

#include "tools/rkfwtool/commands.h"

namespace {
void PrintUsage(FILE* out) {
  fprintf(out, "usage:\n");
  for (uint32_t i = 0; i < kCommandCount; ++i)
    fprintf(out, "  rkfwtool %s %s\n", kCommands[i].Name, kCommands[i].Usage);
  fprintf(out, "Texts are GBK in the files; dump shows them in UTF-8 when the locale is UTF-8 (or with\n"
               "--utf8) and names the text's encoding in its \"encoding\" line, which compile follows.\n"
               "A text without that line is UTF-8 when it starts with a byte order mark, else GBK or\n"
               "UTF-8 as --gbk or --utf8 says, else the system's encoding (the locale's; on Windows the\n"
               "ANSI code page).\n");
}

bool AsksForHelp(const char* arg) {
  return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0 || strcmp(arg, "help") == 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 1;
  }
  if (AsksForHelp(argv[1])) {
    PrintUsage(stdout);
    return 0;
  }
  for (uint32_t i = 0; i < kCommandCount; ++i)
    if (strcmp(argv[1], kCommands[i].Name) == 0) {
      if (argc == 3 && AsksForHelp(argv[2])) {
        printf("usage: rkfwtool %s %s\n", kCommands[i].Name, kCommands[i].Usage);
        return 0;
      }
      return static_cast<int>(kCommands[i].Run(argc - 2, argv + 2));
    }
  fprintf(stderr, "rkfwtool: unknown command \"%s\"\n", argv[1]);
  PrintUsage(stderr);
  return 1;
}
