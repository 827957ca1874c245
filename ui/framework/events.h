// Event slots: plain member-function handlers bound to an object, in the form's style
// (`EnableBtn->OnClick = Bind(this, &TFWMainForm::EnableBtnClick)`).
#pragma once
#include <functional>

class CComponent;

using CNotifyEvent = std::function<void(CComponent* Sender)>;

template <class T>
CNotifyEvent Bind(T* self, void (T::*handler)(CComponent*)) {
  return [self, handler](CComponent* sender) { (self->*handler)(sender); };
}

// Fires `event` when it is set.
inline void Fire(const CNotifyEvent& event, CComponent* sender) {
  if (event) event(sender);
}
