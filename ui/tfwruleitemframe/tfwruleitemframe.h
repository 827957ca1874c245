// One card of the rule set page: the summary of one IP rule (name, protocol, conditions,
// action, object), its on/off box, and buttons to edit, delete and move it. The card owns its
// rule record. It is light: labels and the action picture are windowless, its glyphs and the
// action pictures are shared by every card, and its windows exist only once it comes into view.
#pragma once
#include <windows.h>

#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TSysRuleFrame;

constexpr int kRuleCardWidth = 527;
constexpr int kRuleCardHeight = 60;

class TFWRuleItemFrame : public CFrame {
 public:
  // `owner` is the rule set page (when it is one; otherwise the card has no page to tell).
  TFWRuleItemFrame(CComponent* owner, const char* name = nullptr);
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
  TSysRuleFrame* Page;         // the owner, not owned; nullptr when the owner is no page

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
