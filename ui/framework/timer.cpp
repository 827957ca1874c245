#include "ui/framework/timer.h"

#include "ui/framework/application.h"

CTimer::CTimer(CComponent* owner, const char* name) : CComponent(owner, name) {}

CTimer::~CTimer() { Application.StopTimer(this); }

void CTimer::SetInterval(uint32_t milliseconds) {
  interval_ = milliseconds;
  Restart();
}

void CTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Restart();
}

void CTimer::Restart() {
  Application.StopTimer(this);
  if (enabled_ && interval_ > 0 && OnTimer) Application.StartTimer(this, interval_);
}

void CTimer::Tick() {
  // A handler that shows a modal box must not be entered again by the next period.
  if (inTick_ || !enabled_) return;
  // The flag goes down however the handler ends, or a throw would stop the timer for good.
  struct CTickFlag {
    bool& flag;
    ~CTickFlag() { flag = false; }
  } inTick{inTick_ = true};
  Fire(OnTimer, this);
}
