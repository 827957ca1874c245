#include "tools/rkfwtool/commands.h"

const CToolCommand kCommands[] = {
    {"dump", "FILE [--audit] [--utf8 | --gbk]", RunDump},
    {"compile", "TEXT OUT [--utf8 | --gbk]", RunCompile},
    {"ip-image", "IN.rul OUT.bin", RunIpImage},
    {"audit-image", "IN.aud OUT.bin", RunAuditImage},
    {"rewrite", "IN OUT [--audit]", RunRewrite},
    {"event-text", "[--rules FILE.rul] [--computer NAME] [--9x] BATCH", RunEventText},
};
const uint32_t kCommandCount = sizeof kCommands / sizeof kCommands[0];
