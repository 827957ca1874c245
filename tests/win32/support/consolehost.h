// A main window's side for pages shown on their own (tests, benchmarks): the real driver's
// port, the slider stays on medium and every request does nothing, unless a test overrides it.
#pragma once
#include "driver/port.h"
#include "ui/consolehost/consolehost.h"

class CQuietConsoleHost : public CConsoleHost {
 public:
  CDriverPort& Driver() const override { return RkfwPort(); }
  int SecurityLevel() const override { return 1; }
  void SelectSecurityLevel(int) override {}
  void RequestLogPage() override {}
  bool OpenRuleEditor(CComponent*, _RKFW_RULE*, _RKFW_RULE**) override { return false; }
  bool OpenAuditConditions(CControl*, _RKFW_AUDIT_RULE*) override { return false; }

 protected:
  ~CQuietConsoleHost() = default;
};
