// One call that creates a named control in its place, so that a window's constructor reads
// like its form:  Label12 = NewControl<CLabel>(this, Panel2, "Label12", 20, 2, 16, 16, "－");
#pragma once
#include "ui/framework/control.h"

// `owner` destroys the control; `parent` holds it on screen (its window is made at once
// when the parent has one).
template <class T>
T* NewControl(CComponent* owner, CControl* parent, const char* name, int left, int top, int width,
              int height, const char* caption = nullptr) {
  T* control = new T(owner, name);
  control->SetBounds(left, top, width, height);
  if (caption != nullptr) control->SetText(caption);
  control->SetParent(parent);
  return control;
}
