// ui_auditoptdlg_shot.exe: shows the audit conditions dialog with a rule loaded, beside the
// address dialog (remote list, local addresses) and the port dialog (range), for MS
// milliseconds, for a screenshot taken meanwhile.
//   ui_auditoptdlg_shot.exe MS
#include <windows.h>

#include <cstdlib>

#include "platform/heap.h"
#include "rules/auditrules.h"
#include "rules/codec.h"
#include "rules/matchvalue.h"
#include "ui/framework/application.h"
#include "ui/framework/timer.h"
#include "ui/tfwauditruleoptdlg/tfwauditruleoptdlg.h"
#include "ui/tfwinputaddrdlg/tfwinputaddrdlg.h"
#include "ui/tfwinputportdlg/tfwinputportdlg.h"

namespace {
_MATCH_VALUE List(std::initializer_list<uint32_t> values) {
  auto* elements = static_cast<uint32_t*>(PlatformAlloc(static_cast<uint32_t>(values.size() * 4)));
  uint32_t n = 0;
  for (uint32_t v : values) elements[n++] = v;
  return _MATCH_VALUE{MATCH_LIST, n, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements))};
}
}  // namespace

int main(int argc, char** argv) {
  uint32_t ms = argc > 1 ? static_cast<uint32_t>(strtoul(argv[1], nullptr, 10)) : 60000;
  Application.Initialize();
  _RKFW_AUDIT_RULE rule = {};
  InitAuditRule(&rule);
  rule.AppPath = CopyHeapText("C:\\Program Files\\Mailer\\mailer.exe");
  rule.Access = 0x13;  // TCP and IP audited, UDP not
  rule.MatchAction = 2;
  rule.TcpRemoteAddr = List({0x0100000A, 0x0200000A, 0x0300000A});
  rule.TcpRemotePort = _MATCH_VALUE{MATCH_RANGE, 0xD007, 0xE803};  // 1000 to 2000
  rule.TcpLocalAddr = _MATCH_VALUE{MATCH_SINGLE, 0x0500A8C0, 0};
  _MATCH_VALUE remote = List({0x0100000A, 0x0200000A, 0x08080808});
  _MATCH_VALUE local = List({0x0500A8C0, 0x0101010A});
  _MATCH_VALUE ports = _MATCH_VALUE{MATCH_RANGE, 0xD007, 0xE803};

  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  auto* addr = new TFWInputAddrDlg(&Application);
  addr->EditAddress(&remote, false);
  auto* localAddr = new TFWInputAddrDlg(&Application);
  localAddr->EditAddress(&local, true);
  auto* port = new TFWInputPortDlg(&Application);
  port->EditPort(&ports);
  const struct {
    CForm* form;
    int x, y;
  } places[] = {{dlg, 10, 10}, {addr, 500, 10}, {localAddr, 500, 250}, {port, 500, 490}};
  for (const auto& p : places) {
    p.form->SetBounds(p.x, p.y, p.form->Width(), p.form->Height());
    p.form->Show();
  }
  auto* stop = new CTimer(dlg, "StopTimer");
  stop->SetInterval(ms);
  stop->OnTimer = [](CComponent*) { Application.Terminate(); };
  stop->SetEnabled(true);
  Application.Run();
  Application.Shutdown();
  ReleaseAuditRule(&rule);
  for (_MATCH_VALUE* v : {&remote, &local, &ports}) ReleaseMatchValue(v);
  return 0;
}
