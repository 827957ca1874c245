#include "ui/framework/paintbox.h"

CPaintBox::CPaintBox(CComponent* owner, const char* name) : CControl(owner, name) { SetWindowless(); }

void CPaintBox::Paint(HDC dc) {
  RECT area = ClientRect();
  Fire(OnPaint, this, dc, area);
}
