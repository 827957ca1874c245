#include "ui/framework/bevel.h"

CBevel::CBevel(CComponent* owner, const char* name) : CControl(owner, name) { SetWindowless(); }

void CBevel::Paint(HDC dc) {
  RECT r = ClientRect();
  bool lowered = style_ == TBevelStyle::Lowered;
  UINT edge = lowered ? EDGE_ETCHED : EDGE_BUMP;
  switch (shape_) {
    case TBevelShape::Box: DrawEdge(dc, &r, lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT); break;
    case TBevelShape::Frame: DrawEdge(dc, &r, edge, BF_RECT); break;
    case TBevelShape::TopLine: DrawEdge(dc, &r, edge, BF_TOP); break;
    case TBevelShape::BottomLine: r.top = r.bottom - 2; DrawEdge(dc, &r, edge, BF_TOP); break;
    case TBevelShape::LeftLine: DrawEdge(dc, &r, edge, BF_LEFT); break;
    case TBevelShape::RightLine: r.left = r.right - 2; DrawEdge(dc, &r, edge, BF_LEFT); break;
  }
}
