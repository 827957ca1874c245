// What the pages ask of the main window that holds them. The main window implements it and
// hands it to each page it creates, so that no page looks another window up by name.
#pragma once

class CComponent;
class CControl;
class CDriverPort;
struct _RKFW_RULE;
struct _RKFW_AUDIT_RULE;

class CConsoleHost {
 public:
  // The port to the driver, for the pages that show what it reports.
  virtual CDriverPort& Driver() const = 0;
  // The security level the slider shows: 0 high, 1 medium, 2 low, 3 custom.
  virtual int SecurityLevel() const = 0;
  // Selects `level` as a move of the slider does (its rules are loaded, or the old level
  // stays and the user is told); nothing happens when the slider is there already.
  virtual void SelectSecurityLevel(int level) = 0;
  // Shows the log page once the current message is handled: the page asking goes then.
  virtual void RequestLogPage() = 0;
  // The rule edit dialog: rule == nullptr asks for a new rule. True on OK; a new rule is then
  // returned in *created (the caller owns it: a zero-filled block from PlatformAlloc with heap
  // texts and lists, released with ReleaseRule then PlatformFree); an edited rule is changed
  // in place.
  virtual bool OpenRuleEditor(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created) = 0;
  // The audit conditions dialog for `rule`, owned by `card`; true when confirmed (the rule
  // is edited in place).
  virtual bool OpenAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule) = 0;

 protected:
  ~CConsoleHost() = default;
};
