#include "ui/tfwportedit/tfwportedit.h"

#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"

TFWPortEditForm::TFWPortEditForm(CComponent* owner) : CForm(owner, "FWPortEditForm") {
  SetText("输入端口号");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::OwnerCenter);
  SetClientSize(236, 88);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  PortLabel = NewControl<CLabel>(this, this, "PortLabel", 14, 20, 60, 14, "端口号:");
  PortSpinEdit = NewControl<CSpinEdit>(this, this, "PortSpinEdit", 76, 16, 146, 20);
  PortSpinEdit->SetRange(0, 65535);
  PortSpinEdit->SetValue(0);
  PortSpinEdit->OnChange = Bind(this, &TFWPortEditForm::PortSpinEditChange);
  OKBitBtn = NewControl<CGlyphButton>(this, this, "OKBitBtn", 56, 52, 76, 26, "确定");
  OKBitBtn->SetModalResult(mrOk);
  OKBitBtn->SetDefault(true);
  OKBitBtn->SetEnabled(false);
  OKBitBtn->OnClick = Bind(this, &TFWPortEditForm::OKBitBtnClick);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 146, 52, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWPortEditForm::FormCreate);
  // The keyboard starts in the entry.
  OnShow = [this](CComponent*) { PortSpinEdit->SetFocus(); };
}

void TFWPortEditForm::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  PortSpinEditChange(PortSpinEdit);  // a value given before the window existed
}

void TFWPortEditForm::SetIcmpCodeMode() {
  CheckZero = false;
  OKBitBtn->SetEnabled(true);
  PortLabel->SetText("ICMP代码:");
  SetText("输入ICMP代码");
  PortSpinEdit->SetRange(0, 15);
}

void TFWPortEditForm::PortSpinEditChange(CComponent*) {
  if (CheckZero) OKBitBtn->SetEnabled(PortSpinEdit->Value() != 0);
}

void TFWPortEditForm::OKBitBtnClick(CComponent*) {
  long typed = 0;
  if (PortSpinEdit->TypedValue(&typed) && typed >= PortSpinEdit->Min() && typed <= PortSpinEdit->Max()) return;
  PortSpinEdit->SetFocus();
  MessageDlg(this, CheckZero ? "端口号超出范围(1-65535)!" : "ICMP代码超出范围(0-15)!", "错误", kMbOk | kMbIconError);
  SetModalResult(mrNone);
}

namespace {
bool AskNumber(CComponent* owner, bool icmpCode, int* value) {
  auto* form = new TFWPortEditForm(owner);
  if (icmpCode) form->SetIcmpCodeMode();
  bool ok = form->ShowModal() == mrOk;
  int chosen = form->PortSpinEdit->Value();
  FreeComponent(form);
  if (!ok || (!icmpCode && chosen == 0)) return false;
  if (value != nullptr) *value = chosen;
  return true;
}
}  // namespace

bool InputPort(CComponent* owner, int* port) { return AskNumber(owner, false, port); }
bool InputIcmpCode(CComponent* owner, int* code) { return AskNumber(owner, true, code); }
