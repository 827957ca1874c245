// ui_gallery.exe: shows the gallery form until it is closed, or for MS milliseconds with
// `--for MS` (for a screenshot taken meanwhile: tools/gallery-shot.sh).
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "tests/win32/ui/gallery.h"
#include "ui/framework/application.h"
#include "ui/framework/timer.h"

int main(int argc, char** argv) {
  Application.Initialize();
  auto* form = Application.CreateForm<CGalleryForm>();
  form->ProcTreeView->AddChild(form->ProcTreeView->AddChild(nullptr, "mail.exe"), "TCP");
  form->AddrListBox->AddItem("10.0.0.1", 0x0100000A);
  form->AddrListBox->AddItem("192.168.1.5", 0x0501A8C0);
  form->NameEdit->SetText("禁止TCP连接请求");
  CTimer* stop = nullptr;
  if (argc == 3 && strcmp(argv[1], "--for") == 0) {
    stop = new CTimer(form, "StopTimer");
    stop->SetInterval(static_cast<uint32_t>(strtoul(argv[2], nullptr, 10)));
    stop->OnTimer = [](CComponent*) { Application.Terminate(); };
    stop->SetEnabled(true);
  }
  form->SetVisible(true);
  Application.Run();
  Application.Shutdown();
  return 0;
}
