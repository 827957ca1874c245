#include "dispatch/dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "base/result.h"
#include "driver/rkfw.h"
#include "log/eventlog.h"
#include "log/eventrecord.h"
#include "log/formatters.h"
#include "platform/heap.h"
#include "rules/caches.h"
#include "rules/ruleport.h"
#include "tests/host/log/event_bytes.h"

namespace {
// Verdicts the rule store sends on its own (automatic answers), with the path they were for.
struct CSentVerdict {
  std::string path;
  uint32_t verdict;
};
std::vector<CSentVerdict> g_sent;
struct CCapture final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) override {
    g_sent.push_back({EventPathText(*record), EventU32(*record, EVENT_AT_VERDICT)});
    return 0;
  }
} g_capture;

struct CFakePrompt final : CEventPrompt {
  _REPORT_EVENT_HEAD record;
  bool HoldsEvent() const override { return true; }
  std::string Path() const { return EventPathText(record); }
};

// The main window as the dispatch sees it, with a message queue that the test pumps.
class CFakeConsole : public CEventWindows, public CEventSettings, public CEventLogSink, public CProcessPathSource {
 public:
  struct CPosted {
    uint32_t message;
    CEventPrompt* prompt;
  };

  CEventPrompt* CreateEventPrompt(const _REPORT_EVENT_HEAD& record) override {
    if (failCreate) return nullptr;
    auto* prompt = new CFakePrompt;
    memcpy(&prompt->record, &record, sizeof record);
    shown.push_back(prompt->Path());
    live.push_back(prompt);
    return prompt;
  }
  void DestroyEventPrompt(CEventPrompt* prompt) override {
    auto* fake = static_cast<CFakePrompt*>(prompt);
    for (size_t i = 0; i < live.size(); ++i)
      if (live[i] == fake) live.erase(live.begin() + static_cast<long>(i));
    ReleaseEventPath(fake->record);
    delete fake;
    ++destroyed;
  }
  void AppendLogText(const char* text) override { memo.push_back(text); }
  void Beep(uint32_t type) override { beeps.push_back(type); }
  void PostMainMessage(uint32_t message) override { posted.push_back({message, nullptr}); }
  bool BeepAlert() const override { return beepAlert; }
  bool RecordLog() const override { return recordLog; }
  bool Loaded() const override { return loaded; }
  void RecordLog(const char* text) override { recorded.push_back(text); }
  _textPtr ProcessPath(const _REPORT_EVENT_HEAD& record) override {
    ++pathLookups;
    return MakeText(kValueTextSize, paths[EventU32(record, APP_AT_PROCESS_ID)].c_str());
  }

  // The message loop: posted messages in order until none is left.
  void Pump(CEventDispatcher& d) {
    while (!posted.empty()) {
      CPosted m = posted.front();
      posted.pop_front();
      if (m.message == WM_NEXTEVENT) d.NextEvent();
      if (m.message == WM_FREECHILD) d.FreeChild(m.prompt);
    }
  }
  // What a prompt's button does: the verdict, the next queued event, then its own removal.
  void Answer(CEventDispatcher& d, CFakePrompt* prompt, uint32_t verdict) {
    answered.push_back({prompt->Path(), verdict});
    d.TakeNextPendingEvent();
    posted.push_back({WM_FREECHILD, prompt});
  }
  CFakePrompt* Newest() { return live.empty() ? nullptr : live.back(); }

  bool beepAlert = false, recordLog = false, loaded = false, failCreate = false;
  std::map<uint32_t, std::string> paths;
  std::vector<std::string> shown, memo, recorded;
  std::vector<CSentVerdict> answered;
  std::vector<uint32_t> beeps;
  std::vector<CFakePrompt*> live;
  std::deque<CPosted> posted;
  int destroyed = 0, pathLookups = 0;
};

char kNotepad[] = "C:\\WINDOWS\\NOTEPAD.EXE";
char kMail[] = "C:\\Mail\\mail.exe";
char kGame[] = "D:\\游戏\\game.exe";

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    g_sent.clear();
    SetRulePort(&g_capture);
    SetComputerNameOverride("PC");
    console.paths = {{10, "c:\\windows\\notepad.exe"}, {11, kMail}, {12, kGame}, {13, "C:\\new.exe"}};
    blocksBefore = PlatformLiveBlocks();
  }
  void TearDown() override {
    AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>();  // static paths, nothing to free
    SetRulePort(nullptr);
    SetComputerNameOverride(nullptr);
  }
  // Three cached rules; `access` is the rule of each path in turn.
  void Rules(uint32_t notepad, uint32_t mail, uint32_t game) {
    AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>(3);
    char* paths[] = {kNotepad, kMail, kGame};
    uint32_t access[] = {notepad, mail, game};
    for (int i = 0; i < 3; ++i) {
      AuditRuleCache[i].RuleId = 100 + i;
      AuditRuleCache[i].AppPath = paths[i];
      AuditRuleCache[i].Access = access[i];
    }
  }
  static CEventBytes Ask(uint32_t pid) {
    CEventBytes e(EVENT_KIND_APP_ASK);
    e.Name("app.exe").Set32(APP_AT_PROCESS_ID, pid).Set32(APP_AT_PROTOCOL, 1);
    return e;
  }
  static CEventBytes Logged(uint32_t kind) {
    CEventBytes e(kind);
    e.Set32(SYS_AT_PROTOCOL, 3).Name("x.exe");
    return e;
  }
  void Send(std::vector<CEventBytes> batch) {
    std::vector<_REPORT_EVENT_HEAD> records(batch.size());
    for (size_t i = 0; i < batch.size(); ++i) memcpy(&records[i], batch[i].Bytes(), kEventRecordSize);
    d.DispatchEvents(records.data(), static_cast<uint32_t>(records.size()));
  }
  std::vector<std::string> QueuedPaths() const {
    std::vector<std::string> out;
    for (const _REPORT_EVENT_HEAD& r : d.PendingEvents()) out.push_back(EventPathText(r));
    return out;
  }
  // Live blocks other than the queue's and the prompt list's storage and the rule cache: the path texts.
  int32_t TextBlocks() const {
    return PlatformLiveBlocks() - d.PendingEvents().Blocks() - (d.OpenPrompts().Items ? 1 : 0) -
           (AuditRuleCache.Valid() ? 2 : 0) - blocksBefore;
  }
  // Every prompt answered and removed, the queue empty: every path text was freed once.
  void ExpectAllReleased() {
    while (CFakePrompt* p = console.Newest()) {
      console.Answer(d, p, 0);
      console.Pump(d);
    }
    EXPECT_TRUE(d.PendingEvents().Empty());
    EXPECT_TRUE(d.OpenPrompts().Empty());
    EXPECT_EQ(TextBlocks(), 0);
  }

  CFakeConsole console;
  CEventDispatcher d{console, console, console, console};
  int32_t blocksBefore = 0;
};

TEST_F(Dispatch, ThreeAskEventsInOneBatchOpenOnePromptAndQueueTheRestInOrder) {
  Send({Ask(11), Ask(12), Ask(13)});
  ASSERT_EQ(console.shown, std::vector<std::string>({kMail}));
  EXPECT_EQ(d.OpenPrompts().Count, 1);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({kGame, "C:\\new.exe"}));
  EXPECT_EQ(console.pathLookups, 3);
  EXPECT_TRUE(console.memo.empty());
  EXPECT_TRUE(g_sent.empty());
  // Answering takes up the next in order, before the answered prompt is gone.
  console.Answer(d, console.Newest(), 0);
  EXPECT_EQ(console.shown.back(), kGame);
  EXPECT_EQ(console.live.size(), 2u);
  console.Pump(d);
  EXPECT_EQ(console.live.size(), 1u);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({"C:\\new.exe"}));
  ExpectAllReleased();
  EXPECT_EQ(console.destroyed, 3);
}

TEST_F(Dispatch, QueuedEventIsDecidedByTheRuleItsApplicationGotMeanwhile) {
  Send({Ask(13), Ask(11), Ask(12)});
  ASSERT_EQ(console.shown.size(), 1u);
  Rules(0x27, 0x07, 0x00);  // e.g. what the first prompt's answer recorded
  console.Answer(d, console.Newest(), 0);
  // mail.exe is permitted without a window, then game.exe blocked once its turn comes.
  console.Pump(d);
  EXPECT_EQ(console.shown.size(), 1u);
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[0].path, kMail);
  EXPECT_EQ(g_sent[0].verdict, 0u);
  EXPECT_EQ(g_sent[1].path, kGame);
  EXPECT_EQ(g_sent[1].verdict, 1u);
  EXPECT_TRUE(d.PendingEvents().Empty());
  EXPECT_TRUE(d.OpenPrompts().Empty());
  EXPECT_EQ(TextBlocks(), 0);
}

TEST_F(Dispatch, OnlyPlainPermitOrBlockDecidesWithoutAPrompt) {
  const struct {
    uint32_t access;
    bool prompt;
  } rows[] = {{0x07, false}, {0x00, false}, {0x27, true}, {0x17, true}, {0x37, true},
              {0x03, true},  {0x47, false}, {0x40, false}};
  for (const auto& row : rows) {
    Rules(0x07, row.access, 0x07);
    size_t shown = console.shown.size();
    Send({Ask(11)});
    EXPECT_EQ(console.shown.size() - shown, row.prompt ? 1u : 0u) << std::hex << row.access;
    ExpectAllReleased();
  }
}

TEST_F(Dispatch, PathsDifferingOnlyInLetterCaseMatch) {
  Rules(0x00, 0x27, 0x27);
  Send({Ask(10)});  // the driver names notepad in small letters
  EXPECT_TRUE(console.shown.empty());
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_EQ(g_sent[0].path, "c:\\windows\\notepad.exe");
  EXPECT_EQ(g_sent[0].verdict, 1u);
  ExpectAllReleased();
}

TEST_F(Dispatch, ADecidedProgramIsAnsweredWhileAPromptForAnotherIsOpen) {
  Rules(0x07, 0x00, 0x27);
  Send({Ask(13), Ask(12), Ask(10), Ask(11), Ask(13)});
  // new.exe asks the user; notepad and mail are decided at once; game and the second new.exe
  // still need the user and wait in order.
  EXPECT_EQ(console.shown, std::vector<std::string>({"C:\\new.exe"}));
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[0].path, "c:\\windows\\notepad.exe");
  EXPECT_EQ(g_sent[0].verdict, 0u);
  EXPECT_EQ(g_sent[1].path, kMail);
  EXPECT_EQ(g_sent[1].verdict, 1u);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({kGame, "C:\\new.exe"}));
  ExpectAllReleased();
}

TEST_F(Dispatch, AutomaticVerdictEarlyInABatchDoesNotOpenASecondPrompt) {
  Rules(0x07, 0x27, 0x27);
  Send({Ask(10), Ask(11), Ask(12)});  // decided, prompted, queued
  EXPECT_EQ(console.shown, std::vector<std::string>({kMail}));
  console.Pump(d);  // the WM_NEXTEVENT of the automatic verdict
  EXPECT_EQ(console.live.size(), 1u);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({kGame}));
  ExpectAllReleased();
  EXPECT_EQ(console.shown, std::vector<std::string>({kMail, kGame}));
}

TEST_F(Dispatch, QueueDrainsByItselfUntilAnEventNeedsTheUser) {
  Send({Ask(13), Ask(11), Ask(10), Ask(12), Ask(11)});
  Rules(0x07, 0x00, 0x27);
  console.Answer(d, console.Newest(), 0);
  console.Pump(d);
  // mail blocked, notepad permitted, then game needs the user; the last mail waits behind it.
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[0].path, kMail);
  EXPECT_EQ(g_sent[1].path, "c:\\windows\\notepad.exe");
  EXPECT_EQ(console.shown.back(), kGame);
  EXPECT_EQ(console.live.size(), 1u);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({kMail}));
  console.Answer(d, console.Newest(), 1);
  console.Pump(d);
  EXPECT_EQ(g_sent.size(), 3u);
  EXPECT_TRUE(console.live.empty());
  EXPECT_EQ(TextBlocks(), 0);
}

TEST_F(Dispatch, BatchOfThirtySevenRecordsInOnePoll) {
  std::vector<CEventBytes> batch;
  for (int i = 0; i < 37; ++i) batch.push_back(Ask(11));
  Send(batch);
  EXPECT_EQ(console.shown.size(), 1u);
  EXPECT_EQ(d.PendingEvents().Count(), 36);
  EXPECT_EQ(d.PendingEvents().Capacity(), 36);  // four steps of nine
  EXPECT_EQ(d.PendingEvents().GrowStep(), kPendingEventsGrowStep);
  EXPECT_EQ(d.OpenPrompts().GrowStep, kOpenPromptsGrowStep);
  // The first answer records "permit" for mail.exe: the other 36 go without a window.
  Rules(0x27, 0x27, 0x27);
  AuditRuleCache[1].Access = 0x07;
  console.Answer(d, console.Newest(), 0);
  console.Pump(d);
  EXPECT_EQ(g_sent.size(), 36u);
  EXPECT_EQ(console.shown.size(), 1u);
  EXPECT_EQ(TextBlocks(), 0);

  std::vector<CEventBytes> mixed;
  for (int i = 0; i < 37; ++i) mixed.push_back(i % 3 == 1 ? Ask(12) : Logged(i % 3 == 0 ? 1 : 3));
  Send(mixed);
  EXPECT_EQ(console.memo.size(), 25u);
  EXPECT_EQ(d.PendingEvents().Count(), 11);
  ExpectAllReleased();
}

TEST_F(Dispatch, BeepOnlyForLoggedEventsAndOnlyWhenAsked) {
  Rules(0x07, 0x07, 0x07);
  Send({Logged(1), Ask(11), Logged(3), Ask(12)});
  EXPECT_TRUE(console.beeps.empty());
  console.beepAlert = true;
  Send({Logged(1), Ask(11), Logged(3), Ask(12), Logged(1)});
  EXPECT_EQ(console.beeps, std::vector<uint32_t>({0x30, 0x30, 0x30}));
  EXPECT_EQ(console.memo.size(), 5u);
  ExpectAllReleased();
}

TEST_F(Dispatch, LoggedEventsGoToTheLogPageAndToTheLibraryWhenBothAllow) {
  CEventBytes e = Logged(1);
  std::string text = BuildEventLogText(e.Record()).Data();
  const struct {
    bool recordLog, loaded, written;
  } rows[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, true}};
  for (const auto& row : rows) {
    console.memo.clear();
    console.recorded.clear();
    console.recordLog = row.recordLog;
    console.loaded = row.loaded;
    Send({e});
    EXPECT_EQ(console.memo, std::vector<std::string>({text}));
    EXPECT_EQ(console.recorded.size(), row.written ? 1u : 0u);
    if (row.written) {
      EXPECT_EQ(console.recorded[0], text);
    }
  }
}

TEST_F(Dispatch, UnknownKindsBeepAndLogAnEmptyText) {
  console.beepAlert = console.recordLog = console.loaded = true;
  Send({Logged(0), Logged(4), Logged(0xFFFFFFFF)});
  EXPECT_EQ(console.beeps.size(), 3u);
  EXPECT_EQ(console.memo, std::vector<std::string>({"", "", ""}));
  EXPECT_EQ(console.recorded, std::vector<std::string>({"", "", ""}));
  EXPECT_EQ(console.pathLookups, 0);
}

TEST_F(Dispatch, FreeChildDestroysAListedPromptOnce) {
  Send({Ask(11)});
  CFakePrompt* prompt = console.Newest();
  console.Answer(d, prompt, 0);
  console.posted.push_back({WM_FREECHILD, prompt});  // a second click before the removal
  console.Pump(d);
  EXPECT_EQ(console.destroyed, 1);
  d.FreeChild(nullptr);
  CFakePrompt stranger;
  AttachEventPath(stranger.record, nullptr);
  d.FreeChild(&stranger);  // never listed: not ours to destroy
  EXPECT_EQ(console.destroyed, 1);
  EXPECT_EQ(TextBlocks(), 0);
}

TEST_F(Dispatch, RemovalOfTheLastBusyPromptTakesUpAStalledQueue) {
  Send({Ask(11)});
  CFakePrompt* first = console.Newest();
  Send({Ask(12)});  // queued behind the prompt
  // The prompt disappears without taking up the queue (e.g. its owner closed it).
  d.FreeChild(first);
  console.Pump(d);
  EXPECT_EQ(console.shown.back(), kGame);
  ExpectAllReleased();
}

TEST_F(Dispatch, PromptThatCannotBeCreatedReleasesItsEventAndTheQueueMovesOn) {
  Send({Ask(11), Ask(12), Ask(13)});
  console.failCreate = true;
  console.Answer(d, console.Newest(), 0);
  console.Pump(d);
  EXPECT_TRUE(d.PendingEvents().Empty());
  EXPECT_TRUE(console.live.empty());
  EXPECT_EQ(TextBlocks(), 0);
}

TEST_F(Dispatch, WhatTheDriverLeftAtTheReferenceFieldIsNeverTouched) {
  CEventBytes e = Ask(11);
  e.Set32(APP_AT_PATH_REF, 0xDEADBEE0);
  Send({e, e});
  ASSERT_EQ(console.live.size(), 1u);
  EXPECT_EQ(console.Newest()->Path(), kMail);
  EXPECT_EQ(QueuedPaths(), std::vector<std::string>({kMail}));
  ExpectAllReleased();
}

TEST_F(Dispatch, PathCopiesAreExactlyTheirLengthPlusOne) {
  console.paths[11] = "";
  struct CSizes {
    std::vector<uint32_t> asked;
    static void Note(void* context, uint32_t bytes) { static_cast<CSizes*>(context)->asked.push_back(bytes); }
  } sizes;
  SetHeapAllocHookForTests(CSizes::Note, &sizes);
  Send({Ask(11), Ask(12)});
  SetHeapAllocHookForTests(nullptr, nullptr);
  EXPECT_EQ(console.Newest()->Path(), "");
  EXPECT_TRUE(EventHasPath(console.Newest()->record));
  EXPECT_EQ(TextBlocks(), 2);  // one text each, nothing else kept
  // The kept texts were asked for at exactly their length plus one: 1 byte and 17 bytes.
  const uint32_t game = static_cast<uint32_t>(strlen(kGame)) + 1;
  ASSERT_EQ(game, 17u);  // "D:\", two GBK characters, "\game.exe"
  EXPECT_EQ(std::count(sizes.asked.begin(), sizes.asked.end(), 1u), 1);
  EXPECT_EQ(std::count(sizes.asked.begin(), sizes.asked.end(), game), 1);
  ExpectAllReleased();
}

TEST_F(Dispatch, BatchBufferBoundsTheRecordCount) {
  _bytePtr batch(2 * kEventRecordSize + 219);
  for (int i = 0; i < 3; ++i) {
    CEventBytes e = Logged(1);
    memcpy(batch.Data() + i * kEventRecordSize, e.Bytes(), i < 2 ? kEventRecordSize : 219);
  }
  d.DispatchEvents(batch, 37);
  EXPECT_EQ(console.memo.size(), 2u);
  d.DispatchEvents(_bytePtr(), 5);
  EXPECT_EQ(console.memo.size(), 2u);
}

#ifndef _WIN32  // the host's driver link can be told to find Win9x; Wine's finds its prefix's
// The Win9x driver stamps events in UTC; the log used to print those times as local ones,
// because nothing told the log text which family the platform detection had found.
TEST_F(Dispatch, Win9xEventTimesAreShownInLocalTimeOnceThePlatformIsKnown) {
  const char* zone = getenv("TZ");
  std::string savedZone = zone != nullptr ? zone : "";
  setenv("TZ", "CST-8", 1);  // eight hours east of UTC, no summer time
  tzset();
  const uint64_t kMidnightUtc = 134411616000000000ULL;  // 2026-12-08 00:00:00 UTC
  auto timeLine = [&](bool nt) {
    ResetDriverLinkForTests();
    SetHostPlatformForTests(nt);
    EXPECT_EQ(DetectPlatform(), RESULT_OK);
    CEventBytes e = Logged(1);
    e.Set64(EVENT_AT_TIME, kMidnightUtc);
    Send({e});
    return console.memo.back().substr(0, console.memo.back().find("\r\n"));
  };
  EXPECT_EQ(timeLine(true), "[时间]:     2026-12-08 00:00:00");   // NT: already local
  EXPECT_EQ(timeLine(false), "[时间]:     2026-12-08 08:00:00");  // Win9x: UTC, shown local
  ResetDriverLinkForTests();
  SetHostPlatformForTests(true);
  EXPECT_EQ(GetEventClock(), EventClock::Local);  // nothing detected: taken as local
  if (zone != nullptr) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

TEST(DispatchLifetime, QueuedPathsAreReleasedWithTheDispatcher) {
  int32_t before = PlatformLiveBlocks();
  CFakeConsole console;
  console.paths = {{1, "C:\\a.exe"}};
  {
    CEventDispatcher d(console, console, console, console);
    std::vector<_REPORT_EVENT_HEAD> records(20);
    for (auto& r : records) memcpy(&r, CEventBytes(EVENT_KIND_APP_ASK).Set32(APP_AT_PROCESS_ID, 1).Bytes(), 220);
    d.DispatchEvents(records.data(), 20);
    EXPECT_EQ(d.PendingEvents().Count(), 19);
  }
  // The prompt is the main window's child: it goes with the window, not with the dispatcher.
  ASSERT_EQ(console.live.size(), 1u);
  console.DestroyEventPrompt(console.live[0]);
  EXPECT_EQ(PlatformLiveBlocks(), before);
}
}  // namespace

namespace {
// The console's path source hands GetProcessPath the block at offset 36 of the record.
TEST(DriverProcessPaths, ReadsTheProcessBlockOfTheRecord) {
  CDriverProcessPaths paths(RkfwPort());
  CEventBytes e(EVENT_KIND_APP_ASK);
  EXPECT_STREQ(paths.ProcessPath(e.Record()).Data(), "Unknown");  // empty name: no request
  e.Name("tool.exe").Set32(APP_AT_PROCESS_ID, 1234);
  e.Bytes()[APP_AT_NAME_SOURCE] = 1;  // by process id, which the host cannot look up
  EXPECT_STREQ(paths.ProcessPath(e.Record()).Data(), "tool.exe(1234d,4d2)");
}
}  // namespace
