#include "ui/tfwmain/eventwiring.h"

#include <windows.h>

#include <cstring>

#include "app/qeltoption.h"
#include "app/qeltutil.h"
#include "dispatch/dispatch.h"
#include "log/eventrecord.h"
#include "ui/tfweventnotifyform/tfweventnotifyform.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwmain/tfwmain.h"


struct CMainEventWiring::CImpl final : CEventWindows, CEventSettings, CEventLogSink, CProcessPathSource,
                                       CPromptHost {
  explicit CImpl(TFWMainForm& form)
      : form(form), paths(form.Driver()), dispatcher(*this, *this, *this, *this) {}

  CEventPrompt* CreateEventPrompt(const _REPORT_EVENT_HEAD& record) override {
    auto* prompt = new TFWEventNotifyForm(&form, *this);
    try {
      prompt->SetEvent(&record);
      prompt->Present();
    } catch (...) {
      // Out of windows: nothing of the half-made prompt stays behind, and the path is the
      // dispatcher's again.
      prompt->ForgetEvent();
      delete prompt;
      return nullptr;
    }
    return prompt;
  }
  void DestroyEventPrompt(CEventPrompt* prompt) override {
    delete static_cast<TFWEventNotifyForm*>(prompt);
  }
  void TakeNextPendingEvent() override { dispatcher.TakeNextPendingEvent(); }
  void RefreshAuditPage() override { form.RefreshAuditPage(); }
  void TellProblem(const char* text) override { form.TellProblemLater(text); }
  HWND PromptOwnerWindow() const override { return form.Handle(); }
  void AppendLogText(const char* text) override {
    if (form.LogFrame != nullptr) form.LogFrame->AppendLog(text);
  }
  void Beep(uint32_t type) override { MessageBeep(type); }
  void PostMainMessage(uint32_t message) override {
    if (form.Handle() != nullptr) PostMessageA(form.Handle(), message, 0, 0);
  }
  bool BeepAlert() const override { return QeltOption.BEEPALERT != 0; }
  bool RecordLog() const override { return QeltOption.RECORDLOG != 0; }
  bool Loaded() const override { return QeltUtil.Loaded() != 0; }
  void RecordLog(const char* text) override {
    QeltUtil.QeltRecordLog(QeltOption.LOGPATH.c_str(), text);
  }
  _textPtr ProcessPath(const _REPORT_EVENT_HEAD& record) override { return paths.ProcessPath(record); }

  TFWMainForm& form;
  CDriverProcessPaths paths;
  CEventDispatcher dispatcher;
};

// The log's clock follows the platform the driver link detected (UTC stamps on Win9x).
CMainEventWiring::CMainEventWiring(TFWMainForm& form) : impl_(new CImpl(form)) {}

CMainEventWiring::~CMainEventWiring() {
  // Open prompts go now, before the window that owns them; the dispatcher releases what is
  // still queued.
  const _Array<CEventPrompt*>& prompts = impl_->dispatcher.OpenPrompts();
  for (int32_t i = 0; i < prompts.Count; ++i) impl_->DestroyEventPrompt(prompts[i]);
  delete impl_;
}

void CMainEventWiring::Poll() {
  _bytePtr batch;
  uint32_t count = 0;
  if (impl_->form.Driver().ReadEvents(&batch, &count) == 0 && count != 0)
    impl_->dispatcher.DispatchEvents(batch, count);
}

void CMainEventWiring::NextEvent() { impl_->dispatcher.NextEvent(); }

void CMainEventWiring::FreeChild(void* prompt) {
  impl_->dispatcher.FreeChild(static_cast<CEventPrompt*>(prompt));
}

uint32_t CMainEventWiring::PendingCount() const {
  return static_cast<uint32_t>(impl_->dispatcher.PendingEvents().Count());
}
