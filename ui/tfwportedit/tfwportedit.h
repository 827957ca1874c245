// The number entry dialog: one port (1 to 65535; 0 keeps OK disabled), or, in ICMP code
// mode, one ICMP code (0 to 15).
#pragma once
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWPortEditForm : public CForm {
 public:
  explicit TFWPortEditForm(CComponent* owner);
  const char* ClassName() const override { return "TFWPortEditForm"; }

  // ICMP codes: 0 is valid, at most 15, and the texts say so. Call before showing.
  void SetIcmpCodeMode();

  void FormCreate(CComponent* Sender);
  void PortSpinEditChange(CComponent* Sender);
  // Refuses a number outside the entry's range instead of taking the nearest end of it.
  void OKBitBtnClick(CComponent* Sender);

  // While set, OK is enabled exactly when the value is not 0.
  bool CheckZero = true;

  CLabel* PortLabel;
  CSpinEdit* PortSpinEdit;
  CGlyphButton* OKBitBtn;
  CGlyphButton* CancelBitBtn;
};

// Shows the dialog owned by `owner`; true with the value after OK.
bool InputPort(CComponent* owner, int* port);      // 1 to 65535
bool InputIcmpCode(CComponent* owner, int* code);  // 0 to 15
