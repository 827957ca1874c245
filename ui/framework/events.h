// Event slots: plain member-function handlers bound to an object, in the form's style
// (`EnableBtn->OnClick = Bind(this, &TFWMainForm::EnableBtnClick)`). Every event hands the
// sender first; the others add what the event is about.
#pragma once
#include <windows.h>

#include <functional>

class CComponent;

enum class TMouseButton { Left, Right, Middle };
// Modifier keys and buttons held, as the mouse and key messages report them.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssCtrl = 2, ssAlt = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;

using CNotifyEvent = std::function<void(CComponent* Sender)>;
// `Key` may be set to 0 to stop the key from doing anything else.
using CKeyEvent = std::function<void(CComponent* Sender, WORD& Key, TShiftState Shift)>;
// Coordinates are the control's own (its top left corner is 0, 0).
using CMouseEvent =
    std::function<void(CComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using CMouseMoveEvent = std::function<void(CComponent* Sender, TShiftState Shift, int X, int Y)>;
// A drawing surface and the area to draw, in the control's own coordinates.
using CPaintEvent = std::function<void(CComponent* Sender, HDC Surface, const RECT& Area)>;
// Set `Allow` to false to keep the current state (a page change, closing a form).
using CChangingEvent = std::function<void(CComponent* Sender, bool& Allow)>;

template <class T, class... Args>
std::function<void(CComponent*, Args...)> Bind(T* self, void (T::*handler)(CComponent*, Args...)) {
  return [self, handler](CComponent* sender, Args... args) {
    (self->*handler)(sender, std::forward<Args>(args)...);
  };
}

// Fires `event` when it is set.
template <class Event, class... Args>
inline void Fire(const Event& event, CComponent* sender, Args&&... args) {
  if (event) event(sender, std::forward<Args>(args)...);
}
