// Event dispatch: what the console does with each record of an event batch. System events and
// logged application events become log text; an application event that waits for a verdict is
// answered at once from the audit rules (also while a prompt is open) or put to the user in a
// prompt, one prompt at a time, with later events that need the user queued behind it.
//
// Portable: the windows, the settings, the companion library and the process path look-up are
// reached only through the small interfaces below, which the main window implements.
//
// Wiring in the main window (everything on the user-interface thread):
//   NotifyTimer (200 ms):  ReadEvents, then DispatchEvents(batch, count)
//   WM_NEXTEVENT:          NextEvent()
//   WM_FREECHILD (prompt): FreeChild(prompt)
//   a prompt's answer:     TakeNextPendingEvent(), then the prompt posts WM_FREECHILD
// The times in the log text follow the Windows family the console runs on (log/formatters.h).
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "base/text.h"
#include "dispatch/eventqueue.h"
#include "driver/port.h"
#include "driver/protocol.h"

#ifndef WM_FREECHILD
#define WM_FREECHILD 0x737  // lParam: a prompt to remove from OpenPrompts and destroy
#endif
#ifndef WM_NEXTEVENT
#define WM_NEXTEVENT 0x739  // take up the next queued application event
#endif

constexpr int32_t kPendingEventsGrowStep = 9;
constexpr int32_t kOpenPromptsGrowStep = 512;
constexpr uint32_t kEventBeepType = 0x30;  // the system exclamation sound

// One prompt window (TFWEventNotifyForm). It owns its copy of the record and the path text
// referenced at offset 212 of that copy, and releases both when destroyed.
class CEventPrompt {
 public:
  // True while the prompt holds an event (from creation until it is destroyed).
  virtual bool HoldsEvent() const = 0;

 protected:
  ~CEventPrompt() = default;
};

// The main window's side.
class CEventWindows {
 public:
  // Creates a prompt owned by the main window, gives it `record` and shows it without making
  // it modal. On success the prompt has taken a copy of the 220 bytes and owns the path text
  // from now on. nullptr (or a throw) when no prompt could be made: the path then stays the
  // caller's, and the event is forbidden.
  virtual CEventPrompt* CreateEventPrompt(const _REPORT_EVENT_HEAD& record) = 0;
  virtual void DestroyEventPrompt(CEventPrompt* prompt) = 0;
  // Appends the text as new lines at the end of the log page's memo.
  virtual void AppendLogText(const char* text) = 0;
  virtual void Beep(uint32_t type) = 0;
  // Posts a message with no parameters to the main window (only WM_NEXTEVENT).
  virtual void PostMainMessage(uint32_t message) = 0;

 protected:
  ~CEventWindows() = default;
};

// The two settings the dispatch reads, asked at every use so that option changes apply at once.
class CEventSettings {
 public:
  virtual bool BeepAlert() const = 0;  // "BEEPALERT" non-zero
  virtual bool RecordLog() const = 0;  // "RECORDLOG" non-zero

 protected:
  ~CEventSettings() = default;
};

// The companion library's log entry point, with the log folder filled in by the implementer.
class CEventLogSink {
 public:
  virtual bool Loaded() const = 0;
  virtual void RecordLog(const char* text) = 0;

 protected:
  ~CEventLogSink() = default;
};

// The full path of an event's process (offset 36 of the record holds its process block).
class CProcessPathSource {
 public:
  virtual _textPtr ProcessPath(const _REPORT_EVENT_HEAD& record) = 0;

 protected:
  ~CProcessPathSource() = default;
};

// The console's source: GetProcessPath on the record's process block (the driver, or the
// process-status functions by process id).
class CDriverProcessPaths final : public CProcessPathSource {
 public:
  explicit CDriverProcessPaths(CDriverPort& driver) : driver_(driver) {}
  _textPtr ProcessPath(const _REPORT_EVENT_HEAD& record) override;

 private:
  CDriverPort& driver_;
};

// Answers an application event from the cached audit rules: 0 when a rule permits or blocks
// the application outright and the verdict was sent; 13 when the user must be asked. Reads the
// kind and the path text the record references; writes the verdict into the record.
uint32_t AnswerFromAuditRules(_REPORT_EVENT_HEAD* event);

class CEventDispatcher {
 public:
  CEventDispatcher(CEventWindows& windows, const CEventSettings& settings, CEventLogSink& log,
                   CProcessPathSource& paths);
  // Releases the path texts of the queued events (they get no verdict). Open prompts are the
  // main window's children and go with it.
  ~CEventDispatcher();
  CEventDispatcher(const CEventDispatcher&) = delete;
  CEventDispatcher& operator=(const CEventDispatcher&) = delete;

  // Handles one batch in order. `count` is bounded by what the buffer holds.
  void DispatchEvents(const _REPORT_EVENT_HEAD* records, uint32_t count);
  void DispatchEvents(const _bytePtr& batch, uint32_t count);

  // Decides one application event from the audit rules or opens a prompt for it. Takes over
  // the path text referenced by `record` (the reference is cleared).
  void ShowEventPrompt(_REPORT_EVENT_HEAD& record);
  // Takes up the oldest queued event. A prompt calls it when answered (while it still holds
  // its own event, so this does not wait for other prompts).
  void TakeNextPendingEvent();
  // WM_NEXTEVENT: like TakeNextPendingEvent, but only when no prompt holds an event.
  void NextEvent();
  // WM_FREECHILD: removes the prompt from OpenPrompts and destroys it; a prompt that is not
  // listed (already removed) is left alone.
  void FreeChild(CEventPrompt* prompt);

  // The log text to the companion library, when "RECORDLOG" is set and the library is loaded.
  void LogEvent(const char* text);

  // Some open prompt still holds an event.
  bool PromptBusy() const;
  const CEventQueue& PendingEvents() const { return pending_; }
  const _Array<CEventPrompt*>& OpenPrompts() const { return prompts_; }

 private:
  void DispatchOne(const _REPORT_EVENT_HEAD& record);
  void Release(_REPORT_EVENT_HEAD& record);

  CEventWindows& windows_;
  const CEventSettings& settings_;
  CEventLogSink& log_;
  CProcessPathSource& paths_;
  CEventQueue pending_{kPendingEventsGrowStep};                 // each owns its path text
  _Array<CEventPrompt*> prompts_{kOpenPromptsGrowStep};          // in creation order
};
