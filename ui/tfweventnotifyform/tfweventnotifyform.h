// The prompt: what an application wants to do on the network and who it is, and the user's
// answer, once or for good. Never modal; at most one holds an undecided event at a time.
#pragma once
#include <windows.h>

#include "dispatch/dispatch.h"
#include "driver/protocol.h"
#include "ui/appinfo/appinfo.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/timer.h"

// What the prompt needs from the window that owns it.
constexpr const char* kDecisionNotKeptText = "应用规则失败!";

class CPromptHost {
 public:
  // Takes up the next queued application event (it may open the next prompt at once).
  virtual void TakeNextPendingEvent() = 0;
  // Rebuilds the audit page when it is shown.
  virtual void RefreshAuditPage() = 0;
  // Receives WM_FREECHILD with the prompt (as its CEventPrompt) in lParam.
  virtual HWND PromptOwnerWindow() const = 0;
  // A decision that could not be kept: told once the prompt's click has run its course.
  virtual void TellProblem(const char* text) = 0;

 protected:
  ~CPromptHost() = default;
};

class TFWEventNotifyForm final : public CForm, public CEventPrompt, public CAppInfoGroup {
 public:
  TFWEventNotifyForm(CComponent* owner, CPromptHost& host);
  ~TFWEventNotifyForm() override;
  const char* ClassName() const override { return "TFWEventNotifyForm"; }

  // Takes a copy of the 220 bytes and the path text the copy references (the caller's
  // record no longer owns it) and shows it; nullptr releases the held event.
  void SetEvent(const _REPORT_EVENT_HEAD* record);
  bool HoldsEvent() const override { return held_; }
  // Shows the prompt on top of every window without taking the keyboard, and flashes it.
  void Present();
  // Gives the held record back without releasing its path text, which stays the caller's
  // (a prompt that could not be shown).
  void ForgetEvent() { held_ = false; }

  void FormCreate(CComponent* Sender);
  void AuditCheckBoxClick(CComponent* Sender);
  void PermitRadioButtonClick(CComponent* Sender);
  void PermitBtnClick(CComponent* Sender);
  void BlockBtnClick(CComponent* Sender);
  void OkBitBtnClick(CComponent* Sender);
  void TopItTimerTimer(CComponent* Sender);
  void FormCloseQuery(CComponent* Sender, bool& CanClose);

  CLabel *Label1, *Label2, *OPLabel, *Label4, *ProtoLabel, *Label5, *LocalLabel, *DstLabel, *RemoteLabel;
  CGroupBox *GroupBox1, *GroupBox2;
  CCheckBox* AuditCheckBox;
  CRadioButton *PermitRadioButton, *BlockRadioButton, *NotifyRadioButton;
  CGlyphButton *PermitBtn, *BlockBtn, *OkBitBtn;
  CTimer* TopItTimer;

 private:
  void ShowEvent();
  // The verdict for this one event, then Finish. A prompt answers once.
  void Answer(uint32_t verdict);
  void Finish();
  void ReleaseEvent();
  void SetButtonGlyph(CGlyphButton* button, int picture);

  CPromptHost& host_;
  _REPORT_EVENT_HEAD event_;
  bool held_ = false;
  bool answered_ = false;
  CFont boldFont_;
};
