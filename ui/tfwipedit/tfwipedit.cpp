#include "ui/tfwipedit/tfwipedit.h"

#include <cstdint>
#include <vector>

#include "ui/addrentry/addrentry.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"

TFWIPEditForm::TFWIPEditForm(CComponent* owner) : CForm(owner, "FWIPEditForm") {
  SetText("输入IP地址");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::OwnerCenter);
  SetClientSize(276, 88);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  IPLabel = NewControl<CLabel>(this, this, "IPLabel", 14, 20, 54, 14, "IP地址: ");
  IPEdit = NewControl<CEdit>(this, this, "IPEdit", 70, 16, 192, 20);
  IPEdit->OnChange = Bind(this, &TFWIPEditForm::IPEditChange);
  OKBitBtn = NewControl<CGlyphButton>(this, this, "OKBitBtn", 96, 52, 76, 26, "确定");
  OKBitBtn->SetModalResult(mrOk);
  OKBitBtn->SetDefault(true);
  OKBitBtn->SetEnabled(false);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 186, 52, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWIPEditForm::FormCreate);
  // The keyboard starts in the entry.
  OnShow = [this](CComponent*) { IPEdit->SetFocus(); };
}

void TFWIPEditForm::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  IPEditChange(IPEdit);  // a value given before the window existed
}

void TFWIPEditForm::IPEditChange(CComponent*) { OKBitBtn->SetEnabled(!IPEdit->WindowText().empty()); }

bool InputAddressText(CComponent* owner, std::string* text) {
  auto* form = new TFWIPEditForm(owner);
  bool ok = form->ShowModal() == mrOk;
  std::string typed = form->IPEdit->WindowText();
  FreeComponent(form);
  if (!ok || typed.empty()) return false;
  if (text != nullptr) *text = typed;
  return true;
}

void AddTypedAddresses(CControl* owner, CListBox* list) {
  std::string text;
  if (!InputAddressText(owner, &text)) return;
  std::vector<uint32_t> addresses;
  if (text.empty()) {
    MessageDlg(owner, "输入IP地址为空!", "错误", kMbOk | kMbIconError);
  } else if (ResolveAll(text.c_str(), addresses) == 0) {
    MessageDlg(owner, "输入IP地址错误或无效域名!", "错误", kMbOk | kMbIconError);
  } else {
    for (uint32_t address : addresses) AddListItem(list, DottedAddress(address).c_str(), address);
  }
}
