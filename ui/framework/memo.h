#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/framework/control.h"
#include "ui/framework/edit.h"
#include "ui/framework/gdi.h"

// A multi-line text area. Appending adds at the end without setting the whole text again,
// and the text has no size limit beyond the system's own.
class CMemo : public CControl {
 public:
  CMemo(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TMemo"; }
  void SetReadOnly(bool readOnly);
  void SetScrollBars(bool vertical, bool horizontal);
  void SetWordWrap(bool wrap) { wordWrap_ = wrap; }
  // Appends `text` as new lines at the end ("\r\n" or "\n" inside; a line end is added).
  void AppendLines(const char* text);
  void Clear();
  int LineCount() const;
  std::string AllText() const;
  uint32_t TextLength() const;

  CNotifyEvent OnChange;  // the text changed, by the user or the program
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  bool readOnly_ = false;
  bool vertical_ = true;
  bool horizontal_ = false;
  bool wordWrap_ = true;
};
