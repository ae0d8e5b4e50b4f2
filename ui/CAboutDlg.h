#pragma once
// The About box: the product name, the version read from the program's own version resource,
// the build date, our notice and the connected radio's firmware ("Radio Firmware: Not
// Connected" while no radio is connected). It holds no state: every opening reads the version
// resource again and shows the current firmware label. The help request (F1) opens the help
// file as the main dialog's Help button does and leaves the box open.
//
// Nothing here fails: a program file without a readable version resource, or one that lacks
// FileVersion or SpecialBuild, shows "Version: " and nothing after it.

#include <string>

#include "platform/dialog/CDialog.h"

class CAboutDlg : public platform::CDialog {
 public:
  explicit CAboutDlg(platform::CDialog* parent);
  ~CAboutDlg() override;

  // The version part of FileVersion (up to its second comma, "1, 0"), two blanks and
  // "(Build <SpecialBuild>)", read from the running program's file; empty when FileVersion or
  // SpecialBuild is missing. A FileVersion with fewer than two commas gives an empty version
  // part.
  static std::u16string VersionText();
  // The same for any program file.
  static std::u16string VersionText(const std::u16string& programFile);

 protected:
  bool OnInitDialog() override;
};
