// The pages of the main window by class name. A page of a later window module is added
// here; until then its button only expands the window.
#include "ui/tfwauditruleframe/tfwauditruleframe.h"
#include "ui/tfwinfoframe/tfwinfoframe.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwprocframe/tfwprocframe.h"
#include "ui/tfwmain/tfwmain.h"
#include "ui/tfwsysruleframe/tfwsysruleframe.h"
#include "ui/toptframe/toptframe.h"

#include <cstring>

namespace {
const CPageClass kPages[] = {
    {"TFWInfoFrame", [](CComponent* o, CConsoleHost& host) -> CPage* { return new TFWInfoFrame(o, host); }},
    {"TProcFrame", [](CComponent* o, CConsoleHost& host) -> CPage* { return new TProcFrame(o, host); }},
    {"TSysRuleFrame", [](CComponent* o, CConsoleHost& host) -> CPage* { return new TSysRuleFrame(o, host); }},
    {"TTOptionFrame", [](CComponent* o, CConsoleHost&) -> CPage* { return new TTOptionFrame(o); }},
    {"TFWAuditRuleFrame",
     [](CComponent* o, CConsoleHost& host) -> CPage* { return new TFWAuditRuleFrame(o, host); }},
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
