#include "ui/tfwinputaddrdlg/tfwinputaddrdlg.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "log/formatters.h"
#include "rules/matchvalue.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwinputportdlg/tfwinputportdlg.h"
#include "ui/tfwipedit/tfwipedit.h"

namespace {
constexpr COLORREF kAnyTextColor = RGB(0, 128, 0);


std::string PaddedAddress(uint32_t networkOrder) {
  _textPtr text = FormatAddress(networkOrder, true);
  return text.Data() != nullptr ? text.Data() : "";
}

void DeleteSelected(CListBox* list) {
  int index = list->ItemIndex();
  if (index >= 0) list->DeleteItem(index);
}
}  // namespace

TFWInputAddrDlg::TFWInputAddrDlg(CComponent* owner) : CForm(owner, "FWInputAddrDlg") {
  SetText("FWInputAddrDlg");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::ScreenCenter);
  SetClientSize(372, 196);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  boldFont_.Reset(CreatePixelFont(kConsoleFontFace, kConsoleFontPixels, true));

  AddrPageControl = NewControl<CPageControl>(this, this, "AddrPageControl", 8, 8, 356, 144);
  auto page = [this](CTabSheet** sheet, const char* name, const char* caption) {
    *sheet = new CTabSheet(this, name);
    (*sheet)->SetText(caption);
    (*sheet)->SetPageControl(AddrPageControl);
  };
  page(&AllTabSheet, "AllTabSheet", "任何地址");
  page(&SpecTabSheet, "SpecTabSheet", "指定地址");
  page(&RangTabSheet, "RangTabSheet", "地址范围");
  page(&ListTabSheet, "ListTabSheet", "地址列表");
  page(&MaskTabSheet, "MaskTabSheet", "网段设置");
  page(&LocalAddrTabSheet, "LocalAddrTabSheet", "本地地址");
  AddrPageControl->OnDrawTab = Bind(this, &TFWInputAddrDlg::AddrPageControlDrawTab);

  Label1 = NewControl<CLabel>(this, AllTabSheet, "Label1", 20, 44, 200, 16, "所有网络地址!");
  Label1->SetFont(boldFont_.Get());
  Label1->SetFontColor(kAnyTextColor);

  Label2 = NewControl<CLabel>(this, SpecTabSheet, "Label2", 20, 40, 52, 14, "IP地址:");
  IPEdit = NewControl<CEdit>(this, SpecTabSheet, "IPEdit", 76, 36, 200, 20);

  Label3 = NewControl<CLabel>(this, RangTabSheet, "Label3", 20, 26, 76, 14, "IP地址起始:");
  DownIPEdit = NewControl<CEdit>(this, RangTabSheet, "DownIPEdit", 100, 22, 180, 20);
  Label4 = NewControl<CLabel>(this, RangTabSheet, "Label4", 20, 58, 76, 14, "IP地址结束:");
  UpIPEdit = NewControl<CEdit>(this, RangTabSheet, "UpIPEdit", 100, 54, 180, 20);

  Label5 = NewControl<CLabel>(this, ListTabSheet, "Label5", 10, 6, 80, 14, "IP地址选择:");
  IPListBox = NewControl<CListBox>(this, ListTabSheet, "IPListBox", 10, 24, 250, 86);
  AddIPBtn = NewControl<CGlyphButton>(this, ListTabSheet, "AddIPBtn", 270, 24, 32, 24, "+");
  AddIPBtn->SetHint("添加IP");
  AddIPBtn->OnClick = Bind(this, &TFWInputAddrDlg::AddIPBtnClick);
  DelIPBtn = NewControl<CGlyphButton>(this, ListTabSheet, "DelIPBtn", 270, 54, 32, 24, "-");
  DelIPBtn->SetHint("删除IP");
  DelIPBtn->OnClick = Bind(this, &TFWInputAddrDlg::DelIPBtnClick);

  Label6 = NewControl<CLabel>(this, MaskTabSheet, "Label6", 20, 26, 40, 14, "地址:");
  MaskIPEdit = NewControl<CEdit>(this, MaskTabSheet, "MaskIPEdit", 64, 22, 180, 20);
  Label7 = NewControl<CLabel>(this, MaskTabSheet, "Label7", 20, 58, 40, 14, "掩码:");
  MaskEdit = NewControl<CEdit>(this, MaskTabSheet, "MaskEdit", 64, 54, 180, 20);
  MaskEdit->SetVisible(false);

  AllLocalButton = NewControl<CRadioButton>(this, LocalAddrTabSheet, "AllLocalButton", 10, 6, 130, 18, "任何本地地址");
  AllLocalButton->OnClick = Bind(this, &TFWInputAddrDlg::AllLocalButtonClick);
  SpecLocalButton = NewControl<CRadioButton>(this, LocalAddrTabSheet, "SpecLocalButton", 150, 6, 130, 18, "指定本地地址");
  SpecLocalButton->OnClick = Bind(this, &TFWInputAddrDlg::AllLocalButtonClick);
  SrcIPListBox = NewControl<CListBox>(this, LocalAddrTabSheet, "SrcIPListBox", 10, 28, 250, 82);
  AddSrcIPBtn = NewControl<CGlyphButton>(this, LocalAddrTabSheet, "AddSrcIPBtn", 270, 28, 32, 24, "+");
  AddSrcIPBtn->SetHint("添加IP");
  AddSrcIPBtn->OnClick = Bind(this, &TFWInputAddrDlg::AddSrcIPBtnClick);
  DelSrcIPBtn = NewControl<CGlyphButton>(this, LocalAddrTabSheet, "DelSrcIPBtn", 270, 58, 32, 24, "-");
  DelSrcIPBtn->SetHint("删除IP");
  DelSrcIPBtn->OnClick = Bind(this, &TFWInputAddrDlg::DelSrcIPBtnClick);
  AllLocalButton->SetChecked(true);
  AllLocalButtonClick(AllLocalButton);
  AddrPageControl->SetActivePage(AllTabSheet);

  OkBitBtn = NewControl<CGlyphButton>(this, this, "OkBitBtn", 200, 162, 76, 26, "确定");
  OkBitBtn->SetModalResult(mrOk);
  OkBitBtn->SetDefault(true);
  OkBitBtn->OnClick = Bind(this, &TFWInputAddrDlg::OkBitBtnClick);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 288, 162, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWInputAddrDlg::FormCreate);
  EnsureCreated();
}

void TFWInputAddrDlg::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  // The mask is typed into the system's four-field address control, in MaskEdit's place.
  maskFont_.Reset(CreatePixelFont(kConsoleFontFace, kConsoleFontPixels));
  IPAddressCtrl = NewControl<CIPAddress>(this, MaskTabSheet, "IPAddressCtrl", MaskEdit->Left(), MaskEdit->Top(),
                                         MaskEdit->Width(), MaskEdit->Height());
  IPAddressCtrl->SetFont(maskFont_.Get());
}

void TFWInputAddrDlg::AddrPageControlDrawTab(CComponent*, HDC Surface, int PageIndex, const RECT& Rect, bool) {
  DrawCentredTab(AddrPageControl, Font(), Surface, PageIndex, Rect);
}

void TFWInputAddrDlg::AllLocalButtonClick(CComponent*) {
  bool listed = SpecLocalButton->Checked();
  SrcIPListBox->SetEnabled(listed);
  AddSrcIPBtn->SetEnabled(listed);
  DelSrcIPBtn->SetEnabled(listed);
}

void TFWInputAddrDlg::EditAddress(_MATCH_VALUE* value, bool local) {
  if (value == nullptr) return;
  value_ = value;
  mode_ = local ? 1 : 0;
  if (local) ShowLocal(*value);
  else ShowRemote(*value);
}

void TFWInputAddrDlg::ShowLocal(const _MATCH_VALUE& v) {
  // The local page's tab first, so the control never has no tab to stand on.
  LocalAddrTabSheet->SetTabVisible(true);
  for (CTabSheet* sheet : {AllTabSheet, SpecTabSheet, RangTabSheet, ListTabSheet, MaskTabSheet})
    sheet->SetTabVisible(false);
  AddrPageControl->SetActivePage(LocalAddrTabSheet);
  SrcIPListBox->Clear();
  localRangeListed_ = false;
  const uint32_t* elements = v.Kind == MATCH_LIST ? MatchElements(v) : nullptr;
  if (v.Kind == MATCH_RANGE) {
    // Only a file holds a local range; it stays one until the user removes or replaces it.
    SpecLocalButton->SetChecked(true);
    AddListItem(SrcIPListBox, (PaddedAddress(v.Value2) + " - " + PaddedAddress(v.Value1)).c_str(), v.Value2);
    localRange_ = v;
    localRangeListed_ = true;
  } else if (v.Kind == MATCH_LIST) {
    SpecLocalButton->SetChecked(true);
    for (uint32_t i = 0; elements != nullptr && i < v.Value1; ++i)
      AddListItem(SrcIPListBox, PaddedAddress(elements[i]).c_str(), elements[i]);
  } else if (v.Kind == MATCH_SINGLE && v.Value1 != 0) {
    SpecLocalButton->SetChecked(true);
    AddListItem(SrcIPListBox, PaddedAddress(v.Value1).c_str(), v.Value1);
  } else {
    AllLocalButton->SetChecked(true);
  }
  AllLocalButtonClick(AllLocalButton);
}

void TFWInputAddrDlg::ShowRemote(const _MATCH_VALUE& v) {
  for (CTabSheet* sheet : {AllTabSheet, SpecTabSheet, RangTabSheet, ListTabSheet, MaskTabSheet})
    sheet->SetTabVisible(true);
  LocalAddrTabSheet->SetTabVisible(false);
  IPListBox->Clear();
  IPEdit->SetText("");
  UpIPEdit->SetText("");
  DownIPEdit->SetText("");
  if (v.Kind == MATCH_LIST) {
    AddrPageControl->SetActivePage(ListTabSheet);
    const uint32_t* elements = MatchElements(v);
    for (uint32_t i = 0; elements != nullptr && i < v.Value1; ++i)
      AddListItem(IPListBox, DottedAddress(elements[i]).c_str(), elements[i]);
  } else if (v.Kind == MATCH_RANGE) {
    AddrPageControl->SetActivePage(RangTabSheet);
    UpIPEdit->SetText(DottedAddress(v.Value1).c_str());
    DownIPEdit->SetText(DottedAddress(v.Value2).c_str());
  } else if (v.Kind == MATCH_SINGLE && v.Value1 == 0) {
    AddrPageControl->SetActivePage(AllTabSheet);
  } else if (v.Kind == MATCH_SINGLE) {
    AddrPageControl->SetActivePage(SpecTabSheet);
    IPEdit->SetText(DottedAddress(v.Value1).c_str());
  }
  // A value of another kind keeps the page the dialog showed.
}

void TFWInputAddrDlg::Refuse(const char* message, CControl* focus) {
  if (focus != nullptr && focus->CanFocus()) focus->SetFocus();
  MessageDlg(this, message, "错误", kMbOk | kMbIconError);
  SetModalResult(mrNone);
}

void TFWInputAddrDlg::StoreList(const CListBox* list) {
  std::vector<uint32_t> addresses;
  for (int i = 0; i < list->Count(); ++i) addresses.push_back(list->ItemValue(i));
  StoreValues(value_, addresses.data(), static_cast<uint32_t>(addresses.size()));
}

void TFWInputAddrDlg::OkBitBtnClick(CComponent*) {
  if (value_ == nullptr) return;
  if (mode_ == 1) {
    if (AllLocalButton->Checked()) return StoreValues(value_, nullptr, 0);
    if (SrcIPListBox->Count() == 0) return Refuse("本地地址未指定", AddSrcIPBtn);
    if (localRangeListed_) {
      ReleaseMatchValue(value_);
      *value_ = localRange_;
      return;
    }
    return StoreList(SrcIPListBox);
  }
  CTabSheet* page = AddrPageControl->ActivePage();
  if (page == AllTabSheet) {
    StoreValues(value_, nullptr, 0);
  } else if (page == SpecTabSheet) {
    std::string text = IPEdit->WindowText();
    uint32_t address = 0;
    if (text.empty()) return Refuse("输入IP地址为空!", IPEdit);
    if (!ResolveOne(text.c_str(), &address)) return Refuse("非法IP地址或无效域名!", IPEdit);
    // Stored, 0.0.0.0 would mean any address: far more than the one typed.
    if (address == 0) return Refuse("IP地址不能为0.0.0.0!", IPEdit);
    StoreValues(value_, &address, 1);
  } else if (page == RangTabSheet) {
    std::string up = UpIPEdit->WindowText(), down = DownIPEdit->WindowText();
    uint32_t last = 0, first = 0;
    if (up.empty() || down.empty()) return Refuse("输入IP地址为空!", down.empty() ? DownIPEdit : UpIPEdit);
    if (!ResolveOne(up.c_str(), &last)) return Refuse("非法IP地址或无效域名!", UpIPEdit);
    if (!ResolveOne(down.c_str(), &first)) return Refuse("非法IP地址或无效域名!", DownIPEdit);
    if (NetToHost32(last) < NetToHost32(first)) return Refuse("启始地址大于结束地址!", DownIPEdit);
    ReleaseMatchValue(value_);
    value_->Kind = MATCH_RANGE;
    value_->Value1 = last;
    value_->Value2 = first;
  } else if (page == ListTabSheet) {
    if (IPListBox->Count() == 0) return Refuse("IP地址列表为空", AddIPBtn);
    StoreList(IPListBox);
  } else if (page == MaskTabSheet) {
    std::string text = MaskIPEdit->WindowText();
    if (text.empty()) return Refuse("输入IP地址为空!", MaskIPEdit);
    DWORD mask = 0;
    if (SendMessageA(IPAddressCtrl->Handle(), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&mask)) < 4)
      return Refuse("输入掩码地址有错误!", IPAddressCtrl);
    if (!ContiguousMask(mask)) return Refuse("输入掩码地址有错误!", IPAddressCtrl);
    uint32_t address = 0;
    if (!ResolveOne(text.c_str(), &address)) return Refuse("非法IP地址或无效域名!", MaskIPEdit);
    // The control gives the mask with its first field most significant: host order.
    uint32_t m = mask, a = NetToHost32(address);
    ReleaseMatchValue(value_);
    value_->Kind = MATCH_RANGE;
    value_->Value2 = HostToNet32(a & m);
    value_->Value1 = HostToNet32((a & m) | ~m);
  }
}

void TFWInputAddrDlg::AddSrcIPBtnClick(CComponent*) { AddPickedLocalAddresses(this, SrcIPListBox, &localRangeListed_); }

void TFWInputAddrDlg::DelSrcIPBtnClick(CComponent*) { DeleteSelectedLocalAddress(SrcIPListBox, &localRangeListed_); }

void TFWInputAddrDlg::AddIPBtnClick(CComponent*) { AddTypedAddresses(this, IPListBox); }

void TFWInputAddrDlg::DelIPBtnClick(CComponent*) { DeleteSelected(IPListBox); }

bool EditAddressCondition(CComponent* owner, _MATCH_VALUE* value, bool local) {
  auto* dlg = new TFWInputAddrDlg(owner);
  dlg->EditAddress(value, local);
  bool ok = dlg->ShowModal() == mrOk;
  FreeComponent(dlg);
  return ok;
}
