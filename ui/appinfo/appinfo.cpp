#include "ui/appinfo/appinfo.h"

#include <string>

const CAppInfoCaptions kAppInfoDialogCaptions = {{"Label10", "Label11", "Label3", "Label12"},
                                                 {"程序描述:", "版本:", "公司:", "程序路径:"}};

CAppInfoGroup::~CAppInfoGroup() = default;

void CAppInfoGroup::CreateAppInfoGroup(CComponent* owner, CControl* parent, const CAppInfoLayout& layout) {
  static const char* const kValueNames[4] = {"DescLabel", "VersionLabel", "CompanyLabel", "PathLabel"};
  CLabel** values[4] = {&DescLabel, &VersionLabel, &CompanyLabel, &PathLabel};
  sayMissing_ = layout.sayMissing;
  IconImage = NewControl<CImage>(owner, parent, "IconImage", layout.iconLeft, layout.iconTop, 32, 32);
  IconImage->SetCenter(true);
  for (int i = 0; i < 4; ++i) {
    const CAppInfoLayout::Line& line = layout.lines[i];
    NewControl<CLabel>(owner, parent, layout.captions->names[i], line.captionLeft, line.captionTop,
                       line.captionWidth, 14, layout.captions->texts[i]);
    *values[i] = NewControl<CLabel>(owner, parent, kValueNames[i], line.valueLeft, line.valueTop, line.valueWidth,
                                    line.valueHeight);
  }
  if (layout.wrapPath) PathLabel->SetWordWrap(true);
  else PathLabel->SetAlignment(DT_LEFT | DT_PATH_ELLIPSIS);
}

void CAppInfoGroup::ShowProgramInfo(const char* path) {
  if (path == nullptr) path = "";
  auto info = std::make_unique<CShellFileInfo>(path);
  IconImage->SetIcon(info->Icon());
  shellInfo_ = std::move(info);  // the old icon goes only after the image has the new one
  const struct {
    CLabel* label;
    const char* name;
    const char* missing;
  } strings[] = {{DescLabel, "FileDescription", "无描述信息"},
                 {VersionLabel, "FileVersion", "无版本信息"},
                 {CompanyLabel, "CompanyName", "无公司信息"}};
  for (const auto& s : strings) {
    std::string text = ReadVersionString(path, s.name);
    s.label->SetText(text.empty() && sayMissing_ ? s.missing : text.c_str());
  }
  PathLabel->SetText(path);
  PathLabel->SetHint(path);
}
