// The rule edit dialog: creates a new IP rule or edits one in place. The caller constructs
// it, optionally hands it a record with EditRule, shows it modally and, after mrOk, reads
// Rule (a new record then belongs to the caller). Cancel leaves Rule untouched.
#pragma once
#include <cstdint>

#include "rules/records.h"
#include "ui/framework/controls.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/form.h"

class TFWNewRuleDlg : public CForm {
 public:
  explicit TFWNewRuleDlg(CComponent* owner);
  const char* ClassName() const override { return "TFWNewRuleDlg"; }

  // Edits `rule` in place (ignored for null). Call before ShowModal.
  void EditRule(_RKFW_RULE* rule);

  // The target record: null for a new rule until OK allocates it; the caller owns it.
  _RKFW_RULE* Rule = nullptr;

  // The controls of one port group, one row per style: 0 any, 1 one port, 2 range, 3 list.
  struct CPortGroup {
    CComboBox* Box;
    CLabel* PortLabel;
    CSpinEdit* SpinEdit;
    CLabel* EndLabel;
    CSpinEdit* EndSpinEdit;
    CListBox* ListBox;
    CGlyphButton* AddBtn;
    CGlyphButton* DelBtn;
    const char* Side;  // "对方" or "本地", in the group's messages
  };

  void FillActionCombo();
  void LoadRule();

  // Condition groups: each reading writes one match value and returns 0 or its code; the
  // messages belong to the codes.
  uint32_t ReadRemoteAddress(_MATCH_VALUE* value);
  uint32_t ReadLocalAddress(_MATCH_VALUE* value);
  uint32_t ReadPortGroup(const CPortGroup& group, _MATCH_VALUE* value);
  uint32_t IcmpTypeMask() const;
  uint32_t IcmpCodeMask() const;
  static const char* RemoteAddressMessage(uint32_t code);
  static const char* LocalAddressMessage(uint32_t code);
  static std::string PortGroupMessage(const CPortGroup& group, uint32_t code);
  void ShowRemoteAddress(const _MATCH_VALUE& value);
  void ShowLocalAddress(const _MATCH_VALUE& value);
  void ShowPortGroup(const CPortGroup& group, const _MATCH_VALUE& value);
  void ShowIcmpMasks(uint32_t typeMask, uint32_t codeMask);

  // Handlers.
  void FormCreate(CComponent* Sender);
  void AllAppRadioButtonClick(CComponent* Sender);
  void RulePageControlChange(CComponent* Sender);
  void RulePageControlDrawTab(CComponent* Sender, HDC Surface, int PageIndex, const RECT& Rect, bool Active);
  void AppOpenBtnClick(CComponent* Sender);
  void OKBtnClick(CComponent* Sender);
  void IPStyleComboBoxChange(CComponent* Sender);
  void AddIPBtnClick(CComponent* Sender);
  void DelIPBtnClick(CComponent* Sender);
  void SrcIPCheckBoxClick(CComponent* Sender);
  void AddSrcIPBtnClick(CComponent* Sender);
  void DelSrcIPBtnClick(CComponent* Sender);
  void TCPSrcPortBoxChange(CComponent* Sender);
  void TCPDstPortBoxChange(CComponent* Sender);
  void UDPSrcPortBoxChange(CComponent* Sender);
  void UDPDstPortBoxChange(CComponent* Sender);
  void AllTypeCheckBoxClick(CComponent* Sender);
  void ICMPCodeCheckBoxClick(CComponent* Sender);
  void AddICMPTypeBtnClick(CComponent* Sender);
  void DelICMPTypeBtnClick(CComponent* Sender);
  void AddICMPCodeBtnClick(CComponent* Sender);
  void DelICMPCodeBtnClick(CComponent* Sender);

  // Description.
  CGroupBox* GroupBox1;
  CLabel* Label1;
  CEdit* RuleEdit;
  CLabel* Label2;
  CMemo* RuleDescMemo;
  // Object.
  CGroupBox* GroupBox2;
  CRadioButton* AllAppRadioButton;
  CRadioButton* SpecAppRadioButton;
  CEdit* AppEdit;
  CGlyphButton* AppOpenBtn;
  CRadioButton* SysRadioButton;
  // Operations.
  CGroupBox* GroupBox9;
  CCheckBox* SendCheckBox;
  CCheckBox* RecvCheckBox;
  CCheckBox* ConnectCheckBox;
  CCheckBox* AcceptCheckBox;
  // Action.
  CGroupBox* GroupBox10;
  CComboBox* CondComboBox;
  CLabel* Label11;
  CCheckBox* LogCheckBox;
  CCheckBox* AlertCheckBox;
  // Remote address.
  CGroupBox* GroupBox3;
  CComboBox* IPStyleComboBox;
  CLabel* AddrLabel;
  CEdit* AddrEdit;
  CLabel* MaskLabel;
  CEdit* IPMaskEdit;
  CIPAddress* IPAddressCtrl = nullptr;  // made by FormCreate in IPMaskEdit's place
  CListBox* IPListBox;
  CGlyphButton* AddIPBtn;
  CGlyphButton* DelIPBtn;
  // Local address.
  CGroupBox* GroupBox4;
  CCheckBox* SrcIPCheckBox;
  CListBox* SrcIPListBox;
  CGlyphButton* AddSrcIPBtn;
  CGlyphButton* DelSrcIPBtn;
  // Protocol pages, in page index order IP, TCP, UDP, ICMP, IGMP.
  CPageControl* RulePageControl;
  CTabSheet* IP;
  CTabSheet* TCP;
  CTabSheet* UDP;
  CTabSheet* ICMP;
  CTabSheet* IGMP;
  CGroupBox* GroupBox5;  // TCP local port
  CGroupBox* GroupBox6;  // TCP remote port
  CGroupBox* GroupBox7;  // UDP local port
  CGroupBox* GroupBox8;  // UDP remote port
  CPortGroup TCPSrcPort, TCPDstPort, UDPSrcPort, UDPDstPort;
  CComboBox *TCPSrcPortBox, *TCPDstPortBox, *UDPSrcPortBox, *UDPDstPortBox;
  CCheckBox* AllTypeCheckBox;
  CListBox* ICMPTypeListBox;
  CGlyphButton* AddICMPTypeBtn;
  CGlyphButton* DelICMPTypeBtn;
  CCheckBox* ICMPCodeCheckBox;
  CListBox* ICMPCodeListBox;
  CGlyphButton* AddICMPCodeBtn;
  CGlyphButton* DelICMPCodeBtn;
  // Buttons.
  CGlyphButton* OKBtn;
  CGlyphButton* CancelBtn;
  CFileDialog* OpenDialog1;

 private:
  CPortGroup MakePortGroup(CTabSheet* page, CGroupBox* group, const char* prefix, const char* side,
                           const char* addHint, const char* delHint);
  void PortBoxChange(const CPortGroup& group);
  void AddPort(CListBox* list);
  int ProtocolOfPage() const;
  void Fail(const char* message, CControl* focus);
  void ConfirmRule();  // OKBtnClick's work
  // The condition bits that the controls of the page in force can show.
  uint32_t ShownConditions() const;
  CFont dialogFont_;  // IPAddressCtrl's copy of the form's font
  // The entry a failed reading names, focused with its message.
  CControl* badField_ = nullptr;
  // The ICMP or IGMP page of an application rule loaded with that protocol: its tab stays, so
  // the rule keeps its protocol.
  CTabSheet* keptPage_ = nullptr;
  // A system rule's action that the system's list has no item for ("通知用户" from a file): it is
  // shown as "通行" and kept until the user chooses an action or makes it an application rule.
  int32_t keptAction_ = -1;
  // A local address range loaded from a rule: listed as one item of SrcIPListBox (index 0)
  // while it is there, and stored back as the range. A range owns no block.
  bool localRangeListed_ = false;
  _MATCH_VALUE localRange_ = {};
};

// The protocol stored for each page index (IP, TCP, UDP, ICMP, IGMP) and back.
int RuleProtocolOfPage(int pageIndex);
int RulePageOfProtocol(int protocol);

// The dialog in one call, as the rule set page and its cards open it: `rule` null asks for a
// new rule, returned in *created (the caller owns it); otherwise `rule` is edited in place.
// True on OK.
bool EditRuleInDialog(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created);
