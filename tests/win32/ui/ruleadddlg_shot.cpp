// ui_ruleadddlg_shot.exe: shows the rule edit dialog with a rule loaded (or, with --pickers,
// the four small pickers side by side) for MS milliseconds, for a screenshot taken meanwhile.
//   ui_ruleadddlg_shot.exe [--pickers] [--page N] MS
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/heap.h"
#include "rules/codec.h"
#include "rules/iprules.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/application.h"
#include "ui/framework/timer.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwicmptypeform/tfwicmptypeform.h"
#include "ui/tfwipedit/tfwipedit.h"
#include "ui/tfwportedit/tfwportedit.h"
#include "ui/tfwruleadddlg/tfwruleadddlg.h"

namespace {
_MATCH_VALUE List(std::initializer_list<uint32_t> values) {
  auto* elements = static_cast<uint32_t*>(PlatformAlloc(static_cast<uint32_t>(values.size() * 4)));
  uint32_t n = 0;
  for (uint32_t v : values) elements[n++] = v;
  return _MATCH_VALUE{MATCH_LIST, n, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements))};
}
}  // namespace

int main(int argc, char** argv) {
  bool pickers = false;
  int page = -1;
  uint32_t ms = 60000;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--pickers") == 0) pickers = true;
    else if (strcmp(argv[i], "--page") == 0 && i + 1 < argc) page = atoi(argv[++i]);
    else ms = static_cast<uint32_t>(strtoul(argv[i], nullptr, 10));
  }
  Application.Initialize();
  _RKFW_RULE rule;
  memset(&rule, 0, sizeof rule);
  CForm* first = nullptr;
  if (pickers) {
    CForm* forms[4] = {new TFWIPEditForm(&Application), new TFWPortEditForm(&Application),
                       new TFWHostIPSelDlg(&Application), new TFWICMPTypeForm(&Application)};
    static_cast<TFWIPEditForm*>(forms[0])->IPEdit->SetText("www.example.com");
    static_cast<TFWPortEditForm*>(forms[1])->PortSpinEdit->SetValue(8080);
    const POINT places[4] = {{10, 10}, {310, 10}, {10, 140}, {310, 140}};
    for (int i = 0; i < 4; ++i) {
      forms[i]->EnsureCreated();
      forms[i]->SetBounds(places[i].x, places[i].y, forms[i]->Width(), forms[i]->Height());
      forms[i]->Show();
    }
    first = forms[0];
  } else {
    rule.Protocol = RULE_PROTO_TCP;
    rule.Action = RULE_ACTION_NOTIFY;
    rule.Conditions = RULE_COND_SEND | RULE_COND_RECEIVE | RULE_COND_CONNECT;
    rule.Options = RULE_OPT_APPLICATION | RULE_OPT_LOG;
    strcpy(rule.Application, "mailer.exe");
    rule.Name = CopyHeapText("邮件程序收发邮件");
    rule.Description = CopyHeapText("允许邮件程序连接邮件服务器的\r\nSMTP 和 POP3 端口。");
    rule.RemoteAddr = List({0x0A01A8C0, 0x0B01A8C0});
    rule.RemotePort = List({0x1900, 0x6E00});
    rule.LocalPort = _MATCH_VALUE{MATCH_RANGE, 0xFFFF, 0x0004};
    auto* dlg = new TFWNewRuleDlg(&Application);
    dlg->EditRule(&rule);
    if (page >= 0) {
      dlg->SysRadioButton->Click();
      dlg->RulePageControl->SetActivePage(dlg->RulePageControl->Page(page));
      dlg->RulePageControlChange(dlg->RulePageControl);
    }
    dlg->SetBounds(40, 40, dlg->Width(), dlg->Height());
    dlg->Show();
    first = dlg;
  }
  auto* stop = new CTimer(first, "StopTimer");
  stop->SetInterval(ms);
  stop->OnTimer = [](CComponent*) { Application.Terminate(); };
  stop->SetEnabled(true);
  Application.Run();
  Application.Shutdown();
  ReleaseRule(&rule);
  return 0;
}
