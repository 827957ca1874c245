// Stands in for the event wiring while the event dispatch is not part of the build:
// the poll reads nothing.
#include "ui/tfwmain/eventwiring.h"

struct CMainEventWiring::CImpl {};
CMainEventWiring::CMainEventWiring(TFWMainForm&) : impl_(nullptr) {}
CMainEventWiring::~CMainEventWiring() = default;
void CMainEventWiring::Poll() {}
void CMainEventWiring::NextEvent() {}
void CMainEventWiring::FreeChild(void*) {}
uint32_t CMainEventWiring::PendingCount() const { return 0; }
