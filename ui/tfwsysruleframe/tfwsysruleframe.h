// The rule set page: the user's IP rules as a list of cards, in the order they are saved and
// loaded into the driver within each protocol. From here rules are added, opened from a rule
// file, saved to one and applied.
#pragma once
#include <windows.h>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/records.h"
#include "ui/consolehost/consolehost.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/tfwruleitemframe/tfwruleitemframe.h"

// How a save ended: the rules reached the file, the user cancelled the file dialog, or the
// file could not be written (the user has been told).
enum class TSaveResult { Saved, Cancelled, Failed };

constexpr int32_t kCardsGrowStep = 512;
constexpr const char* kCustomFileNotStoredText = "规则已保存，但无法记录为自定义级别的规则文件，下次启动时自定义级别仍使用原来的文件。";
constexpr uint32_t kRuleFilePathSize = 1024;

class TSysRuleFrame : public CPage, public CRuleCardOwner {
 public:
  TSysRuleFrame(CComponent* owner, CConsoleHost& host);
  ~TSysRuleFrame() override;
  const char* ClassName() const override { return "TSysRuleFrame"; }

  // Unsaved changes: asks whether to save them. False keeps the main window on this page.
  bool QueryClose() override;
  // The cards again from IpRuleCache, unbound, unless they show that set already (the page's
  // own save made it the custom level).
  void RulesInForceChanged() override;
  // Also enables the save button exactly when the set is modified.
  void SetModified(bool modified);
  bool IsFirstCard(TFWRuleItemFrame* card) const;
  bool IsLastCard(TFWRuleItemFrame* card) const;
  // Within the card's protocol only; the pointer follows the card's button.
  void MoveCardUp(TFWRuleItemFrame* card) override;
  void MoveCardDown(TFWRuleItemFrame* card) override;
  void CardChanged() override { SetModified(true); }
  bool EditCardRule(TFWRuleItemFrame* card, _RKFW_RULE* rule, _RKFW_RULE** created) override {
    return host_.OpenRuleEditor(card, rule, created);
  }
  HWND CardOwnerWindow() const override { return Handle(); }
  void CardProtocolChanged(TFWRuleItemFrame* card) override;
  // To the bound file, or to one the user chooses (which then becomes the custom level's
  // file, once it holds them).
  TSaveResult SaveRuleFile();
  void OpenRuleFile(const char* path);
  void ClearCards();

  void NewRuleBtnClick(CComponent* Sender);
  void SaveBitBtnClick(CComponent* Sender);
  void OpenBtnClick(CComponent* Sender);
  void ApplyBitBtnClick(CComponent* Sender);

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  CPanel* Panel3;
  CGlyphButton* NewRuleBtn;
  CGlyphButton* OpenBtn;
  CGlyphButton* SaveBitBtn;
  CButton* ApplyBitBtn;
  CScrollBox* RuleScrollBox;

  int CardCounter = 0;                        // never reset: card names stay unique
  _Array<TFWRuleItemFrame*> Cards{kCardsGrowStep};  // display order; the cards are owned as components
  bool Modified = false;
  _bufferPtr<char> CurrentRuleFile{kRuleFilePathSize};  // "" while unbound

 protected:
  // The first resize: the cards of the rules in force.
  void PageInit() override;
  void BuildCardsFromCache();

 private:
  int IndexOfCard(TFWRuleItemFrame* card) const;
  // A named card at `index` of Cards and of the scroll box, holding a deep copy of `rule`
  // (copy) or `rule` itself, which it then owns even when the card cannot be made.
  TFWRuleItemFrame* BuildCard(int index, _RKFW_RULE* rule, bool copy);
  // The first card's Up and the last card's Down are disabled, every other one enabled.
  void FixEndButtons();
  // Shallow copies of the cards' records, in card order.
  void CollectRules(_Array<_RKFW_RULE>& rules) const;
  // Applies the cards' rules; a refusal is told. True when the driver took them.
  bool ApplyRules();
  void PointAt(CControl* button);
  void SetCurrentRuleFile(const char* path);
  CConsoleHost& host_;  // the main window
};
