#include "ui/tfwinputportdlg/tfwinputportdlg.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "platform/heap.h"
#include "rules/matchvalue.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"
#include "ui/tfwportedit/tfwportedit.h"

namespace {
constexpr COLORREF kAnyTextColor = RGB(0, 128, 0);

std::string Decimal(int n) {
  char text[16];
  snprintf(text, sizeof text, "%d", n);
  return text;
}
}  // namespace

uint32_t NetworkPortValue(int hostPort) { return HostToNet16(static_cast<uint16_t>(hostPort)); }

int HostPortValue(uint32_t networkPort) { return NetToHost16(static_cast<uint16_t>(networkPort)); }

int TypedPort(const CSpinEdit* spin) {
  long typed = 0;
  if (!spin->TypedValue(&typed)) return -1;
  if (typed == 0) return 0;
  return typed < 1 || typed > 65535 ? -1 : static_cast<int>(typed);
}

void StoreValues(_MATCH_VALUE* value, const uint32_t* values, uint32_t count) {
  uint32_t* elements = nullptr;
  if (count > 1) {
    // Allocated before the old value goes, so running out of memory leaves it whole.
    elements = static_cast<uint32_t*>(PlatformAlloc(count * 4));
    if (elements == nullptr) throw std::bad_alloc();
    for (uint32_t i = 0; i < count; ++i) elements[i] = values[i];
  }
  ReleaseMatchValue(value);
  if (count > 1) {
    value->Kind = MATCH_LIST;
    value->Value1 = count;
    value->Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements));
  } else {
    value->Kind = MATCH_SINGLE;
    value->Value1 = count == 1 ? values[0] : 0;
  }
}

void DrawCentredTab(CPageControl* pages, HFONT font, HDC surface, int pageIndex, const RECT& rect) {
  const std::string& caption = pages->Page(pageIndex)->Text();
  SIZE size{};
  HGDIOBJ old = SelectObject(surface, font);
  GetTextExtentPoint32A(surface, caption.c_str(), static_cast<int>(caption.size()), &size);
  SetBkMode(surface, TRANSPARENT);
  int x = rect.left + (rect.right - rect.left) / 2 - size.cx / 2;
  int y = rect.top + (rect.bottom - rect.top) / 2 - size.cy / 2;
  TextOutA(surface, x, y, caption.c_str(), static_cast<int>(caption.size()));
  SelectObject(surface, old);
}

TFWInputPortDlg::TFWInputPortDlg(CComponent* owner) : CForm(owner, "FWInputPortDlg") {
  SetText("FWInputPortDlg");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::ScreenCenter);
  SetClientSize(300, 182);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  boldFont_.Reset(CreatePixelFont(kConsoleFontFace, kConsoleFontPixels, true));

  PortPageControl = NewControl<CPageControl>(this, this, "PortPageControl", 8, 8, 284, 130);
  auto page = [this](CTabSheet** sheet, const char* name, const char* caption) {
    *sheet = new CTabSheet(this, name);
    (*sheet)->SetText(caption);
    (*sheet)->SetPageControl(PortPageControl);
  };
  page(&AllTabSheet, "AllTabSheet", "任何端口");
  page(&SpecTabSheet, "SpecTabSheet", "指定端口");
  page(&RangeTabSheet, "RangeTabSheet", "端口范围");
  page(&ListTabSheet, "ListTabSheet", "端口列表");
  PortPageControl->OnDrawTab = Bind(this, &TFWInputPortDlg::PortPageControlDrawTab);

  Label1 = NewControl<CLabel>(this, AllTabSheet, "Label1", 20, 36, 200, 16, "所有网络端口!");
  Label1->SetFont(boldFont_.Get());
  Label1->SetFontColor(kAnyTextColor);

  Label2 = NewControl<CLabel>(this, SpecTabSheet, "Label2", 20, 32, 40, 14, "端口:");
  TCPSrcPortSpinEdit = NewControl<CSpinEdit>(this, SpecTabSheet, "TCPSrcPortSpinEdit", 64, 28, 110, 20);
  TCPSrcPortSpinEdit->SetRange(1, 65535);
  TCPSrcPortSpinEdit->SetValue(1);

  Label3 = NewControl<CLabel>(this, RangeTabSheet, "Label3", 20, 22, 80, 14, "起始端口号:");
  StartPortEdit = NewControl<CSpinEdit>(this, RangeTabSheet, "StartPortEdit", 104, 18, 110, 20);
  StartPortEdit->SetRange(1, 65535);
  StartPortEdit->SetValue(1);
  Label4 = NewControl<CLabel>(this, RangeTabSheet, "Label4", 20, 54, 80, 14, "结束端口号:");
  EndPortEdit = NewControl<CSpinEdit>(this, RangeTabSheet, "EndPortEdit", 104, 50, 110, 20);
  EndPortEdit->SetRange(1, 65535);
  EndPortEdit->SetValue(1);

  Label5 = NewControl<CLabel>(this, ListTabSheet, "Label5", 10, 8, 80, 14, "端口列表:");
  TCPSrcPortListBox = NewControl<CListBox>(this, ListTabSheet, "TCPSrcPortListBox", 10, 26, 180, 72);
  TCPAddSrcPortBtn = NewControl<CGlyphButton>(this, ListTabSheet, "TCPAddSrcPortBtn", 198, 26, 32, 24, "+");
  TCPAddSrcPortBtn->SetHint("添加本地端口");
  TCPAddSrcPortBtn->OnClick = Bind(this, &TFWInputPortDlg::TCPAddSrcPortBtnClick);
  TCPDelSrcPortBtn = NewControl<CGlyphButton>(this, ListTabSheet, "TCPDelSrcPortBtn", 198, 56, 32, 24, "-");
  TCPDelSrcPortBtn->SetHint("删除本地端口");
  TCPDelSrcPortBtn->OnClick = Bind(this, &TFWInputPortDlg::TCPDelSrcPortBtnClick);
  PortPageControl->SetActivePage(AllTabSheet);

  OKBitBtn = NewControl<CGlyphButton>(this, this, "OKBitBtn", 128, 148, 76, 26, "确定");
  OKBitBtn->SetModalResult(mrOk);
  OKBitBtn->SetDefault(true);
  OKBitBtn->OnClick = Bind(this, &TFWInputPortDlg::OKBitBtnClick);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 214, 148, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWInputPortDlg::FormCreate);
  EnsureCreated();
}

void TFWInputPortDlg::FormCreate(CComponent*) { ApplyFlatLookToButtons(this, kGlyphKeyColor); }

void TFWInputPortDlg::PortPageControlDrawTab(CComponent*, HDC Surface, int PageIndex, const RECT& Rect, bool) {
  DrawCentredTab(PortPageControl, Font(), Surface, PageIndex, Rect);
}

void TFWInputPortDlg::EditPort(_MATCH_VALUE* value) {
  if (value == nullptr) return;
  value_ = value;
  TCPSrcPortListBox->Clear();
  const _MATCH_VALUE& v = *value;
  if (v.Kind == MATCH_SINGLE && v.Value1 == 0) {
    PortPageControl->SetActivePage(AllTabSheet);
  } else if (v.Kind == MATCH_SINGLE) {
    PortPageControl->SetActivePage(SpecTabSheet);
    TCPSrcPortSpinEdit->SetValue(HostPortValue(v.Value1));
  } else if (v.Kind == MATCH_RANGE) {
    PortPageControl->SetActivePage(RangeTabSheet);
    StartPortEdit->SetValue(HostPortValue(v.Value2));
    EndPortEdit->SetValue(HostPortValue(v.Value1));
  } else if (v.Kind == MATCH_LIST) {
    const uint32_t* elements = MatchElements(v);
    if (v.Value1 == 1 && elements != nullptr) {
      PortPageControl->SetActivePage(SpecTabSheet);
      TCPSrcPortSpinEdit->SetValue(HostPortValue(elements[0]));
    } else {
      PortPageControl->SetActivePage(ListTabSheet);
      for (uint32_t i = 0; elements != nullptr && i < v.Value1; ++i) {
        int port = HostPortValue(elements[i]);
        AddListItem(TCPSrcPortListBox, Decimal(port).c_str(), static_cast<uint32_t>(port));
      }
    }
  }
  // A value of another kind keeps the page the dialog showed.
}

void TFWInputPortDlg::Refuse(const char* message, CControl* focus) {
  if (focus != nullptr && focus->CanFocus()) focus->SetFocus();
  MessageDlg(this, message, "错误", kMbOk | kMbIconError);
  SetModalResult(mrNone);
}

void TFWInputPortDlg::OKBitBtnClick(CComponent*) {
  if (value_ == nullptr) return;
  CTabSheet* page = PortPageControl->ActivePage();
  if (page == AllTabSheet) {
    StoreValues(value_, nullptr, 0);
  } else if (page == SpecTabSheet) {
    int port = TypedPort(TCPSrcPortSpinEdit);
    if (port == 0) return Refuse("指定端口不能为零!", TCPSrcPortSpinEdit);
    if (port < 0) return Refuse("端口号超出范围(1-65535)!", TCPSrcPortSpinEdit);
    uint32_t one = NetworkPortValue(port);
    StoreValues(value_, &one, 1);
  } else if (page == RangeTabSheet) {
    int start = TypedPort(StartPortEdit), end = TypedPort(EndPortEdit);
    if (start == 0 || end == 0) return Refuse("端口号不能为零!", start == 0 ? StartPortEdit : EndPortEdit);
    if (start < 0 || end < 0) return Refuse("端口号超出范围(1-65535)!", start < 0 ? StartPortEdit : EndPortEdit);
    if (start > end) return Refuse("结束端口号大于起始端口号!", EndPortEdit);
    ReleaseMatchValue(value_);
    value_->Kind = MATCH_RANGE;
    value_->Value1 = NetworkPortValue(end);
    value_->Value2 = NetworkPortValue(start);
  } else if (page == ListTabSheet) {
    int count = TCPSrcPortListBox->Count();
    if (count == 0) return Refuse("端口列表不能为空!", TCPAddSrcPortBtn);
    std::vector<uint32_t> ports;
    for (int i = 0; i < count; ++i) ports.push_back(NetworkPortValue(static_cast<int>(TCPSrcPortListBox->ItemValue(i))));
    StoreValues(value_, ports.data(), static_cast<uint32_t>(count));
  }
}

void TFWInputPortDlg::TCPAddSrcPortBtnClick(CComponent*) {
  int port = 0;
  if (!InputPort(this, &port) || port == 0) return;
  AddListItem(TCPSrcPortListBox, Decimal(port).c_str(), static_cast<uint32_t>(port));
}

void TFWInputPortDlg::TCPDelSrcPortBtnClick(CComponent*) {
  int index = TCPSrcPortListBox->ItemIndex();
  if (index >= 0) TCPSrcPortListBox->DeleteItem(index);
}

bool EditPortCondition(CComponent* owner, _MATCH_VALUE* value) {
  auto* dlg = new TFWInputPortDlg(owner);
  dlg->EditPort(value);
  bool ok = dlg->ShowModal() == mrOk;
  FreeComponent(dlg);
  return ok;
}
