// The audit conditions dialog of one audit card: the decisions for matching and missing
// activity, which protocols and operations are audited, and the address and port conditions
// per protocol or as one set for all. It edits the card's rule in place, only on OK.
#pragma once
#include <cstdint>
#include <string>

#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWAuditRuleOptDlg : public CForm {
 public:
  // Working condition sets and the slots of each.
  enum { kTcpSet = 0, kUdpSet = 1, kIpSet = 2, kAllSet = 3 };
  enum { kLocalAddr = 0, kRemoteAddr = 1, kLocalPort = 2, kRemotePort = 3 };

  explicit TFWAuditRuleOptDlg(CComponent* owner);
  ~TFWAuditRuleOptDlg() override;
  const char* ClassName() const override { return "TFWAuditRuleOptDlg"; }

  // Keeps `rule` (not owned) and shows it; nothing for null. Call before ShowModal.
  void SetAuditRule(_RKFW_AUDIT_RULE* rule);
  // The set the four condition buttons act on: kAllSet, the checked protocol's, or -1.
  int CurrentSet() const;
  _MATCH_VALUE& Condition(int set, int slot) { return sets_[set][slot]; }

  void FormCreate(CComponent* Sender);
  void ShowConditions();
  void AllCheckBoxClick(CComponent* Sender);
  void TCPProtoBoxClick(CComponent* Sender);
  void LocalAddrBtnClick(CComponent* Sender);
  void RemoteAddrBtnClick(CComponent* Sender);
  void LocalPortBtnClick(CComponent* Sender);
  void RemotePortBtnClick(CComponent* Sender);
  void OkBitBtnClick(CComponent* Sender);

  static std::string FormatAddressCondition(const _MATCH_VALUE& value);
  static std::string FormatPortCondition(const _MATCH_VALUE& value);

  CLabel* Label1;
  CComboBox* MatchOpComboBox;  // item values: action codes
  CLabel* Label2;
  CComboBox* MissMatchOpComboBox;
  CGroupBox* TCPProtoGroupBox;
  CCheckBox* TCPProtoBox;
  CCheckBox* ConnectCheckBox;
  CCheckBox* AcceptCheckBox;
  CCheckBox* TCPSendCheckBox;
  CCheckBox* TCPRecvCheckBox;
  CGroupBox* GroupBox2;
  CCheckBox* UDPProtoBox;
  CCheckBox* BindCheckBox;
  CCheckBox* UDPSendCheckBox;
  CCheckBox* UDPRecvCheckBox;
  CGroupBox* GroupBox3;
  CCheckBox* IPProtoBox;
  CCheckBox* IPSendCheckBox;
  CCheckBox* IPRecvCheckBox;
  CGroupBox* GroupBox4;
  CCheckBox* AllCheckBox;
  CRadioButton* TCPButton;
  CRadioButton* UDPButton;
  CRadioButton* IPButton;
  CGlyphButton* LocalAddrBtn;
  CLabel* LocalAddrLabel;
  CGlyphButton* RemoteAddrBtn;
  CLabel* RemoteAddrLabel;
  CGlyphButton* LocalPortBtn;
  CLabel* LocalPortLabel;
  CGlyphButton* RemotePortBtn;
  CLabel* RemotePortLabel;
  CGlyphButton* OkBitBtn;
  CGlyphButton* CancelBitBtn;

 private:
  void EditCondition(int slot);
  _RKFW_AUDIT_RULE* rule_ = nullptr;  // the card's, not owned; written only by OK
  _MATCH_VALUE sets_[4][4] = {};      // owned, with their lists
};

// Opens the dialog on `rule`, owned by `card`; true when confirmed. The audit card's options
// button calls this.
bool EditAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule);
