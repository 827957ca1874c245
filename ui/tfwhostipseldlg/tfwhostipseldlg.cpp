#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"

#include "ui/addrentry/addrentry.h"
#include "ui/framework/looks.h"

TFWHostIPSelDlg::TFWHostIPSelDlg(CComponent* owner) : CForm(owner, "FWHostIPSelDlg") {
  SetText("选择本地IP 地址");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::OwnerCenter);
  SetClientSize(236, 200);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  Label1 = NewControl<CLabel>(this, this, "Label1", 12, 10, 210, 14, "选择本地IP 地址列表");
  HostIPListBox = NewControl<CListBox>(this, this, "HostIPListBox", 12, 28, 212, 124);
  HostIPListBox->SetMultiSelect(true);
  HostIPListBox->OnChange = Bind(this, &TFWHostIPSelDlg::HostIPListBoxClick);
  HostIPListBox->OnKeyDown = Bind(this, &TFWHostIPSelDlg::HostIPListBoxKeyDown);
  OKBitBtn = NewControl<CGlyphButton>(this, this, "OKBitBtn", 56, 164, 76, 26, "确定");
  OKBitBtn->SetModalResult(mrOk);
  OKBitBtn->SetDefault(true);
  OKBitBtn->SetEnabled(false);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 146, 164, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWHostIPSelDlg::FormCreate);
  OnShow = [this](CComponent*) { HostIPListBox->SetFocus(); };
}

void TFWHostIPSelDlg::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  for (uint32_t address : LocalHostAddresses()) HostIPListBox->AddItem(DottedAddress(address).c_str(), address);
}

void TFWHostIPSelDlg::HostIPListBoxClick(CComponent*) {
  OKBitBtn->SetEnabled(!HostIPListBox->SelectedIndexes().empty());
}

// A key that moves the selection is followed by the list's change notification, which
// looks again.
void TFWHostIPSelDlg::HostIPListBoxKeyDown(CComponent*, WORD&, TShiftState) { HostIPListBoxClick(HostIPListBox); }

bool PickLocalAddresses(CComponent* owner, std::vector<CPickedAddress>* picked) {
  auto* form = new TFWHostIPSelDlg(owner);
  bool ok = form->ShowModal() == mrOk;
  std::vector<CPickedAddress> chosen;
  for (int index : form->HostIPListBox->SelectedIndexes())
    chosen.push_back({form->HostIPListBox->ItemText(index), form->HostIPListBox->ItemValue(index)});
  FreeComponent(form);
  if (!ok || chosen.empty()) return false;
  if (picked != nullptr) *picked = chosen;
  return true;
}

void AddPickedLocalAddresses(CComponent* owner, CListBox* list, bool* rangeListed) {
  std::vector<CPickedAddress> picked;
  if (!PickLocalAddresses(owner, &picked)) return;
  if (*rangeListed) {
    list->DeleteItem(0);
    *rangeListed = false;
  }
  for (const CPickedAddress& p : picked) AddListItem(list, p.text.c_str(), p.address);
}

void DeleteSelectedLocalAddress(CListBox* list, bool* rangeListed) {
  int index = list->ItemIndex();
  if (index < 0) return;
  if (index == 0) *rangeListed = false;
  list->DeleteItem(index);
}
