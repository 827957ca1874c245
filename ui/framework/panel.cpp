#include "ui/framework/panel.h"

CPanel::CPanel(CComponent* owner, const char* name) : CControl(owner, name) {}

void CPanel::CreateParams(CCreateParams& params) { params.exStyle |= WS_EX_CONTROLPARENT; }

void CPanel::PaintSurface(HDC dc, const RECT& area) {
  if (transparent_ && Parent() != nullptr) Parent()->PaintUnder(this, dc);
  else CControl::PaintSurface(dc, area);
}

void CPanel::Paint(HDC dc) {
  RECT client = ClientRect();
  PaintSurface(dc, client);
  if (bevel_ != TBevel::None)
    DrawEdge(dc, &client, bevel_ == TBevel::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
}
