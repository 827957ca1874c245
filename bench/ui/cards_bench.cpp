// Figures for pages of cards: 1, 100, 1,000 and 2,000 cards of the rule card's shape (a
// coloured frame holding a check box, four glyph buttons with hints and a shared glyph, as the
// rule card has them, seven labels and a paint box) in a scroll box of a real window. For each:
// the time to create them, the windows they cost (counted among the process's windows) once
// created, the time to scroll from the first card to the last a card at a time, painting each
// step (mean, median and slowest step), the most windows the cards held at any of those steps or at 500
// places jumped to at random after, the GDI objects and tool tip tools of the process once
// created and once scrolled back to the top, and the time to free the page after all that.
// Prints its figures; asserts nothing. `bench_cards.exe 2000 100` measures those counts, in
// that order, instead.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/ui/bench_common.h"
#include "ui/framework/application.h"
#include "ui/framework/artwork.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/looks.h"
#include "ui/framework/messages.h"

namespace {
using bench::Clock;
using bench::Millis;
using bench::GdiObjects;
using bench::ProcessWindows;
using bench::ToolTipTools;

constexpr int kCardHeight = 76;

class CCard : public CFrame {
 public:
  CCard(CComponent* owner, const char* name, int index) : CFrame(owner, name) {
    SetBounds(0, 0, 520, kCardHeight);
    SetColor(index % 3 ? kCardEnabledColor : kCardDisabledColor);
    NewControl<CCheckBox>(this, this, "EnableCheckBox", 8, 6, 16, 16)->SetHint("启用或禁用该条规则");
    static const char* const kLabels[] = {"禁止TCP连接请求", "协议:", "TCP", "动作:", "拦截",
                                          "条件:", "接收,发送"};
    for (int i = 0; i < 7; ++i)
      NewControl<CLabel>(this, this, "Label", 28 + (i % 4) * 110, 6 + (i / 4) * 20, 100, 14, kLabels[i]);
    NewControl<CPaintBox>(this, this, "ActionPaintBox", 8, 44, 24, 24);
    for (int i = 0; i < 4; ++i) {
      buttons_[i] = NewControl<CGlyphButton>(this, this, "Btn", 420 + (i % 2) * 48, 4 + (i / 2) * 36, 44, 32);
      buttons_[i]->SetHint("修改规则");
    }
  }
  const char* ClassName() const override { return "TFWRuleItemFrame"; }

 protected:
  // The glyph is the process's one, handed over as the flat look's picture once the buttons
  // have windows, as on the rule card.
  void Resized() override {
    if (!styled_ && Handle() != nullptr) {
      styled_ = true;
      static HBITMAP glyph = MakeGlyph(TGlyphPicture::Rules, 16);
      for (CGlyphButton* button : buttons_)
        if (button->Handle() != nullptr)
          SendMessageA(button->Handle(), kMsgButtonGlyph, kGlyphKeyColor, reinterpret_cast<LPARAM>(glyph));
    }
    CFrame::Resized();
  }

 private:
  CGlyphButton* buttons_[4] = {};
  bool styled_ = false;
};

class CBenchForm : public CForm {
 public:
  explicit CBenchForm(CComponent* owner) : CForm(owner, "BenchForm") {
    SetBounds(0, 0, 560, 340);
    Box = NewControl<CScrollBox>(this, this, "RuleScrollBox", 0, 0, 544, 298);
  }
  CScrollBox* Box;
};
}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {1, 100, 1000, 2000};
  if (argc > 1) counts.clear();
  for (int i = 1; i < argc; ++i) counts.push_back(atoi(argv[i]));
  Application.Initialize();
  printf("%6s %9s %8s %8s %10s %8s %8s %8s %13s %13s %8s\n", "cards", "create", "windows", "at most", "scroll all",
         "ms/step", "median", "slowest", "GDI objects", "tips' tools", "free");
  printf("%6s %9s %8s %8s %10s %8s %8s %8s %13s %13s %8s\n", "", "ms", "created", "scrolled", "ms", "", "step ms",
         "step ms", "made/back", "made/back", "ms");
  for (int cards : counts) {
    auto* form = new CBenchForm(&Application);
    form->EnsureCreated();
    form->Show();
    Application.ProcessMessages();
    int before = ProcessWindows();
    Clock::time_point start = Clock::now();
    {
      CScrollBox::CUpdate hold(form->Box);
      for (int i = 0; i < cards; ++i) {
        char name[32];
        snprintf(name, sizeof name, "FWRuleItemFrame%d", i);
        auto* card = new CCard(form, name, i);
        card->SetParent(form->Box);
      }
    }
    Application.ProcessMessages();
    double create = Millis(start);
    int windows = ProcessWindows() - before;
    UpdateWindow(form->Box->Handle());
    int gdiMade = GdiObjects(), toolsMade = ToolTipTools();

    int most = windows;
    double scroll = 0, slowest = 0;
    int steps = 0;
    std::vector<double> times;
    for (int pos = 0; pos < form->Box->ContentHeight(); pos += kCardHeight, ++steps) {
      start = Clock::now();
      form->Box->SetScrollPos(pos);
      UpdateWindow(form->Box->Handle());
      double step = Millis(start);
      scroll += step;
      if (step > slowest) slowest = step;
      times.push_back(step);
      most = std::max(most, ProcessWindows() - before);  // not timed
    }
    uint32_t seed = 12345;
    for (int jump = 0; jump < 500; ++jump) {
      seed = seed * 1103515245u + 12345u;
      form->Box->SetScrollPos(static_cast<int>((seed >> 8) % static_cast<uint32_t>(form->Box->ContentHeight() + 1)));
      UpdateWindow(form->Box->Handle());
      most = std::max(most, ProcessWindows() - before);
    }
    form->Box->SetScrollPos(0);
    UpdateWindow(form->Box->Handle());
    int gdiBack = GdiObjects(), toolsBack = ToolTipTools();
    start = Clock::now();
    FreeComponent(form);
    Application.ProcessMessages();
    double freed = Millis(start);
    std::sort(times.begin(), times.end());
    double median = times.empty() ? 0.0 : times[times.size() / 2];
    printf("%6d %9.1f %8d %8d %10.1f %8.2f %8.2f %8.2f %6d/%-6d %6d/%-6d %8.1f\n", cards, create, windows, most,
           scroll, steps ? scroll / steps : 0.0, median, slowest, gdiMade, gdiBack, toolsMade, toolsBack, freed);
    fflush(stdout);
  }
  Application.Shutdown();
  return 0;
}
