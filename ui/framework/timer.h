// Timers: a component that calls OnTimer every Interval milliseconds while enabled.
#pragma once
#include <cstdint>

#include "ui/framework/component.h"
#include "ui/framework/events.h"

class CTimer : public CComponent {
 public:
  CTimer(CComponent* owner, const char* name);
  ~CTimer() override;
  const char* ClassName() const override { return "TTimer"; }

  void SetInterval(uint32_t milliseconds);
  uint32_t Interval() const { return interval_; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }

  CNotifyEvent OnTimer;
  void Tick();  // one period elapsed

 private:
  void Restart();
  uint32_t interval_ = 1000;
  bool enabled_ = false;
  bool inTick_ = false;
};
