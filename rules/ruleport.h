// The driver port the rule store keeps the two caches in step with, and sends verdicts
// through. The main window hands it its own port; until then it is the real driver.
#pragma once
#include "driver/port.h"

CDriverPort& RulePort();
// nullptr restores the real driver's port.
void SetRulePort(CDriverPort* port);
