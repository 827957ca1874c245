#include "ui/tfwauditruleitemframe/tfwauditruleitemframe.h"

#include <cstring>
#include <string>
#include <utility>

#include "rules/auditrules.h"
#include "ui/framework/artwork.h"
#include "ui/framework/looks.h"
#include "ui/framework/messages.h"
#include "ui/tfwauditruleitemframe/stateimages.h"

namespace {
// The bits an icon compares: the protocols and whether the user is asked.
constexpr uint32_t kProtocols = AUDIT_ACCESS_IP | AUDIT_ACCESS_TCP | AUDIT_ACCESS_UDP;
constexpr uint32_t kDecisionShown = kProtocols | AUDIT_ACCESS_ASK;

// A long path keeps its file name in view; the hint shows it whole.
const CAppInfoCaptions kCaptions = {{"Label2", "Label3", "Label4", "Label1"}, {"描述:", "版本:", "公司:", "路径:"}};
const CAppInfoLayout kAppInfoLayout = {
    &kCaptions, 10, 16,
    {{52, 6, 32, 86, 6, 182, 14}, {272, 6, 32, 306, 6, 108, 14}, {52, 25, 32, 86, 25, 326, 14},
     {52, 44, 32, 86, 44, 326, 14}},
    false, true};

// The system's hand pointer, or where the system has none (Windows 95, NT 4.0) one drawn
// here: "X" black, "." white, the rest transparent; the finger's tip is the hot spot.
HCURSOR HandCursor() {
  static HCURSOR hand = [] {
    HCURSOR system = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
    if (system != nullptr) return system;
    static const char* const kHand[] = {
        "     XX         ", "    X..X        ", "    X..X        ", "    X..X        ",
        "    X..XXX      ", "    X..X..XXX   ", "    X..X..X..XX ", " XX X..X..X..X.X",
        "X..XX........X.X", "X...X..........X", " X.............X", "  X............X",
        "  X...........X ", "   X..........X ", "   X.........X  ", "    X........X  ",
        "    X........X  ", "    XXXXXXXXXX  "};
    BYTE andMask[32 * 4], xorMask[32 * 4];
    memset(andMask, 0xFF, sizeof andMask);
    memset(xorMask, 0, sizeof xorMask);
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 16; ++x) {
        char c = kHand[y][x];
        if (c == ' ') continue;
        BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
        andMask[y * 4 + x / 8] &= static_cast<BYTE>(~bit);
        if (c == '.') xorMask[y * 4 + x / 8] |= bit;
      }
    return CreateCursor(GetModuleHandleA(nullptr), 5, 0, 32, 32, andMask, xorMask);
  }();
  return hand;
}

}  // namespace

bool PermitLit(const _RKFW_AUDIT_RULE* rule) {
  return rule != nullptr && !(rule->Access & AUDIT_ACCESS_DETAILED) && (rule->Access & kDecisionShown) == AUDIT_DECISION_PERMIT;
}
bool NotifyLit(const _RKFW_AUDIT_RULE* rule) {
  return rule != nullptr && !(rule->Access & AUDIT_ACCESS_DETAILED) && (rule->Access & kDecisionShown) == AUDIT_DECISION_NOTIFY;
}
bool BlockLit(const _RKFW_AUDIT_RULE* rule) {
  return rule != nullptr && !(rule->Access & AUDIT_ACCESS_DETAILED) && (rule->Access & kProtocols) == 0;
}

TFWAuditRuleItemFrame::TFWAuditRuleItemFrame(CComponent* owner, CAuditCardOwner& page, const char* name)
    : CFrame(owner, name), page_(page) {
  // The frame paints the card's background itself: one window less per card than a panel.
  SetBounds(0, 0, kPageWidth, kAuditCardHeight);
  SetParentColor(false);
  SetColor(kCardEnabledColor);
  CreateAppInfoGroup(this, this, kAppInfoLayout);
  Bevel2 = NewControl<CBevel>(this, this, "Bevel2", 418, 6, 2, 52);
  Bevel2->SetShape(TBevelShape::LeftLine);

  PermitPaintBox = NewControl<CPaintBox>(this, this, "PermitPaintBox", 436, 8, 18, 18);
  PermitPaintBox->SetHint("允许该应用程序访问网络");
  PermitPaintBox->OnPaint = Bind(this, &TFWAuditRuleItemFrame::PermitPaintBoxPaint);
  PermitPaintBox->OnClick = Bind(this, &TFWAuditRuleItemFrame::PermitPaintBoxClick);
  NotifyPaintBox = NewControl<CPaintBox>(this, this, "NotifyPaintBox", 466, 8, 18, 18);
  NotifyPaintBox->SetHint("该应用程序访问网络时通知用户");
  NotifyPaintBox->OnPaint = Bind(this, &TFWAuditRuleItemFrame::NotifyPaintBoxPaint);
  NotifyPaintBox->OnClick = Bind(this, &TFWAuditRuleItemFrame::NotifyPaintBoxClick);
  BlockPaintBox = NewControl<CPaintBox>(this, this, "BlockPaintBox", 496, 8, 18, 18);
  BlockPaintBox->SetHint("禁止该应用程序访问网络");
  BlockPaintBox->OnPaint = Bind(this, &TFWAuditRuleItemFrame::BlockPaintBoxPaint);
  BlockPaintBox->OnClick = Bind(this, &TFWAuditRuleItemFrame::BlockPaintBoxClick);
  for (CPaintBox* box : {PermitPaintBox, NotifyPaintBox, BlockPaintBox}) box->SetCursor(HandCursor());

  OptBtn = NewControl<CGlyphButton>(this, this, "OptBtn", 426, 34, 48, 24, "选项");
  OptBtn->OnClick = Bind(this, &TFWAuditRuleItemFrame::OptBtnClick);
  DelBtn = NewControl<CGlyphButton>(this, this, "DelBtn", 476, 34, 48, 24, "删除");
  DelBtn->OnClick = Bind(this, &TFWAuditRuleItemFrame::DelBtnClick);
  Bevel1 = NewControl<CBevel>(this, this, "Bevel1", 0, kAuditCardHeight - 2, kPageWidth, 2);
  Bevel1->SetShape(TBevelShape::BottomLine);
  Bevel1->SetAlign(TAlign::Bottom);
}

TFWAuditRuleItemFrame::~TFWAuditRuleItemFrame() {
  ReleaseAuditRule(rule_);
  delete rule_;
}

void TFWAuditRuleItemFrame::Resized() {
  if (!styled_ && HandleAllocated()) {
    styled_ = true;
    // The glyphs are the process's shared ones, handed over as the flat look's picture, so
    // that the buttons own none.
    const std::pair<CGlyphButton*, TGlyphPicture> glyphs[] = {{OptBtn, TGlyphPicture::Settings},
                                                              {DelBtn, TGlyphPicture::Clear}};
    for (const auto& [button, picture] : glyphs) {
      button->ApplyFlatLook(kGlyphKeyColor);
      if (button->Handle() != nullptr)
        SendMessageA(button->Handle(), kMsgButtonGlyph, kGlyphKeyColor,
                     reinterpret_cast<LPARAM>(SharedGlyph(picture, 16)));
    }
  }
  CFrame::Resized();
}

void TFWAuditRuleItemFrame::SetRule(const _RKFW_AUDIT_RULE* rule) {
  if (rule == nullptr) return;
  auto* copy = new _RKFW_AUDIT_RULE();
  CopyAuditRule(copy, rule);
  ReleaseAuditRule(rule_);
  delete rule_;
  rule_ = copy;
  infoShown_ = false;
  // Reading the file is what a card costs: a card out of view reads it when it first shows.
  if (HandleAllocated()) ShowRuleInfo();
  RefreshIcons();
}

void TFWAuditRuleItemFrame::HandleCreated() {
  CFrame::HandleCreated();
  if (!infoShown_) ShowRuleInfo();
}

void TFWAuditRuleItemFrame::ShowRuleInfo() {
  if (rule_ == nullptr) return;
  infoShown_ = true;
  ShowProgramInfo(rule_->AppPath);
}

void TFWAuditRuleItemFrame::RefreshIcons() {
  PermitPaintBox->Invalidate();
  NotifyPaintBox->Invalidate();
  BlockPaintBox->Invalidate();
}

void TFWAuditRuleItemFrame::DrawState(HDC dc, int index, bool lit) {
  AuditStateImages().Draw(dc, lit ? index : index + 1, 0, 0);
}

void TFWAuditRuleItemFrame::PermitPaintBoxPaint(CComponent*, HDC Surface, const RECT&) {
  DrawState(Surface, kStatePermit, PermitLit(rule_));
}
void TFWAuditRuleItemFrame::NotifyPaintBoxPaint(CComponent*, HDC Surface, const RECT&) {
  DrawState(Surface, kStateNotify, NotifyLit(rule_));
}
void TFWAuditRuleItemFrame::BlockPaintBoxPaint(CComponent*, HDC Surface, const RECT&) {
  DrawState(Surface, kStateBlock, BlockLit(rule_));
}

void TFWAuditRuleItemFrame::ChangeAccess(uint32_t unchangedWhen, uint32_t clear, uint32_t set) {
  if (rule_ == nullptr || (rule_->Access & AUDIT_DECISION_MASK) == unchangedWhen) return;
  rule_->Access = (rule_->Access & ~clear) | set;
  RefreshIcons();
  page_.CardChanged(rule_);
}

// Permit and block also drop the ask-user bit; every click drops the conditions in force.
void TFWAuditRuleItemFrame::PermitPaintBoxClick(CComponent*) {
  ChangeAccess(AUDIT_DECISION_PERMIT, AUDIT_ACCESS_DETAILED | AUDIT_ACCESS_ASK, AUDIT_DECISION_PERMIT);
}
void TFWAuditRuleItemFrame::NotifyPaintBoxClick(CComponent*) {
  ChangeAccess(AUDIT_DECISION_NOTIFY, AUDIT_ACCESS_DETAILED, AUDIT_DECISION_NOTIFY);
}
void TFWAuditRuleItemFrame::BlockPaintBoxClick(CComponent*) {
  ChangeAccess(AUDIT_DECISION_BLOCK, AUDIT_DECISION_MASK, AUDIT_DECISION_BLOCK);
}

void TFWAuditRuleItemFrame::OptBtnClick(CComponent*) {
  if (rule_ == nullptr) return;
  page_.BeginModal();
  bool confirmed = page_.EditCardConditions(this, rule_);
  page_.EndModal();
  if (!confirmed) return;
  RefreshIcons();
  page_.CardChanged(rule_);
}

void TFWAuditRuleItemFrame::DelBtnClick(CComponent*) {
  // Posted: the page destroys the card after this click has run its course.
  PostMessageA(page_.CardOwnerWindow(), WM_FREECHILD, 0, reinterpret_cast<LPARAM>(this));
}
