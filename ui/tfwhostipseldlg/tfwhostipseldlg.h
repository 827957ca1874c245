// The local address picker: the addresses this computer's host name resolves to, several of
// which may be chosen at once. When the name does not resolve the list is empty and only
// Cancel works.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWHostIPSelDlg : public CForm {
 public:
  explicit TFWHostIPSelDlg(CComponent* owner);
  const char* ClassName() const override { return "TFWHostIPSelDlg"; }

  void FormCreate(CComponent* Sender);
  void HostIPListBoxClick(CComponent* Sender);
  void HostIPListBoxKeyDown(CComponent* Sender, WORD& Key, TShiftState Shift);

  CLabel* Label1;
  CListBox* HostIPListBox;  // items: dotted text, address in network byte order
  CGlyphButton* OKBitBtn;
  CGlyphButton* CancelBitBtn;
};

struct CPickedAddress {
  std::string text;
  uint32_t address;  // network byte order
};
// Shows the picker owned by `owner`; true with the chosen items in list order after OK with
// at least one chosen.
bool PickLocalAddresses(CComponent* owner, std::vector<CPickedAddress>* picked);

// The local address list of a condition dialog, whose item 0 is a range from a rule file while
// `*rangeListed`. The picked addresses are added; they take the range's place, since a range
// and single addresses cannot make one condition.
void AddPickedLocalAddresses(CComponent* owner, CListBox* list, bool* rangeListed);
// Deletes the selected item; the range, when that is it, is no longer listed.
void DeleteSelectedLocalAddress(CListBox* list, bool* rangeListed);
