// The address entry dialog: one remote address or host name, as text. It does not check the
// text; the caller resolves it and reports a bad one.
#pragma once
#include <string>

#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWIPEditForm : public CForm {
 public:
  explicit TFWIPEditForm(CComponent* owner);
  const char* ClassName() const override { return "TFWIPEditForm"; }

  void FormCreate(CComponent* Sender);
  void IPEditChange(CComponent* Sender);

  CLabel* IPLabel;
  CEdit* IPEdit;
  CGlyphButton* OKBitBtn;
  CGlyphButton* CancelBitBtn;
};

// Shows the dialog owned by `owner`; true with the typed text (never empty) after OK.
bool InputAddressText(CComponent* owner, std::string* text);
// The dialog, then every address the typed text names added to `list` (each once); text that
// names none is told in a message box.
void AddTypedAddresses(CControl* owner, CListBox* list);
