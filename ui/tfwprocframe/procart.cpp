// The process tree's pictures, drawn here: the generic program (a small program window with a
// blue title bar and a grey body) and the endpoint of the group and connection lines (two
// linked dots).
#include "ui/tfwprocframe/tfwprocframe.h"

#include "ui/framework/canvas.h"

HBITMAP MakeGenericProgramPicture() {
  CCanvas c(16, 16, kGlyphKeyColor);
  c.Fill(1, 2, 15, 14, RGB(60, 70, 90));     // frame
  c.Fill(2, 3, 14, 6, RGB(38, 110, 190));    // title bar
  c.Fill(2, 6, 14, 13, RGB(236, 238, 242));  // body
  c.Fill(12, 4, 13, 5, RGB(250, 250, 250));  // close box
  c.Fill(4, 8, 10, 9, RGB(150, 160, 175));   // two lines of text
  c.Fill(4, 10, 12, 11, RGB(150, 160, 175));
  return c.Take();
}

HBITMAP MakeEndpointPicture() {
  CCanvas c(16, 16, kGlyphKeyColor);
  c.Fill(4, 7, 12, 9, RGB(120, 130, 145));  // the link
  c.Shape(RGB(22, 70, 140), RGB(60, 150, 230));
  Ellipse(c.dc(), 1, 4, 8, 12);
  Ellipse(c.dc(), 8, 4, 15, 12);
  return c.Take();
}
