// The ICMP type picker, and the names of the ICMP types.
#pragma once
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

// The named types in ascending order; item i of the picker stands for kIcmpTypeNumbers[i].
constexpr int kIcmpTypeCount = 15;
extern const int kIcmpTypeNumbers[kIcmpTypeCount];
// The name of ICMP type `type`, or nullptr for a type without one (1, 2, 6, 7, above 18).
const char* IcmpTypeName(int type);

class TFWICMPTypeForm : public CForm {
 public:
  explicit TFWICMPTypeForm(CComponent* owner);
  const char* ClassName() const override { return "TFWICMPTypeForm"; }

  void FormCreate(CComponent* Sender);

  CLabel* Label1;
  CComboBox* ICMPTypeComboBox;  // item values are the type numbers
  CGlyphButton* OKBitBtn;
  CGlyphButton* CancelBitBtn;
};

// Shows the picker owned by `owner`; true with the chosen type number after OK.
bool PickIcmpType(CComponent* owner, int* type);
