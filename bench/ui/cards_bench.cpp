// Figures for pages of cards: 1, 100, 1,000 and 2,000 cards of the rule card's shape (a
// coloured frame holding a check box, four glyph buttons, seven labels and a paint box) in a
// scroll box of a real window. For each: the time to create them, the windows they cost
// (counted among the process's windows) once created, the time to scroll from the first card
// to the last a card at a time, painting each step (mean and slowest step), and the most
// windows the cards held at any of those steps or at 500 places jumped to at random after.
// Prints its figures; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "bench/ui/bench_common.h"
#include "ui/framework/application.h"
#include "ui/framework/artwork.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/looks.h"

namespace {
using bench::Clock;
using bench::Millis;
using bench::ProcessWindows;

constexpr int kCardHeight = 76;

class CCard : public CFrame {
 public:
  CCard(CComponent* owner, const char* name, int index) : CFrame(owner, name) {
    SetBounds(0, 0, 520, kCardHeight);
    SetColor(index % 3 ? kCardEnabledColor : kCardDisabledColor);
    NewControl<CCheckBox>(this, this, "EnableCheckBox", 8, 6, 16, 16);
    static const char* const kLabels[] = {"禁止TCP连接请求", "协议:", "TCP", "动作:", "拦截",
                                          "条件:", "接收,发送"};
    for (int i = 0; i < 7; ++i)
      NewControl<CLabel>(this, this, "Label", 28 + (i % 4) * 110, 6 + (i / 4) * 20, 100, 14, kLabels[i]);
    NewControl<CPaintBox>(this, this, "ActionPaintBox", 8, 44, 24, 24);
    for (int i = 0; i < 4; ++i) {
      auto* button = NewControl<CGlyphButton>(this, this, "Btn", 420 + (i % 2) * 48, 4 + (i / 2) * 36, 44, 32);
      button->SetGlyph(MakeGlyph(TGlyphPicture::Rules, 16));
    }
  }
  const char* ClassName() const override { return "TFWRuleItemFrame"; }
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

int main() {
  Application.Initialize();
  printf("%6s %10s %10s %10s %14s %10s %10s\n", "cards", "create ms", "windows", "at most", "scroll all ms",
         "ms/step", "slowest");
  printf("%6s %10s %10s %10s %14s %10s %10s\n", "", "", "(created)", "(scrolled)", "", "", "step ms");
  for (int cards : {1, 100, 1000, 2000}) {
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

    int most = windows;
    double scroll = 0, slowest = 0;
    int steps = 0;
    for (int pos = 0; pos < form->Box->ContentHeight(); pos += kCardHeight, ++steps) {
      start = Clock::now();
      form->Box->SetScrollPos(pos);
      UpdateWindow(form->Box->Handle());
      double step = Millis(start);
      scroll += step;
      if (step > slowest) slowest = step;
      most = std::max(most, ProcessWindows() - before);  // not timed
    }
    uint32_t seed = 12345;
    for (int jump = 0; jump < 500; ++jump) {
      seed = seed * 1103515245u + 12345u;
      form->Box->SetScrollPos(static_cast<int>((seed >> 8) % static_cast<uint32_t>(form->Box->ContentHeight() + 1)));
      UpdateWindow(form->Box->Handle());
      most = std::max(most, ProcessWindows() - before);
    }
    printf("%6d %10.1f %10d %10d %14.1f %10.2f %10.2f\n", cards, create, windows, most, scroll,
           steps ? scroll / steps : 0.0, slowest);
    fflush(stdout);
    FreeComponent(form);
    Application.ProcessMessages();
  }
  Application.Shutdown();
  return 0;
}
