// The pages of the main window by class name. A page of a later window module is added
// here; until then its button only expands the window.
#include "ui/tfwauditruleframe/tfwauditruleframe.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwmain/tfwmain.h"

#include <cstring>

namespace {
const CPageClass kPages[] = {
    {"TFWInfoFrame", nullptr},
    {"TProcFrame", nullptr},
    {"TSysRuleFrame", nullptr},
    {"TTOptionFrame", nullptr},
    {"TFWAuditRuleFrame", [](CComponent* o) -> CPage* { return new TFWAuditRuleFrame(o); }},
    {nullptr, nullptr},
};
const CPageClass* g_table = kPages;
}  // namespace

const CPageClass* FindPageClass(const char* className) {
  for (const CPageClass* p = g_table; p->className != nullptr; ++p)
    if (strcmp(p->className, className) == 0) return p->create != nullptr ? p : nullptr;
  return nullptr;
}

void SetPageTable(const CPageClass* table) { g_table = table ? table : kPages; }
