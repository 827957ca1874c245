#include "ui/framework/describe.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ui/framework/control.h"
#include "ui/framework/messages.h"

namespace {
void Describe(CControl* c, int depth, std::string& out) {
  char line[256];
  // A form's place on the screen depends on the screen: it is described at 0,0.
  bool top = depth == 0 && c->Parent() == nullptr;
  snprintf(line, sizeof line, "%*s%s %s [%d,%d %dx%d] %s %s \"", depth * 2, "", c->ClassName(),
           c->Name()[0] ? c->Name() : "-", top ? 0 : c->Left(), top ? 0 : c->Top(), c->Width(), c->Height(),
           c->Visible() ? "visible" : "hidden", c->Enabled() ? "enabled" : "disabled");
  out += line;
  for (char ch : c->WindowText()) {
    if (ch == '\r') out += "\\r";
    else if (ch == '\n') out += "\\n";
    else out += ch;
  }
  out += "\"\n";
  for (int i = 0; i < c->ChildCount(); ++i) Describe(c->Child(i), depth + 1, out);
}
}  // namespace

std::string DescribeControls(CControl* root) {
  std::string out;
  if (root != nullptr) Describe(root, 0, out);
  return out;
}

CControl* FindNamedControl(CControl* root, const char* name) {
  if (root == nullptr || name == nullptr) return nullptr;
  // "LogFrame.Label1": the control Label1 of the frame LogFrame.
  if (const char* dot = strchr(name, '.')) {
    std::string frame(name, static_cast<size_t>(dot - name));
    return FindNamedControl(FindNamedControl(root, frame.c_str()), dot + 1);
  }
  if (strcmp(root->Name(), name) == 0) return root;
  // Names are unique among what one form or frame owns: its own controls come first, then
  // those of the frames it holds.
  if (auto* own = dynamic_cast<CControl*>(root->FindComponent(name))) return own;
  for (int i = 0; i < root->ChildCount(); ++i)
    if (CControl* found = FindNamedControl(root->Child(i), name)) return found;
  return nullptr;
}

std::string QueryLine(CControl* c) {
  RECT r = c->BoundsRect();
  if (c->Handle() != nullptr) {
    GetWindowRect(c->Handle(), &r);
  } else if (HWND host = c->HostHandle()) {
    MapWindowPoints(host, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  }
  char line[400];
  snprintf(line, sizeof line, "%s\t%s\t%ld %ld %ld %ld\t%d\t%d\t%lu\t%lu\t", c->ClassName(), c->Name(),
           r.left, r.top, r.right, r.bottom, c->Showing() ? 1 : 0, c->Enabled() ? 1 : 0,
           static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(c->Handle())),
           static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(c->HostHandle())));
  return line + c->WindowText();
}

bool AnswerWindowQuery(CControl* form, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (data == nullptr || (data->dwData != kCopyDataDescribe && data->dwData != kCopyDataFind &&
                          data->dwData != kCopyDataName))
    return false;
  HWND asker = reinterpret_cast<HWND>(wParam);
  std::string answer;
  if (data->dwData == kCopyDataName) {
    answer = form->Name();
  } else if (data->dwData == kCopyDataDescribe) {
    answer = DescribeControls(form);
  } else {
    // The name comes from another process: use it only within the bytes it came in.
    std::string name(static_cast<const char*>(data->lpData), data->lpData ? data->cbData : 0);
    name.resize(strnlen(name.c_str(), name.size()));
    if (CControl* c = FindNamedControl(form, name.c_str())) answer = QueryLine(c);
  }
  COPYDATASTRUCT reply = {kCopyDataAnswer, static_cast<DWORD>(answer.size()), &answer[0]};
  if (IsWindow(asker))
    SendMessageA(asker, WM_COPYDATA, reinterpret_cast<WPARAM>(form->Handle()),
                 reinterpret_cast<LPARAM>(&reply));
  return true;
}
