#include "ui/tfwsysruleframe/tfwsysruleframe.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/qeltoption.h"
#include "base/result.h"
#include "rules/caches.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/messages.h"
#include "ui/tfwruleitemframe/ruleart.h"

namespace {
constexpr const char* kRuleFileFilter = "*.rul|*.rul|*.*|*.*";
constexpr const char* kRuleFileExt = "rul";  // the dialog adds the dot
constexpr int kCustomLevel = 3;

int32_t ProtocolOf(const TFWRuleItemFrame* card) { return card->Rule != nullptr ? card->Rule->Protocol : 0; }

// Rules of a protocol the driver has no group for: the file and the driver get none of them.
int32_t UnknownProtocolCount(const _Array<_RKFW_RULE>& rules) {
  int32_t count = 0;
  for (const _RKFW_RULE& rule : rules)
    if (rule.Protocol < RULE_PROTO_IP || rule.Protocol > RULE_PROTO_UDP) ++count;
  return count;
}

// Whether `rules` are other than the rules in force, compared as a file would hold them (the
// driver's image carries the texts' addresses).
// Asked whenever the rules in force change or a file is opened: the two bodies are built into
// blocks kept for it.
bool DiffersFromRulesInForce(const _Array<_RKFW_RULE>& rules) {
  static CByteBuffer mine, theirs;
  _Array<_RKFW_RULE> inForce(kIpRuleGrowStep);  // shares the cache's texts
  CopyIpRulesFromCache(inForce, false);
  bool differs = true;
  try {
    if (BuildRuleFileBody(rules, mine) == RESULT_OK && BuildRuleFileBody(inForce, theirs) == RESULT_OK)
      differs = mine.Size() != theirs.Size() || memcmp(mine.Data(), theirs.Data(), mine.Size()) != 0;
  } catch (const std::bad_alloc&) {
  }
  mine.Clear();
  theirs.Clear();
  inForce.Clear();
  return differs;
}
}  // namespace

TSysRuleFrame::TSysRuleFrame(CComponent* owner, CConsoleHost& host)
    : CPage(owner, "SysRuleFrame"), host_(host) {
  Panel3 = NewControl<CPanel>(this, this, "Panel3", 0, 0, kPageWidth, 30);
  Panel3->SetAlign(TAlign::Top);
  Panel3->SetColor(kToolBarColor);
  NewRuleBtn = NewControl<CGlyphButton>(this, Panel3, "NewRuleBtn", 8, 3, 24, 24);
  NewRuleBtn->SetGlyph(MakeRuleGlyph(TRuleGlyph::NewRule, kGlyphKeyColor));
  NewRuleBtn->SetHint("增加规则");
  NewRuleBtn->OnClick = Bind(this, &TSysRuleFrame::NewRuleBtnClick);
  OpenBtn = NewControl<CGlyphButton>(this, Panel3, "OpenBtn", 36, 3, 24, 24);
  OpenBtn->SetGlyph(MakeRuleGlyph(TRuleGlyph::Open, kGlyphKeySilver));
  OpenBtn->SetHint("打开规则库");
  OpenBtn->OnClick = Bind(this, &TSysRuleFrame::OpenBtnClick);
  SaveBitBtn = NewControl<CGlyphButton>(this, Panel3, "SaveBitBtn", 64, 3, 24, 24);
  SaveBitBtn->SetGlyph(MakeRuleGlyph(TRuleGlyph::Save, kGlyphKeySilver));
  SaveBitBtn->SetHint("保存规则");
  SaveBitBtn->SetEnabled(false);
  SaveBitBtn->OnClick = Bind(this, &TSysRuleFrame::SaveBitBtnClick);
  ApplyBitBtn = NewControl<CButton>(this, Panel3, "ApplyBitBtn", 476, 4, 60, 22, "应用");
  ApplyBitBtn->SetVisible(false);
  ApplyBitBtn->OnClick = Bind(this, &TSysRuleFrame::ApplyBitBtnClick);
  RuleScrollBox = NewControl<CScrollBox>(this, this, "RuleScrollBox", 0, 30, kPageWidth, kPageHeight - 30);
  RuleScrollBox->SetAlign(TAlign::Client);
  RuleScrollBox->SetColor(kConsoleColor);
}

TSysRuleFrame::~TSysRuleFrame() {
  // The cards go last first, and the box is not laid out again for each.
  CScrollBox::CUpdate hold(RuleScrollBox);
  for (int32_t i = Cards.Count; i-- > 0;) FreeComponent(Cards[i]);
  Cards.Clear();
}

void TSysRuleFrame::PageInit() {
  OpenBtn->ApplyFlatLook(kGlyphKeySilver);
  SaveBitBtn->ApplyFlatLook(kGlyphKeySilver);
  ShowRuleGlyph(SaveBitBtn, TRuleGlyph::Save, kGlyphKeySilver);
  BuildCardsFromCache();
}

void TSysRuleFrame::RulesInForceChanged() {
  _Array<_RKFW_RULE> shown(kIpRuleGrowStep);
  CollectRules(shown);
  const bool differs = DiffersFromRulesInForce(shown);
  shown.Clear();
  if (!differs) return;
  ClearCards();
  BuildCardsFromCache();
}

void TSysRuleFrame::BuildCardsFromCache() {
  // The cache's texts are shared, not copied: each card makes its own deep copy.
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  CopyIpRulesFromCache(rules, false);
  {
    CScrollBox::CUpdate hold(RuleScrollBox);
    for (int32_t i = 0; i < rules.Count; ++i) BuildCard(Cards.Count, &rules[i], true);
  }
  FixEndButtons();
  SetModified(false);
}

int TSysRuleFrame::IndexOfCard(TFWRuleItemFrame* card) const {
  if (card == nullptr) return -1;
  for (int32_t i = 0; i < Cards.Count; ++i)
    if (Cards[i] == card) return i;
  return -1;
}

TFWRuleItemFrame* TSysRuleFrame::BuildCard(int index, _RKFW_RULE* rule, bool copy) {
  char name[32];
  snprintf(name, sizeof name, "FWRuleItemFrame%d", CardCounter++);
  TFWRuleItemFrame* card;
  try {
    card = new TFWRuleItemFrame(this, *this, name);
  } catch (...) {
    if (!copy) FreeRuleRecord(rule);
    throw;
  }
  // The card holds its rule and is in Cards before it enters the box; a card whose windows
  // cannot be made leaves both again, so no card without a rule stays on the page.
  try {
    card->SetRule(rule, copy);
    Cards.Insert(index, card);
  } catch (...) {
    FreeComponent(card);
    throw;
  }
  try {
    // Only cards live in the scroll box, so its order of children is the order of Cards.
    CScrollBox::CUpdate hold(RuleScrollBox);
    card->SetParent(RuleScrollBox);
    RuleScrollBox->MoveChildTo(card, index);
  } catch (...) {
    Cards.Remove(index);
    FreeComponent(card);
    throw;
  }
  return card;
}

void TSysRuleFrame::FixEndButtons() {
  for (int32_t i = 0; i < Cards.Count; ++i) Cards[i]->SetArrows(i != 0, i != Cards.Count - 1);
}

bool TSysRuleFrame::QueryClose() {
  if (!Modified) return true;
  switch (MessageDlg(this, "规则已被修改，还未被保存，是否保存?", "保存", kMbYesNoCancel | kMbIconQuestion)) {
    case kIdNo:
      return true;
    case kIdYes:
      // A save that failed or was cancelled keeps the page, and with it the rules, on the screen.
      return SaveRuleFile() == TSaveResult::Saved;
    default:
      return false;  // Cancel, or a box that could not be shown
  }
}

void TSysRuleFrame::SetModified(bool modified) {
  Modified = modified;
  SaveBitBtn->SetEnabled(modified);
  if (Initialised) ShowRuleGlyph(SaveBitBtn, TRuleGlyph::Save, kGlyphKeySilver);
}

bool TSysRuleFrame::IsFirstCard(TFWRuleItemFrame* card) const {
  return Cards.Count == 0 || Cards[0] == card;
}

bool TSysRuleFrame::IsLastCard(TFWRuleItemFrame* card) const {
  return Cards.Count == 0 || Cards[Cards.Count - 1] == card;
}

void TSysRuleFrame::PointAt(CControl* button) {
  if (button->Handle() == nullptr || !IsWindowVisible(button->Handle())) return;
  RECT r;
  GetWindowRect(button->Handle(), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void TSysRuleFrame::MoveCardUp(TFWRuleItemFrame* card) {
  int i = IndexOfCard(card);
  if (i <= 0) return;
  TFWRuleItemFrame* previous = Cards[i - 1];
  if (ProtocolOf(previous) < ProtocolOf(card)) return;  // a card stays in its protocol
  Cards[i - 1] = card;
  Cards[i] = previous;
  RuleScrollBox->MoveChildTo(card, i - 1);
  FixEndButtons();
  RuleScrollBox->ScrollInView(card);
  PointAt(card->UpBitBtn);
  SetModified(true);
}

void TSysRuleFrame::MoveCardDown(TFWRuleItemFrame* card) {
  int i = IndexOfCard(card);
  if (i < 0 || i >= Cards.Count - 1) return;
  TFWRuleItemFrame* next = Cards[i + 1];
  if (ProtocolOf(next) > ProtocolOf(card)) return;
  Cards[i + 1] = card;
  Cards[i] = next;
  RuleScrollBox->MoveChildTo(card, i + 1);
  FixEndButtons();
  RuleScrollBox->ScrollInView(card);
  PointAt(card->DownBitBtn);
  SetModified(true);
}

void TSysRuleFrame::CardProtocolChanged(TFWRuleItemFrame* card) {
  int from = IndexOfCard(card);
  if (from < 0) return;
  Cards.Remove(from);
  int32_t index = Cards.Count;
  for (int32_t i = 0; i < Cards.Count; ++i)
    if (ProtocolOf(Cards[i]) > ProtocolOf(card)) {
      index = i;
      break;
    }
  Cards.Insert(index, card);  // into the place just freed: nothing to allocate
  RuleScrollBox->MoveChildTo(card, index);
  FixEndButtons();
  RuleScrollBox->ScrollInView(card);
}

void TSysRuleFrame::NewRuleBtnClick(CComponent*) {
  int32_t count = Cards.Count;
  _RKFW_RULE* created = nullptr;
  if (!host_.OpenRuleEditor(this, nullptr, &created) || created == nullptr) return;
  // After every card of an equal or smaller protocol.
  int32_t index = count;
  for (int32_t i = 0; i < count; ++i)
    if (ProtocolOf(Cards[i]) > created->Protocol) {
      index = i;
      break;
    }
  TFWRuleItemFrame* card = BuildCard(index, created, false);
  FixEndButtons();
  RuleScrollBox->ScrollInView(card);
  SetModified(true);
}

void TSysRuleFrame::CollectRules(_Array<_RKFW_RULE>& rules) const {
  for (int32_t i = 0; i < Cards.Count; ++i)
    if (Cards[i]->Rule != nullptr) rules.Append(*Cards[i]->Rule);
}

void TSysRuleFrame::SetCurrentRuleFile(const char* path) {
  snprintf(CurrentRuleFile.Data(), CurrentRuleFile.Length(), "%s", path != nullptr ? path : "");
}

TSaveResult TSysRuleFrame::SaveRuleFile() {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);  // shallow: the texts stay the cards'
  CollectRules(rules);
  if (int32_t unknown = UnknownProtocolCount(rules)) {
    char text[256];
    snprintf(text, sizeof text, "有%d条规则的协议无法识别，保存和应用时这些规则将被丢弃。是否继续保存?", unknown);
    if (MessageDlg(this, text, "保存", kMbYesNo | kMbIconWarning) != kIdYes) return TSaveResult::Cancelled;
  }
  std::string target = CurrentRuleFile.Data();
  bool chosen = target.empty();
  if (chosen) {
    CFileDialog dialog(nullptr, "SaveDialog1", true);
    dialog.Title = "保存规则文件";
    dialog.Filter = kRuleFileFilter;
    dialog.DefaultExt = kRuleFileExt;
    if (!dialog.Execute(this) || dialog.FileName.empty()) return TSaveResult::Cancelled;
    target = dialog.FileName;
  }
  if (WriteRuleFile(target.c_str(), rules) != RESULT_OK) {
    // The rules are still only here: say so, and keep them marked unsaved.
    MessageDlg(this, "保存规则文件失败!", "错误", kMbOk | kMbIconError);
    return TSaveResult::Failed;
  }
  // Only a file that holds the rules becomes the custom level's; the set saved here is the
  // custom level from now on, opened file or not, so the next start loads this same set.
  SetCurrentRuleFile(target.c_str());
  SetModified(false);
  if (WriteCustomRuleFile(target.c_str()) != 1)
    MessageDlg(this, kCustomFileNotStoredText, "错误", kMbOk | kMbIconError);
  return TSaveResult::Saved;
}

bool TSysRuleFrame::ApplyRules() {
  uint32_t result;
  {
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);  // shallow; ApplyIpRules makes the cache's own copies
    CollectRules(rules);
    result = ApplyIpRules(rules);
    rules.Clear();
  }
  if (result == RESULT_OK) return true;
  // The driver and the cache keep the set they had; the page keeps its cards.
  MessageDlg(this, "应用规则失败!", "错误", kMbOk | kMbIconError);
  return false;
}

void TSysRuleFrame::SaveBitBtnClick(CComponent*) {
  // Nothing is applied that did not reach the file: a cancelled or failed save keeps the page
  // and its edits as they are.
  if (SaveRuleFile() != TSaveResult::Saved) return;
  // The custom level: the main window reacts as to any move of its slider and loads the
  // custom level's file, which is the one just saved.
  host_.SelectSecurityLevel(kCustomLevel);
  // Refused (and told): the set in force stays, as the slider, the stored level and the
  // information page say.
  if (host_.SecurityLevel() != kCustomLevel) return;
  ApplyRules();
}

void TSysRuleFrame::ApplyBitBtnClick(CComponent*) { ApplyRules(); }

void TSysRuleFrame::OpenBtnClick(CComponent*) {
  CFileDialog dialog(nullptr, "OpenDialog1", false);
  dialog.Title = "打开规则文件";
  dialog.Filter = kRuleFileFilter;
  dialog.DefaultExt = kRuleFileExt;
  dialog.FileMustExist = true;
  if (dialog.Execute(this) && !dialog.FileName.empty()) OpenRuleFile(dialog.FileName.c_str());
}

void TSysRuleFrame::OpenRuleFile(const char* path) {
  std::string file = path != nullptr ? path : "";  // `path` may be CurrentRuleFile itself
  // The set on the page is saved first; when that fails or is cancelled it stays, and the file
  // is not opened.
  if (Modified && SaveRuleFile() != TSaveResult::Saved) return;
  ClearCards();
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  if (ReadRuleFile(file.c_str(), rules, RuleFileLookup::AsGiven) != RESULT_OK) {
    ReleaseRules(rules);
    MessageDlg(this, "打开规则库时出错!", "错误", kMbOk | kMbIconError);
    return;
  }
  try {
    CScrollBox::CUpdate hold(RuleScrollBox);
    for (int32_t i = 0; i < rules.Count; ++i) {
      BuildCard(Cards.Count, &rules[i], true);
      ReleaseRule(&rules[i]);
    }
  } catch (...) {
    ReleaseRules(rules);
    throw;
  }
  FixEndButtons();
  SetCurrentRuleFile(file.c_str());
  // A set other than the one in force can be saved and applied at once.
  _Array<_RKFW_RULE> opened(kIpRuleGrowStep);
  CollectRules(opened);
  SetModified(DiffersFromRulesInForce(opened));
  opened.Clear();
}

void TSysRuleFrame::ClearCards() {
  {
    CScrollBox::CUpdate hold(RuleScrollBox);
    for (int32_t i = Cards.Count; i-- > 0;) FreeComponent(Cards[i]);
    Cards.Clear();
    RuleScrollBox->SetScrollPos(0);
  }
  SetCurrentRuleFile("");
  SetModified(false);
}

LRESULT TSysRuleFrame::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DELETERULECARD) {
    // Only a card of this page, once: a second request for the same card finds it gone.
    auto* card = reinterpret_cast<TFWRuleItemFrame*>(lParam);
    int i = IndexOfCard(card);
    if (i < 0) return 0;
    Cards.Remove(i);
    FreeComponent(card);
    FixEndButtons();
    SetModified(true);
    return 0;
  }
  return CPage::WndProc(msg, wParam, lParam);
}
