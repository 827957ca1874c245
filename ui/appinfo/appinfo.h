// Who a program is, as the prompt, the audit cards and the new application dialog show it:
// the shell's icon for its file, the description, version and company from its version
// record, and its path. Each of those windows derives from CAppInfoGroup, places the
// controls its own way (a layout) and fills them from a path.
#pragma once
#include <memory>

#include "ui/framework/controls.h"
#include "ui/framework/fileinfo.h"

// The component names and texts of the captions of the description, version, company and
// path lines. The values are always DescLabel, VersionLabel, CompanyLabel and PathLabel.
struct CAppInfoCaptions {
  const char* names[4];
  const char* texts[4];
};
// As the prompt and the new application dialog name them.
extern const CAppInfoCaptions kAppInfoDialogCaptions;

struct CAppInfoLayout {
  // A caption (14 high) and the value beside it.
  struct Line {
    int captionLeft, captionTop, captionWidth;
    int valueLeft, valueTop, valueWidth, valueHeight;
  };
  const CAppInfoCaptions* captions;
  int iconLeft, iconTop;  // 32 x 32
  Line lines[4];          // description, version, company, path
  // The path on several lines; else on one, its folders cut short so the file name stays.
  bool wrapPath;
  // "无描述信息" and the like for a string the file lacks; else the value stays empty.
  bool sayMissing;
};

class CAppInfoGroup {
 public:
  CAppInfoGroup(const CAppInfoGroup&) = delete;
  CAppInfoGroup& operator=(const CAppInfoGroup&) = delete;

  // Made by CreateAppInfoGroup; owned by the window. The captions are found by name.
  CImage* IconImage = nullptr;
  CLabel *DescLabel = nullptr, *VersionLabel = nullptr, *CompanyLabel = nullptr, *PathLabel = nullptr;

 protected:
  CAppInfoGroup() = default;
  ~CAppInfoGroup();

  // Creates the controls on `parent`, owned by `owner`: the icon, then each line's caption and
  // value in the layout's order.
  void CreateAppInfoGroup(CComponent* owner, CControl* parent, const CAppInfoLayout& layout);
  // Fills them from the program at `path` (nullptr: an empty path); the path's hint shows it
  // whole.
  void ShowProgramInfo(const char* path);

 private:
  bool sayMissing_ = false;
  std::unique_ptr<CShellFileInfo> shellInfo_;  // owns the icon IconImage shows
};
