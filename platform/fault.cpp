#include "platform/file.h"
#include "platform/fault.h"

namespace {
FileFaultHook g_hook = nullptr;
void* g_context = nullptr;
int g_oneStep = -1;
}  // namespace

void SetFileFaultHook(FileFaultHook hook, void* context) {
  g_hook = hook;
  g_context = context;
}

bool FileFaultInjected(FileOp op) { return g_hook != nullptr && g_hook(g_context, op); }

void SetFileReplaceInOneStepForTests(int state) { g_oneStep = state; }
bool FileReplaceInOneStepOr(bool system) { return g_oneStep < 0 ? system : g_oneStep != 0; }
