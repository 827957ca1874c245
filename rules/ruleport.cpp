#include "rules/ruleport.h"

namespace {
CDriverPort* g_port = nullptr;  // not owned
}  // namespace

CDriverPort& RulePort() { return g_port != nullptr ? *g_port : RkfwPort(); }
void SetRulePort(CDriverPort* port) { g_port = port; }
