#include "ui/tfwicmptypeform/tfwicmptypeform.h"

#include "ui/framework/looks.h"

const int kIcmpTypeNumbers[kIcmpTypeCount] = {0, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

namespace {
const char* const kIcmpTypeNames[kIcmpTypeCount] = {
    "回显应答(Ping 应答)", "目的不可到达", "源端口被关闭", "重定向", "请求回显(Ping 请求)",
    "路由器通告", "路由器请求", "超时", "参数问题", "时间戳请求", "时间戳应答", "信息请求",
    "信息应答", "地址掩码请求", "地址掩码应答"};
}  // namespace

const char* IcmpTypeName(int type) {
  for (int i = 0; i < kIcmpTypeCount; ++i)
    if (kIcmpTypeNumbers[i] == type) return kIcmpTypeNames[i];
  return nullptr;
}

TFWICMPTypeForm::TFWICMPTypeForm(CComponent* owner) : CForm(owner, "FWICMPTypeForm") {
  SetText("选择ICMP类型");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::OwnerCenter);
  SetClientSize(256, 88);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  Label1 = NewControl<CLabel>(this, this, "Label1", 14, 20, 62, 14, "ICMP类型:");
  ICMPTypeComboBox = NewControl<CComboBox>(this, this, "ICMPTypeComboBox", 78, 16, 164, 20);
  ICMPTypeComboBox->SetDropDownCount(kIcmpTypeCount);
  for (int i = 0; i < kIcmpTypeCount; ++i)
    ICMPTypeComboBox->AddItem(kIcmpTypeNames[i], static_cast<uint32_t>(kIcmpTypeNumbers[i]));
  OKBitBtn = NewControl<CGlyphButton>(this, this, "OKBitBtn", 76, 52, 76, 26, "确定");
  OKBitBtn->SetModalResult(mrOk);
  OKBitBtn->SetDefault(true);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 166, 52, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWICMPTypeForm::FormCreate);
  // The keyboard starts in the entry.
  OnShow = [this](CComponent*) { ICMPTypeComboBox->SetFocus(); };
}

void TFWICMPTypeForm::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  ICMPTypeComboBox->SetItemIndex(0);
}

bool PickIcmpType(CComponent* owner, int* type) {
  auto* form = new TFWICMPTypeForm(owner);
  bool ok = form->ShowModal() == mrOk;
  int index = form->ICMPTypeComboBox->ItemIndex();
  FreeComponent(form);
  if (!ok || index < 0 || index >= kIcmpTypeCount) return false;
  if (type != nullptr) *type = kIcmpTypeNumbers[index];
  return true;
}
