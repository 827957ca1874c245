// The pages of the main window by class name. A page of a later window module is added
// here; until then its button only expands the window.
#include "ui/tfwauditruleframe/tfwauditruleframe.h"
#include "ui/tfwinfoframe/tfwinfoframe.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwprocframe/tfwprocframe.h"
#include "ui/tfwmain/tfwmain.h"
#include "ui/tfwruleadddlg/tfwruleadddlg.h"
#include "ui/tfwsysruleframe/ruleeditor.h"
#include "ui/tfwsysruleframe/tfwsysruleframe.h"
#include "ui/toptframe/toptframe.h"

#include <cstring>

namespace {
CPage* NewRuleSetPage(CComponent* owner) {
  SetRuleEditor(EditRuleInDialog);  // "增加规则" and "修改规则" open the rule edit dialog
  return new TSysRuleFrame(owner);
}

const CPageClass kPages[] = {
    {"TFWInfoFrame", [](CComponent* owner) -> CPage* { return new TFWInfoFrame(owner); }},
    {"TProcFrame", [](CComponent* owner) -> CPage* { return new TProcFrame(owner); }},
    {"TSysRuleFrame", NewRuleSetPage},
    {"TTOptionFrame", [](CComponent* o) -> CPage* { return new TTOptionFrame(o); }},
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
