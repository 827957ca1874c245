// One card of the application audit page: what the program's file says about itself, its
// path, the three state icons (permit, notify, block) that set the rule's decision with one
// click, and the options and delete buttons. The card owns a deep copy of its rule.
#pragma once
#include <cstdint>

#include "rules/records.h"
#include "ui/appinfo/appinfo.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

// What a card needs of the page that holds it: the page applies every change at once.
class CAuditCardOwner {
 public:
  // A card's rule changed: apply it.
  virtual void CardChanged(const _RKFW_AUDIT_RULE* rule) = 0;
  // Around a card's modal dialog, while which the page must not go.
  virtual void BeginModal() = 0;
  virtual void EndModal() = 0;
  // The audit conditions dialog for the card's rule, owned by `card`; true when confirmed
  // (the dialog edits the rule in place).
  virtual bool EditCardConditions(CControl* card, _RKFW_AUDIT_RULE* rule) = 0;
  // The window that WM_FREECHILD is posted to.
  virtual HWND CardOwnerWindow() const = 0;

 protected:
  ~CAuditCardOwner() = default;
};

// Which icons a rule lights (a rule with its own conditions lights none).
bool PermitLit(const _RKFW_AUDIT_RULE* rule);
bool NotifyLit(const _RKFW_AUDIT_RULE* rule);
bool BlockLit(const _RKFW_AUDIT_RULE* rule);

constexpr int kAuditCardHeight = 64;

class TFWAuditRuleItemFrame : public CFrame, public CAppInfoGroup {
 public:
  // `page` is told what the card's icons and buttons ask for; usually it is `owner` too.
  TFWAuditRuleItemFrame(CComponent* owner, CAuditCardOwner& page, const char* name);
  ~TFWAuditRuleItemFrame() override;
  const char* ClassName() const override { return "TFWAuditRuleItemFrame"; }

  // Takes a deep copy of `rule` (nullptr: nothing happens) and shows it; what the program's
  // file says is read once the card has its window, that is when it first comes into view.
  void SetRule(const _RKFW_AUDIT_RULE* rule);
  const _RKFW_AUDIT_RULE* Rule() const { return rule_; }
  void ShowRuleInfo();
  void RefreshIcons();

  void PermitPaintBoxPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void NotifyPaintBoxPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void BlockPaintBoxPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void PermitPaintBoxClick(CComponent* Sender);
  void NotifyPaintBoxClick(CComponent* Sender);
  void BlockPaintBoxClick(CComponent* Sender);
  void OptBtnClick(CComponent* Sender);
  void DelBtnClick(CComponent* Sender);

  CPaintBox *PermitPaintBox, *NotifyPaintBox, *BlockPaintBox;
  CGlyphButton *OptBtn, *DelBtn;
  CBevel *Bevel1, *Bevel2;

 protected:
  // FrameResize: the two buttons get the console's flat look once their windows exist.
  void Resized() override;
  void HandleCreated() override;

 private:
  // Sets Access to `(Access & ~clear) | set` and applies, unless the icon is lit already.
  void ChangeAccess(uint32_t unchangedWhen, uint32_t clear, uint32_t set);
  void DrawState(HDC dc, int index, bool lit);
  _RKFW_AUDIT_RULE* rule_ = nullptr;  // owned, with its texts and lists
  bool styled_ = false;
  bool infoShown_ = false;  // the labels and icon show the file of the rule now held
  CAuditCardOwner& page_;             // the page, not owned
};
