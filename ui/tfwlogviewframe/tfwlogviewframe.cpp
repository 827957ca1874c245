#include "ui/tfwlogviewframe/tfwlogviewframe.h"

#include <string>

#include "ui/framework/artwork.h"

TFWLogViewFrame::TFWLogViewFrame(CComponent* owner) : CPage(owner, "LogFrame") {
  BtnPanel = NewControl<CPanel>(this, this, "BtnPanel", 0, 0, kPageWidth, 30);
  BtnPanel->SetAlign(TAlign::Top);
  BtnPanel->SetColor(kToolBarColor);
  Label1 = NewControl<CLabel>(this, BtnPanel, "Label1", 10, 9, 60, 14, "日 志");
  ClearBitBtn = NewControl<CGlyphButton>(this, BtnPanel, "ClearBitBtn", 440, 3, 24, 24);
  ClearBitBtn->SetGlyph(MakeGlyph(TGlyphPicture::Clear, 16));
  ClearBitBtn->SetHint("清除日志");
  ClearBitBtn->OnClick = Bind(this, &TFWLogViewFrame::ClearBitBtnClick);
  Label2 = NewControl<CLabel>(this, BtnPanel, "Label2", 468, 9, 64, 14, "清除日志");
  Label2->OnClick = Bind(this, &TFWLogViewFrame::ClearBitBtnClick);
  LogMemo = NewControl<CLogMemo>(this, this, "LogMemo", 0, 30, kPageWidth, kPageHeight - 30);
  LogMemo->SetAlign(TAlign::Client);
}

void TFWLogViewFrame::ClearBitBtnClick(CComponent*) { LogMemo->Clear(); }

void TFWLogViewFrame::AppendLog(const char* text) {
  // The text goes in as lines of its own with a line end after it, so a block that ends with
  // its own line end is followed by an empty line that keeps it apart from the next.
  std::string lines = text != nullptr ? text : "";
  lines += "\r\n";
  LogMemo->AppendLines(lines.c_str());
}
