#include "ui/tfwruleitemframe/tfwruleitemframe.h"

#include <commctrl.h>

#include <string>

#include "platform/heap.h"
#include "rules/iprules.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/messages.h"
#include "ui/tfwruleitemframe/ruleart.h"

void FreeRuleRecord(_RKFW_RULE* rule) {
  if (rule == nullptr) return;
  ReleaseRule(rule);
  PlatformFree(rule);
}

TFWRuleItemFrame::TFWRuleItemFrame(CComponent* owner, CRuleCardOwner& page, const char* name)
    : CFrame(owner, name), Page(page) {
  SetBounds(0, 0, kRuleCardWidth, kRuleCardHeight);
  RulePanel = NewControl<CPanel>(this, this, "RulePanel", 0, 0, kRuleCardWidth, kRuleCardHeight);
  RulePanel->SetAlign(TAlign::Client);
  RulePanel->SetBevel(TBevel::Raised);
  RulePanel->SetColor(kCardEnabledColor);

  EnableCheckBox = NewControl<CCheckBox>(this, RulePanel, "EnableCheckBox", 8, 6, 16, 16);
  EnableCheckBox->SetHint("启用或禁用该条规则");
  EnableCheckBox->SetChecked(true);
  EnableCheckBox->OnClick = Bind(this, &TFWRuleItemFrame::EnableCheckBoxClick);
  RuleDescLabel = NewControl<CLabel>(this, RulePanel, "RuleDescLabel", 30, 7, 370, 14);
  RuleDescLabel->SetWordWrap(true);
  Label2 = NewControl<CLabel>(this, RulePanel, "Label2", 30, 25, 32, 14, "协议:");
  ProtoLabel = NewControl<CLabel>(this, RulePanel, "ProtoLabel", 64, 25, 40, 14);
  Label4 = NewControl<CLabel>(this, RulePanel, "Label4", 110, 25, 32, 14, "条件:");
  ConLabel = NewControl<CLabel>(this, RulePanel, "ConLabel", 144, 25, 256, 14);
  Label5 = NewControl<CLabel>(this, RulePanel, "Label5", 30, 42, 32, 14, "动作:");
  OPPaintBox = NewControl<CPaintBox>(this, RulePanel, "OPPaintBox", 64, 40, 16, 16);
  OPPaintBox->OnPaint = Bind(this, &TFWRuleItemFrame::OPPaintBoxPaint);
  Label1 = NewControl<CLabel>(this, RulePanel, "Label1", 110, 42, 32, 14, "对象:");
  ObjectLabel = NewControl<CLabel>(this, RulePanel, "ObjectLabel", 144, 42, 256, 14);
  ObjectLabel->SetTransparent(true);

  ModifyBtn = NewControl<CGlyphButton>(this, RulePanel, "ModifyBtn", 410, 19, 22, 22);
  ModifyBtn->SetHint("修改规则");
  ModifyBtn->OnClick = Bind(this, &TFWRuleItemFrame::ModifyBtnClick);
  DeleteBtn = NewControl<CGlyphButton>(this, RulePanel, "DeleteBtn", 434, 19, 22, 22);
  DeleteBtn->SetHint("删除规则");
  DeleteBtn->OnClick = Bind(this, &TFWRuleItemFrame::DeleteBtnClick);
  UpBitBtn = NewControl<CGlyphButton>(this, RulePanel, "UpBitBtn", 458, 19, 22, 22);
  UpBitBtn->SetHint("向上移一条");
  UpBitBtn->OnClick = Bind(this, &TFWRuleItemFrame::UpBitBtnClick);
  DownBitBtn = NewControl<CGlyphButton>(this, RulePanel, "DownBitBtn", 482, 19, 22, 22);
  DownBitBtn->SetHint("向下移一条");
  DownBitBtn->OnClick = Bind(this, &TFWRuleItemFrame::DownBitBtnClick);
}

TFWRuleItemFrame::~TFWRuleItemFrame() { ReleaseHeldRule(); }

void TFWRuleItemFrame::ReleaseHeldRule() {
  FreeRuleRecord(Rule);
  Rule = nullptr;
}

void TFWRuleItemFrame::Resized() {
  if (!Initialised && Handle() != nullptr) {
    Initialised = true;
    // The glyphs are the process's shared ones, handed over as the flat look's picture, so
    // that the buttons own none.
    for (CGlyphButton* button : {ModifyBtn, DeleteBtn, UpBitBtn, DownBitBtn})
      if (button->Handle() != nullptr)
        SendMessageA(button->Handle(), kMsgButtonLayout, static_cast<WPARAM>(button->Layout()),
                     reinterpret_cast<LPARAM>(button->Font()));
    ShowRuleGlyph(ModifyBtn, TRuleGlyph::Modify);
    ShowRuleGlyph(DeleteBtn, TRuleGlyph::Delete);
    ShowRuleGlyph(UpBitBtn, TRuleGlyph::Up);
    ShowRuleGlyph(DownBitBtn, TRuleGlyph::Down);
  }
  CFrame::Resized();
}

void TFWRuleItemFrame::SetArrows(bool up, bool down) {
  // A card out of view has no windows to hand a glyph to: all four go again when they come.
  if (!HandleAllocated() && (UpBitBtn->Enabled() != up || DownBitBtn->Enabled() != down)) Initialised = false;
  if (UpBitBtn->Enabled() != up) {
    UpBitBtn->SetEnabled(up);
    if (Initialised) ShowRuleGlyph(UpBitBtn, TRuleGlyph::Up);
  }
  if (DownBitBtn->Enabled() != down) {
    DownBitBtn->SetEnabled(down);
    if (Initialised) ShowRuleGlyph(DownBitBtn, TRuleGlyph::Down);
  }
}

void TFWRuleItemFrame::SetRule(_RKFW_RULE* rule, bool copy) {
  if (rule == nullptr || rule == Rule) {
    if (rule != nullptr) ShowRule();  // adopting what it already holds: nothing to release
    return;
  }
  _RKFW_RULE* held = rule;
  if (copy) {
    held = static_cast<_RKFW_RULE*>(PlatformAlloc(sizeof(_RKFW_RULE)));
    if (held == nullptr) throw std::bad_alloc();
    CopyRule(held, rule);
  }
  ReleaseHeldRule();
  Rule = held;
  ShowRule();
}

void TFWRuleItemFrame::ShowEnabled(bool enabled) {
  EnableCheckBox->SetChecked(enabled);
  COLORREF color = enabled ? kCardEnabledColor : kCardDisabledColor;
  if (RulePanel->Color() == color) return;
  RulePanel->SetColor(color);
  // The check box and the buttons draw the panel's colour under them: they repaint too.
  if (RulePanel->Handle() != nullptr)
    RedrawWindow(RulePanel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TFWRuleItemFrame::ShowRule() {
  if (Rule == nullptr) return;
  RuleDescLabel->SetText(Rule->Name != nullptr ? Rule->Name : "");
  // An edit that took the description away takes its tool tip away too.
  RuleDescLabel->SetHint(Rule->Description != nullptr ? Rule->Description : "");
  ProtoLabel->SetText(RuleProtocolName(Rule->Protocol));
  ConLabel->SetText(RuleConditionNames(Rule->Conditions).c_str());
  ObjectLabel->SetText(RuleObjectText(*Rule).c_str());
  ShowEnabled((Rule->Options & RULE_OPT_DISABLED) == 0);
  OPPaintBox->SetHint(RuleActionName(Rule->Action));
  OPPaintBox->Invalidate();
}

void TFWRuleItemFrame::OPPaintBoxPaint(CComponent*, HDC Surface, const RECT&) {
  if (Rule == nullptr) return;
  HIMAGELIST images = RuleActionImages();
  if (images != nullptr && Rule->Action >= 0 && Rule->Action < ImageList_GetImageCount(images))
    ImageList_Draw(images, Rule->Action, Surface, 0, 1, ILD_TRANSPARENT);
}

void TFWRuleItemFrame::EnableCheckBoxClick(CComponent*) {
  if (Rule == nullptr) return;
  bool enabled = EnableCheckBox->Checked();
  if (enabled) Rule->Options &= ~static_cast<uint32_t>(RULE_OPT_DISABLED);
  else Rule->Options |= RULE_OPT_DISABLED;
  ShowEnabled(enabled);
  Page.CardChanged();
}

void TFWRuleItemFrame::ModifyBtnClick(CComponent*) {
  if (Rule == nullptr) return;
  _RKFW_RULE* created = nullptr;
  const int32_t protocol = Rule->Protocol;
  if (!Page.EditCardRule(this, Rule, &created)) return;
  // The dialog edits the card's own record; a record it made anyway is not ours to keep.
  if (created != nullptr && created != Rule) FreeRuleRecord(created);
  Page.CardChanged();
  ShowRule();
  if (Rule->Protocol != protocol) Page.CardProtocolChanged(this);
}

void TFWRuleItemFrame::DeleteBtnClick(CComponent*) {
  if (MessageDlg(this, "真的要删除该条规则吗？", "删除", kMbOkCancel) == kIdCancel) return;
  // Posted: the card must outlive its own click handler.
  if (Page.CardOwnerWindow() != nullptr)
    PostMessageA(Page.CardOwnerWindow(), WM_DELETERULECARD, 0, reinterpret_cast<LPARAM>(this));
}

void TFWRuleItemFrame::UpBitBtnClick(CComponent*) {
  Page.MoveCardUp(this);
}

void TFWRuleItemFrame::DownBitBtnClick(CComponent*) {
  Page.MoveCardDown(this);
}
