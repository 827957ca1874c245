// The application audit page: one card per audited program, in the order the rules are
// applied, and a button that adds a program. Every change is applied to the driver at once.
#pragma once
#include "base/array.h"
#include "ui/consolehost/consolehost.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/gdi.h"
#include "ui/tfwauditruleitemframe/tfwauditruleitemframe.h"

constexpr const char* kAlreadyAuditedText = "已经对该应用程序进行审核了!";
constexpr const char* kApplyFailedText = "应用规则失败!";
constexpr int32_t kCardListGrowStep = 512;

class TFWAuditRuleFrame : public CPage, public CAuditCardOwner {
 public:
  TFWAuditRuleFrame(CComponent* owner, CConsoleHost& host);
  ~TFWAuditRuleFrame() override;
  const char* ClassName() const override { return "TFWAuditRuleFrame"; }

  void NewAppBtnClick(CComponent* Sender);
  // Whether a card's rule has `path`, compared without regard to letter case.
  bool IsAudited(const char* path) const;
  // Applies the rules of all cards, in card order.
  void SaveRules();
  void CardChanged(const _RKFW_AUDIT_RULE* rule) override;
  void BeginModal() override { ++modal_; }
  // The last dialog closed: cards that went out of date meanwhile are built again, whether
  // or not the dialog changed anything.
  void EndModal() override;
  bool EditCardConditions(CControl* card, _RKFW_AUDIT_RULE* rule) override {
    return host_.OpenAuditConditions(card, rule);
  }
  HWND CardOwnerWindow() const override { return Handle(); }
  // Not while one of the page's dialogs is open: the page and its cards are on its stack.
  // The cards are then out of date, and the change the dialog makes goes on top of the rules
  // in force.
  bool QueryClose() override;

  int CardCount() const { return cards_.Count; }
  TFWAuditRuleItemFrame* Card(int index) const { return cards_.Items[index]; }
  bool Loaded() const { return loaded_; }

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  CPanel* Panel1;
  CLabel* Label1;
  CGlyphButton* NewAppBtn;
  CScrollBox* RuleScrollBox;

 protected:
  // FrameResize, first call: the cards of the rules in force.
  void PageInit() override;

 private:
  void BuildCards();
  TFWAuditRuleItemFrame* AddCard(const _RKFW_AUDIT_RULE* rule);
  void FreeCard(TFWAuditRuleItemFrame* card);
  // After a change the driver did not take: the cards again from the rules in force.
  void RebuildCards();
  void PostRebuild();
  // A message box with the caption "错误".
  void Tell(const char* text);
  // Applies the rules in force with `rule` in place of its own (or of the rule for its program,
  // keeping that rule's identifier, or added), then shows them.
  void ApplyOnTopOfRulesInForce(const _RKFW_AUDIT_RULE* rule);

  bool loaded_ = false;
  int modal_ = 0;       // dialogs of the page open now
  bool stale_ = false;  // the rules in force changed while a dialog was open
  bool rebuildPosted_ = false;
  _Array<TFWAuditRuleItemFrame*> cards_{kCardListGrowStep};  // owned through the page
  int32_t nameCounter_ = 0;  // never reused, so card names stay unique
  CFont boldFont_;
  CConsoleHost& host_;  // the main window
};
