// The log view page: the log texts of this run, oldest first, and a button that clears them.
// The main window keeps one instance for the whole run and appends to it while it is hidden.
#pragma once
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/logmemo.h"

class TFWLogViewFrame : public CPage {
 public:
  explicit TFWLogViewFrame(CComponent* owner);
  const char* ClassName() const override { return "TFWLogViewFrame"; }

  // Appends one log text (several lines) at the end of LogMemo.
  void AppendLog(const char* text);

  void ClearBitBtnClick(CComponent* Sender);

  CPanel* BtnPanel;
  CLabel* Label1;
  CLabel* Label2;
  CGlyphButton* ClearBitBtn;
  CLogMemo* LogMemo;
};
