#include "platform/msgbox.h"
#include "platform/msgbox_native.h"

namespace {
MessageBoxScript g_script = nullptr;
void* g_context = nullptr;
}  // namespace

void SetMessageBoxScript(MessageBoxScript script, void* context) {
  g_script = script;
  g_context = context;
}

int ShowMessageBox(void* owner, const char* text, const char* caption, uint32_t flags) {
  if (g_script != nullptr) return g_script(g_context, owner, text, caption, flags);
  return ShowNativeMessageBox(owner, text ? text : "", caption ? caption : "", flags);
}
