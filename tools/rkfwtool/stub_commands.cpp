// First delivery: the commands exist; their bodies follow.
#include <cstdio>

#include "tools/rkfwtool/commands.h"

uint32_t RunDump(int, char**) { fprintf(stderr, "rkfwtool: not yet\n"); return 1; }
uint32_t RunCompile(int, char**) { fprintf(stderr, "rkfwtool: not yet\n"); return 1; }
uint32_t RunIpImage(int, char**) { fprintf(stderr, "rkfwtool: not yet\n"); return 1; }
uint32_t RunAuditImage(int, char**) { fprintf(stderr, "rkfwtool: not yet\n"); return 1; }
uint32_t RunRewrite(int, char**) { fprintf(stderr, "rkfwtool: not yet\n"); return 1; }
