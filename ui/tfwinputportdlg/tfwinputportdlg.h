// The port condition dialog: edits one port match value of the audit conditions (any, one
// port, a range, a list). A valid OK replaces the value; Cancel or a refused OK leaves it.
#pragma once
#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWInputPortDlg : public CForm {
 public:
  explicit TFWInputPortDlg(CComponent* owner);
  const char* ClassName() const override { return "TFWInputPortDlg"; }

  // Shows `value` on its page and makes it the one OK replaces (ignored for null).
  void EditPort(_MATCH_VALUE* value);
  _MATCH_VALUE* Value() const { return value_; }

  void FormCreate(CComponent* Sender);
  void OKBitBtnClick(CComponent* Sender);
  void PortPageControlDrawTab(CComponent* Sender, HDC Surface, int PageIndex, const RECT& Rect, bool Active);
  void TCPAddSrcPortBtnClick(CComponent* Sender);
  void TCPDelSrcPortBtnClick(CComponent* Sender);

  CPageControl* PortPageControl;
  CTabSheet* AllTabSheet;
  CLabel* Label1;
  CTabSheet* SpecTabSheet;
  CLabel* Label2;
  CSpinEdit* TCPSrcPortSpinEdit;
  CTabSheet* RangeTabSheet;
  CLabel* Label3;
  CSpinEdit* StartPortEdit;
  CLabel* Label4;
  CSpinEdit* EndPortEdit;
  CTabSheet* ListTabSheet;
  CLabel* Label5;
  CListBox* TCPSrcPortListBox;  // items: "%d", the port in host order
  CGlyphButton* TCPAddSrcPortBtn;
  CGlyphButton* TCPDelSrcPortBtn;
  CGlyphButton* OKBitBtn;
  CGlyphButton* CancelBitBtn;

 private:
  void Refuse(const char* message, CControl* focus);
  _MATCH_VALUE* value_ = nullptr;  // the caller's, not owned
  CFont boldFont_;
};

// Shows the dialog owned by `owner` on `value`; true when OK replaced it.
bool EditPortCondition(CComponent* owner, _MATCH_VALUE* value);

// Shared by the two condition dialogs.
// A 16-bit port in network byte order, zero-extended, and back (low 16 bits only).
uint32_t NetworkPortValue(int hostPort);
int HostPortValue(uint32_t networkPort);
// The port typed into an entry: 0 for empty text or 0 ("no port"); -1 for text that is no
// port from 1 to 65535, which is refused rather than clamped into the range.
int TypedPort(const CSpinEdit* spin);
// Writes `values` (network order) into `value`: one as a single value, more as a new list.
void StoreValues(_MATCH_VALUE* value, const uint32_t* values, uint32_t count);
// Draws a page's caption centred in its tab.
void DrawCentredTab(CPageControl* pages, HFONT font, HDC surface, int pageIndex, const RECT& rect);
