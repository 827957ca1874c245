// The address condition dialog: edits one address match value of the audit conditions. In
// local mode it offers only this computer's own addresses; in remote mode any address, one
// address or host name, a range, a list, or a subnet (stored as its range). A valid OK
// replaces the value; Cancel or a refused OK leaves it.
#pragma once
#include <cstdint>

#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWInputAddrDlg : public CForm {
 public:
  explicit TFWInputAddrDlg(CComponent* owner);
  const char* ClassName() const override { return "TFWInputAddrDlg"; }

  // Shows `value` and makes it the one OK replaces (ignored for null); `local` picks the mode.
  void EditAddress(_MATCH_VALUE* value, bool local);
  _MATCH_VALUE* Value() const { return value_; }
  bool LocalMode() const { return mode_ == 1; }

  void FormCreate(CComponent* Sender);
  void OkBitBtnClick(CComponent* Sender);
  void AddrPageControlDrawTab(CComponent* Sender, HDC Surface, int PageIndex, const RECT& Rect, bool Active);
  void AllLocalButtonClick(CComponent* Sender);
  void AddSrcIPBtnClick(CComponent* Sender);
  void DelSrcIPBtnClick(CComponent* Sender);
  void AddIPBtnClick(CComponent* Sender);
  void DelIPBtnClick(CComponent* Sender);

  CPageControl* AddrPageControl;
  CTabSheet* AllTabSheet;
  CLabel* Label1;
  CTabSheet* SpecTabSheet;
  CLabel* Label2;
  CEdit* IPEdit;
  CTabSheet* RangTabSheet;
  CLabel* Label3;
  CEdit* DownIPEdit;
  CLabel* Label4;
  CEdit* UpIPEdit;
  CTabSheet* ListTabSheet;
  CLabel* Label5;
  CListBox* IPListBox;  // items: dotted text, address in network byte order
  CGlyphButton* AddIPBtn;
  CGlyphButton* DelIPBtn;
  CTabSheet* MaskTabSheet;
  CLabel* Label6;
  CEdit* MaskIPEdit;
  CLabel* Label7;
  CEdit* MaskEdit;                      // hidden: marks where the mask entry stands
  CIPAddress* IPAddressCtrl = nullptr;  // the mask entry, made by FormCreate
  CTabSheet* LocalAddrTabSheet;
  CRadioButton* AllLocalButton;
  CRadioButton* SpecLocalButton;
  CListBox* SrcIPListBox;  // items: padded dotted text, address in network byte order
  CGlyphButton* AddSrcIPBtn;
  CGlyphButton* DelSrcIPBtn;
  CGlyphButton* OkBitBtn;
  CGlyphButton* CancelBitBtn;

 private:
  void ShowLocal(const _MATCH_VALUE& value);
  void ShowRemote(const _MATCH_VALUE& value);
  void StoreList(const CListBox* list);
  void Refuse(const char* message, CControl* focus);
  _MATCH_VALUE* value_ = nullptr;  // the caller's, not owned
  uint8_t mode_ = 0;               // 1 local, 0 remote
  // A local range from the file: SrcIPListBox's item 0 while it is there, stored back whole.
  bool localRangeListed_ = false;
  _MATCH_VALUE localRange_ = {};
  CFont boldFont_;
  CFont maskFont_;  // IPAddressCtrl's copy of the form's font
};

// Shows the dialog owned by `owner` on `value`; true when OK replaced it.
bool EditAddressCondition(CComponent* owner, _MATCH_VALUE* value, bool local);
