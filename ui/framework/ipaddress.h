// The system's IP address control ("SysIPAddress32"): four number fields. Addresses go in
// and out in network byte order, as rules and events store them.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/control.h"

class CIPAddress : public CControl {
 public:
  CIPAddress(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TIPAddress"; }
  // The address in network byte order (1.2.3.4 is the bytes 1, 2, 3, 4); 0 when blank.
  uint32_t Address() const;
  void SetAddress(uint32_t networkOrder);
  bool Blank() const;
  void Clear();
  CNotifyEvent OnChange;
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  uint32_t address_ = 0;
  bool blank_ = true;
};
