#include "ui/tfwauditruleframe/tfwauditruleframe.h"

#include <cstdio>

#include "rules/auditrules.h"
#include "rules/caches.h"
#include "rules/loader.h"
#include "ui/framework/artwork.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"
#include "ui/framework/messages.h"
#include "ui/fwappruleadddlg/fwappruleadddlg.h"

namespace {
// Posted to the page itself: rebuild the cards once the click that failed has run its course.
constexpr UINT kMsgRebuildCards = WM_APP + 0x150;

bool SamePath(const _RKFW_AUDIT_RULE& a, const _RKFW_AUDIT_RULE& b) {
  return a.AppPath != nullptr && b.AppPath != nullptr && CompareAuditPaths(a.AppPath, b.AppPath) == 0;
}
}  // namespace

TFWAuditRuleFrame::TFWAuditRuleFrame(CComponent* owner, CConsoleHost& host)
    : CPage(owner, "FWAuditRuleFrame"), host_(host) {
  Panel1 = NewControl<CPanel>(this, this, "Panel1", 0, 0, kPageWidth, 30);
  Panel1->SetAlign(TAlign::Top);
  Panel1->SetColor(kToolBarColor);
  boldFont_.Reset(CreatePixelFont(kConsoleFontFace, kConsoleFontPixels, true));
  Label1 = NewControl<CLabel>(this, Panel1, "Label1", 10, 9, 120, 14, "应用程序审核设置");
  Label1->SetFont(boldFont_.Get());
  NewAppBtn = NewControl<CGlyphButton>(this, Panel1, "NewAppBtn", 510, 3, 24, 24);
  NewAppBtn->SetGlyph(MakeGlyph(TGlyphPicture::Audit, 16));
  NewAppBtn->SetHint("增加新的应用程序审核");
  NewAppBtn->OnClick = Bind(this, &TFWAuditRuleFrame::NewAppBtnClick);
  RuleScrollBox = NewControl<CScrollBox>(this, this, "RuleScrollBox", 0, 30, kPageWidth, kPageHeight - 30);
  RuleScrollBox->SetAlign(TAlign::Client);
}

TFWAuditRuleFrame::~TFWAuditRuleFrame() = default;  // the cards go with the page, their owner

void TFWAuditRuleFrame::PageInit() {
  BuildCards();
  loaded_ = true;
}

void TFWAuditRuleFrame::BuildCards() {
  _Array<_RKFW_AUDIT_RULE> shallow(kAuditRuleGrowStep);  // shares the cache's texts
  CopyAuditRulesFromCache(shallow, false);
  {
    CScrollBox::CUpdate hold(RuleScrollBox);
    for (const _RKFW_AUDIT_RULE& rule : shallow) AddCard(&rule);
  }
  shallow.Clear();
}

TFWAuditRuleItemFrame* TFWAuditRuleFrame::AddCard(const _RKFW_AUDIT_RULE* rule) {
  char name[64];
  snprintf(name, sizeof name, "TFWAuditRuleItemFrame%d", nameCounter_++);
  auto* card = new TFWAuditRuleItemFrame(this, *this, name);
  // In the box only with its rule and in the list of cards: a card whose windows could not
  // be made goes away whole.
  try {
    card->SetRule(rule);
    cards_.Append(card);
  } catch (...) {
    FreeComponent(card);
    throw;
  }
  try {
    card->SetParent(RuleScrollBox);
  } catch (...) {
    cards_.Remove(cards_.Count - 1);
    FreeComponent(card);
    throw;
  }
  return card;
}

bool TFWAuditRuleFrame::IsAudited(const char* path) const {
  if (path == nullptr) return false;
  for (TFWAuditRuleItemFrame* card : cards_) {
    const _RKFW_AUDIT_RULE* rule = card->Rule();
    if (rule != nullptr && rule->AppPath != nullptr && CompareAuditPaths(rule->AppPath, path) == 0)
      return true;
  }
  return false;
}

void TFWAuditRuleFrame::NewAppBtnClick(CComponent*) {
  CFileDialog open(nullptr, "OpenDialog", false);
  open.Filter = "*.exe;*.dll|*.exe;*.dll|*.*|*.*";
  open.Title = "选择需审核的应用程序";
  open.DefaultExt = "exe";
  open.FileMustExist = true;
  BeginModal();
  bool chosen = open.Execute(this);
  EndModal();
  // The spelling the rule will keep, so another spelling of a program already audited is found.
  const std::string chosenPath = FullLongPath(open.FileName.c_str());
  const char* path = chosenPath.c_str();
  if (chosen && (IsAudited(path) || (stale_ && FindCachedAuditPath(path) != nullptr))) {
    Tell(kAlreadyAuditedText);
    chosen = false;
  }
  if (chosen) {
    auto* dialog = new TFWNewAppRuleDlg(this);
    dialog->SetAppPath(path);
    BeginModal();
    bool confirmed = dialog->ShowModal() == mrOk && dialog->NewRule() != nullptr;
    EndModal();
    if (confirmed && stale_) {
      ApplyOnTopOfRulesInForce(dialog->NewRule());
    } else if (confirmed) {
      RuleScrollBox->ScrollInView(AddCard(dialog->NewRule()));
      SaveRules();
    }
    FreeComponent(dialog);
  }
  if (stale_) PostRebuild();
}

void TFWAuditRuleFrame::EndModal() {
  if (--modal_ == 0 && stale_) PostRebuild();
}

void TFWAuditRuleFrame::PostRebuild() {
  if (rebuildPosted_ || !HandleAllocated()) return;  // one rebuild does for every reason
  rebuildPosted_ = true;
  PostMessageA(Handle(), kMsgRebuildCards, 0, 0);
}

void TFWAuditRuleFrame::Tell(const char* text) {
  BeginModal();  // a message box is a dialog of the page too
  MessageDlg(this, text, "错误", kMbOk);
  EndModal();
}

bool TFWAuditRuleFrame::QueryClose() {
  if (modal_ == 0) return true;
  stale_ = true;
  return false;
}

void TFWAuditRuleFrame::CardChanged(const _RKFW_AUDIT_RULE* rule) {
  if (stale_) {
    ApplyOnTopOfRulesInForce(rule);
    PostRebuild();
  } else {
    SaveRules();
  }
}

void TFWAuditRuleFrame::ApplyOnTopOfRulesInForce(const _RKFW_AUDIT_RULE* rule) {
  uint32_t result;
  {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);  // shares the cache's and the rule's texts
    CopyAuditRulesFromCache(rules, false);
    // The card's own rule; else the rule a prompt made for the same program meanwhile, which
    // the change takes over (one rule per program: look-ups find the first).
    _RKFW_AUDIT_RULE* target = nullptr;
    for (_RKFW_AUDIT_RULE& r : rules)
      if (target == nullptr && r.RuleId == rule->RuleId && SamePath(r, *rule)) target = &r;
    for (_RKFW_AUDIT_RULE& r : rules)
      if (target == nullptr && SamePath(r, *rule)) target = &r;
    if (target != nullptr) {
      const uint32_t id = target->RuleId;
      *target = *rule;
      target->RuleId = id;
    } else {
      rules.Append(*rule);
    }
    result = ApplyAuditRules(rules);
    rules.Clear();
  }
  if (result != 0) Tell(kApplyFailedText);
}

void TFWAuditRuleFrame::SaveRules() {
  uint32_t result;
  {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);  // bitwise copies: the cards keep their texts
    for (TFWAuditRuleItemFrame* card : cards_)
      if (card->Rule() != nullptr) rules.Append(*card->Rule());
    result = ApplyAuditRules(rules);
    rules.Clear();
  }
  if (result == 0) return;
  // Without a driver nothing was applied: say so once, and show the rules in force again
  // instead of a change that would be lost at the next rebuild.
  Tell(kApplyFailedText);
  PostRebuild();
}

void TFWAuditRuleFrame::FreeCard(TFWAuditRuleItemFrame* card) {
  // Only a card of this list is destroyed: a second post for the same card (two quick
  // clicks) or one for a card a rebuild has taken away finds nothing and does nothing.
  for (int32_t i = 0; i < cards_.Count; ++i)
    if (cards_[i] == card) {
      cards_.Remove(i);
      FreeComponent(card);
      SaveRules();
      return;
    }
}

void TFWAuditRuleFrame::RebuildCards() {
  stale_ = false;
  {
    CScrollBox::CUpdate hold(RuleScrollBox);
    for (TFWAuditRuleItemFrame* card : cards_) FreeComponent(card);
    cards_.Clear();
  }
  BuildCards();
}

LRESULT TFWAuditRuleFrame::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_FREECHILD) {
    FreeCard(reinterpret_cast<TFWAuditRuleItemFrame*>(lParam));
    return 0;
  }
  if (msg == kMsgRebuildCards) {
    // Not under an open dialog: a card may be on its stack. Its EndModal posts again.
    rebuildPosted_ = false;
    if (modal_ == 0) {
      RebuildCards();
    } else {
      stale_ = true;
    }
    return 0;
  }
  return CPage::WndProc(msg, wParam, lParam);
}
