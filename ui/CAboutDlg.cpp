#include "ui/CAboutDlg.h"

#include <vector>

#include "platform/system/ModulePath.h"
#include "platform/system/VersionResource.h"
#include "resources/resource.h"
#include "serial/RadioExchange.h"
#include "ui/BuildText.h"
#include "ui/CConfigDlg.h"

namespace {

const char16_t kStrings[] = u"\\StringFileInfo\\040904b0\\";

std::u16string VersionPart(const std::u16string& fileVersion) {
  auto first = fileVersion.find(u',');
  if (first == std::u16string::npos) return {};
  auto second = fileVersion.find(u',', first + 1);
  if (second == std::u16string::npos) return {};
  return fileVersion.substr(0, second);
}

}  // namespace

CAboutDlg::CAboutDlg(platform::CDialog* parent) : CDialog(IDD_ABOUTBOX, parent) {
  OnHelpRequest([this] {
    if (auto* main = dynamic_cast<CConfigDlg*>(GetParent())) main->OnHelp();
    return false;
  });
}

CAboutDlg::~CAboutDlg() = default;

std::u16string CAboutDlg::VersionText() {
  return VersionText(platform::ModuleFileName());
}

std::u16string CAboutDlg::VersionText(const std::u16string& programFile) {
  const uint32_t size = platform::GetFileVersionInfoSize(programFile);
  if (size == 0) return {};
  std::vector<char> info(size);
  if (!platform::GetFileVersionInfo(programFile, size, info.data())) return {};
  std::u16string fileVersion, specialBuild;
  if (!platform::VerQueryValue(info.data(), std::u16string(kStrings) + u"FileVersion",
                               &fileVersion))
    return {};
  if (!platform::VerQueryValue(info.data(), std::u16string(kStrings) + u"SpecialBuild",
                               &specialBuild))
    return {};
  return VersionPart(fileVersion) + u"  (Build " + specialBuild + u")";
}

bool CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemText(IDC_VERSION, u"Version: " + VersionText());
  SetDlgItemText(IDC_BUILDDATE, buildText);
  SetDlgItemText(IDC_FIRMWARE, firmwareLabel);
  return true;
}
