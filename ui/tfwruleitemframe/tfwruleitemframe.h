// One card of the rule set page: the summary of one IP rule (name, protocol, conditions,
// action, object), its on/off box, and buttons to edit, delete and move it. The card owns its
// rule record. It is light: labels and the action picture are windowless, its glyphs and the
// action pictures are shared by every card, and its windows exist only once it comes into view.
#pragma once
#include <windows.h>

#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWRuleItemFrame;

constexpr int kRuleCardWidth = 527;
constexpr int kRuleCardHeight = 60;

// What a card needs of the page that holds it: the page keeps the order of the cards and
// whether the set is saved.
class CRuleCardOwner {
 public:
  // A card's rule changed (switched on or off, edited): the set is no longer saved.
  virtual void CardChanged() = 0;
  // Within the card's protocol only.
  virtual void MoveCardUp(TFWRuleItemFrame* card) = 0;
  virtual void MoveCardDown(TFWRuleItemFrame* card) = 0;
  // The rule edit dialog for the card's rule, owned by `card` (rules as
  // CConsoleHost::OpenRuleEditor); true on OK.
  virtual bool EditCardRule(TFWRuleItemFrame* card, _RKFW_RULE* rule, _RKFW_RULE** created) = 0;
  // An edit gave the card's rule another protocol: the card goes to the end of that
  // protocol's cards, where a rule of it added now would go, so the order matched stays the
  // order shown.
  virtual void CardProtocolChanged(TFWRuleItemFrame* card) = 0;
  // The window that WM_DELETERULECARD is posted to.
  virtual HWND CardOwnerWindow() const = 0;

 protected:
  ~CRuleCardOwner() = default;
};

class TFWRuleItemFrame : public CFrame {
 public:
  // `page` is told what the card's buttons ask for; usually it is `owner` too.
  TFWRuleItemFrame(CComponent* owner, CRuleCardOwner& page, const char* name = nullptr);
  ~TFWRuleItemFrame() override;
  const char* ClassName() const override { return "TFWRuleItemFrame"; }

  // Null does nothing. Otherwise releases the held rule, then holds a deep copy of `rule`
  // (copy) or `rule` itself (the card then owns it and releases it once), and shows it.
  void SetRule(_RKFW_RULE* rule, bool copy);
  void ShowRule();
  // Enables or disables the Up and Down buttons, their pictures greyed to match.
  void SetArrows(bool up, bool down);

  void EnableCheckBoxClick(CComponent* Sender);
  void OPPaintBoxPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void ModifyBtnClick(CComponent* Sender);
  void DeleteBtnClick(CComponent* Sender);
  void UpBitBtnClick(CComponent* Sender);
  void DownBitBtnClick(CComponent* Sender);

  CPanel* RulePanel;
  CCheckBox* EnableCheckBox;
  CLabel* RuleDescLabel;
  CLabel* Label2;
  CLabel* ProtoLabel;
  CLabel* Label4;
  CLabel* ConLabel;
  CLabel* Label5;
  CPaintBox* OPPaintBox;
  CLabel* Label1;
  CLabel* ObjectLabel;
  CGlyphButton* ModifyBtn;
  CGlyphButton* DeleteBtn;
  CGlyphButton* UpBitBtn;
  CGlyphButton* DownBitBtn;

  _RKFW_RULE* Rule = nullptr;  // owned: released (heap parts, then the record) once
  CRuleCardOwner& Page;        // the page, not owned

 protected:
  // The first time the card has windows, its buttons get the flat look and the shared glyphs.
  void Resized() override;

 private:
  void ReleaseHeldRule();
  void ShowEnabled(bool enabled);
  bool Initialised = false;
};

// Releases a rule record the way the cards do: its heap parts, then the record.
void FreeRuleRecord(_RKFW_RULE* rule);
