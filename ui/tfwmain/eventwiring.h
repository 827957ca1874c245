// The event dispatch plugged into the main window: the window's side of the interfaces the
// dispatcher reaches windows, settings, the companion library and process paths through.
#pragma once
#include <cstdint>

class TFWMainForm;

class CMainEventWiring {
 public:
  explicit CMainEventWiring(TFWMainForm& form);
  ~CMainEventWiring();
  CMainEventWiring(const CMainEventWiring&) = delete;
  CMainEventWiring& operator=(const CMainEventWiring&) = delete;

  // One poll: read the driver's batch and dispatch it.
  void Poll();
  void NextEvent();                 // WM_NEXTEVENT
  void FreeChild(void* prompt);     // WM_FREECHILD
  uint32_t PendingCount() const;    // application events waiting for a prompt

 private:
  struct CImpl;
  CImpl* impl_;
};
