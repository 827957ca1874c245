#include "dispatch/dispatch.h"

#include <cstring>
#include <new>

#include "base/result.h"
#include "log/eventlog.h"
#include "log/eventrecord.h"
#include "rules/caches.h"
#include "rules/ruleport.h"

uint32_t AnswerFromAuditRules(_REPORT_EVENT_HEAD* event) {
  if (event == nullptr || EventKind(*event) != EVENT_KIND_APP_ASK || !EventHasPath(*event))
    return RESULT_NO_AUTO_VERDICT;
  // An unknown program (no full path) is never decided by a rule, even one an older console
  // stored for such a text: it is asked about.
  const char* path = EventPathText(*event);
  if (!IsFullProgramPath(path)) return RESULT_NO_AUTO_VERDICT;
  _RKFW_AUDIT_RULE* rule = FindCachedAuditPath(path);
  if (rule == nullptr) return RESULT_NO_AUTO_VERDICT;
  uint32_t decision = rule->Access & AUDIT_DECISION_MASK;
  if (decision != AUDIT_DECISION_PERMIT && decision != AUDIT_DECISION_BLOCK) return RESULT_NO_AUTO_VERDICT;
  SetEventVerdict(*event, decision == AUDIT_DECISION_PERMIT ? RKFW_VERDICT_PERMIT : RKFW_VERDICT_BLOCK);
  RulePort().SendVerdict(event);
  return RESULT_OK;
}

_textPtr CDriverProcessPaths::ProcessPath(const _REPORT_EVENT_HEAD& record) {
  _textPtr path;
  driver_.GetProcessPath(reinterpret_cast<const ProcessBlock*>(EventProcessBlock(record)), &path);
  return path;
}

CEventDispatcher::CEventDispatcher(CEventWindows& windows, const CEventSettings& settings,
                                   CEventLogSink& log, CProcessPathSource& paths)
    : windows_(windows), settings_(settings), log_(log), paths_(paths) {}

CEventDispatcher::~CEventDispatcher() {
  _REPORT_EVENT_HEAD record;
  while (pending_.TakeFirst(&record)) ReleaseEventPath(record);
}

void CEventDispatcher::Release(_REPORT_EVENT_HEAD& record) { ReleaseEventPath(record); }

void CEventDispatcher::DispatchEvents(const _REPORT_EVENT_HEAD* records, uint32_t count) {
  if (records == nullptr) return;
  // One record that fails (no memory, no window) must not leave the rest of the batch
  // without their verdicts and log lines.
  for (uint32_t i = 0; i < count; ++i) {
    try {
      DispatchOne(records[i]);
    } catch (...) {
    }
  }
}

void CEventDispatcher::DispatchEvents(const _bytePtr& batch, uint32_t count) {
  uint32_t held = batch.Length() / kEventRecordSize;
  if (count > held) count = held;
  DispatchEvents(reinterpret_cast<const _REPORT_EVENT_HEAD*>(batch.Data()), count);
}

void CEventDispatcher::DispatchOne(const _REPORT_EVENT_HEAD& record) {
  if (EventKind(record) == EVENT_KIND_APP_ASK) {
    _textPtr path = paths_.ProcessPath(record);
    _REPORT_EVENT_HEAD copy;
    memcpy(&copy, &record, sizeof copy);
    // Whatever the driver left at 212 is not ours; the copy references only our own text.
    AttachEventPath(copy, NewEventPathText(path.Valid() ? path.Data() : ""));
    if (PromptBusy()) {
      // A program its rule decides is answered now: it must not wait behind a question to
      // the user about another program.
      if (AnswerFromAuditRules(&copy) == 0) {
        Release(copy);
        return;
      }
      try {
        pending_.Append(copy);
      } catch (const std::bad_alloc&) {
        Release(copy);  // left undecided for the driver; nothing leaks
      }
    } else {
      ShowEventPrompt(copy);
    }
    return;
  }
  if (settings_.BeepAlert()) windows_.Beep(kEventBeepType);
  _textPtr text = BuildEventLogText(record);
  windows_.AppendLogText(text.Data());
  LogEvent(text.Data());
}

void CEventDispatcher::ShowEventPrompt(_REPORT_EVENT_HEAD& record) {
  if (AnswerFromAuditRules(&record) == 0) {
    Release(record);
    windows_.PostMainMessage(WM_NEXTEVENT);
    return;
  }
  CEventPrompt* prompt = nullptr;
  try {
    prompt = windows_.CreateEventPrompt(record);
  } catch (...) {
    prompt = nullptr;
  }
  if (prompt == nullptr) {
    // No window to ask the user in: the event is forbidden, as a prompt closed unanswered
    // forbids it, and the queue must not stall behind it.
    SetEventVerdict(record, RKFW_VERDICT_BLOCK);
    RulePort().SendVerdict(&record);
    Release(record);
    windows_.PostMainMessage(WM_NEXTEVENT);
    return;
  }
  AttachEventPath(record, nullptr);  // the prompt owns the text now
  try {
    prompts_.Append(prompt);
  } catch (...) {
    // Unlisted, the prompt could never be removed: it goes, and the event is forbidden.
    windows_.DestroyEventPrompt(prompt);
    SetEventVerdict(record, RKFW_VERDICT_BLOCK);
    RulePort().SendVerdict(&record);
    windows_.PostMainMessage(WM_NEXTEVENT);
  }
}

void CEventDispatcher::TakeNextPendingEvent() {
  // Out of the queue first: the queue may change while the prompt is being created.
  _REPORT_EVENT_HEAD next;
  if (pending_.TakeFirst(&next)) ShowEventPrompt(next);
}

void CEventDispatcher::NextEvent() {
  // An automatic verdict posts WM_NEXTEVENT even when it was not taken from the queue; while a
  // prompt holds an event, its answer (or its removal) takes up the queue instead.
  if (PromptBusy()) return;
  TakeNextPendingEvent();
}

void CEventDispatcher::FreeChild(CEventPrompt* prompt) {
  if (prompt == nullptr) return;
  for (int32_t i = 0; i < prompts_.Count; ++i) {
    if (prompts_[i] != prompt) continue;
    prompts_.Remove(i);
    windows_.DestroyEventPrompt(prompt);
    // A WM_NEXTEVENT that came while this prompt still held its answered event was set aside.
    if (!PromptBusy() && !pending_.Empty()) windows_.PostMainMessage(WM_NEXTEVENT);
    return;
  }
}

void CEventDispatcher::LogEvent(const char* text) {
  if (settings_.RecordLog() && log_.Loaded()) log_.RecordLog(text);
}

bool CEventDispatcher::PromptBusy() const {
  for (CEventPrompt* prompt : prompts_)
    if (prompt->HoldsEvent()) return true;
  return false;
}
