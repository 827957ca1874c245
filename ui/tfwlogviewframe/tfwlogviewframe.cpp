#include "ui/tfwlogviewframe/tfwlogviewframe.h"

#include <string>

#include "ui/framework/artwork.h"

TFWLogViewFrame::TFWLogViewFrame(CComponent* owner) : CFrame(owner, "LogFrame") {
  SetVisible(false);
  SetBounds(0, 0, 544, 298);
  SetColor(RGB(229, 243, 252));

  BtnPanel = new CPanel(this, "BtnPanel");
  BtnPanel->SetParent(this);
  BtnPanel->SetBounds(0, 0, 544, 30);
  BtnPanel->SetAlign(TAlign::Top);
  BtnPanel->SetColor(RGB(206, 228, 245));

  Label1 = new CLabel(this, "Label1");
  Label1->SetParent(BtnPanel);
  Label1->SetBounds(10, 9, 60, 14);
  Label1->SetText("日 志");

  ClearBitBtn = new CGlyphButton(this, "ClearBitBtn");
  ClearBitBtn->SetParent(BtnPanel);
  ClearBitBtn->SetBounds(440, 3, 24, 24);
  ClearBitBtn->SetGlyph(MakeGlyph(TGlyphPicture::Clear, 16));
  ClearBitBtn->SetHint("清除日志");
  ClearBitBtn->OnClick = Bind(this, &TFWLogViewFrame::ClearBitBtnClick);

  Label2 = new CLabel(this, "Label2");
  Label2->SetParent(BtnPanel);
  Label2->SetBounds(468, 9, 64, 14);
  Label2->SetText("清除日志");
  Label2->OnClick = Bind(this, &TFWLogViewFrame::ClearBitBtnClick);

  LogMemo = new CLogMemo(this, "LogMemo");
  LogMemo->SetParent(this);
  LogMemo->SetAlign(TAlign::Client);

  OnResize = Bind(this, &TFWLogViewFrame::FrameResize);
}

void TFWLogViewFrame::FrameResize(CComponent*) {
  if (Initialised || ClearBitBtn->Handle() == nullptr) return;
  ClearBitBtn->ApplyFlatLook(0x8080);
  Initialised = true;
}

void TFWLogViewFrame::ClearBitBtnClick(CComponent*) { LogMemo->Clear(); }

void TFWLogViewFrame::AppendLog(const char* text) {
  // The text goes in as lines of its own with a line end after it, so a block that ends with
  // its own line end is followed by an empty line that keeps it apart from the next.
  std::string lines = text != nullptr ? text : "";
  lines += "\r\n";
  LogMemo->AppendLines(lines.c_str());
}
