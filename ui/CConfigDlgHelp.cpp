// The main dialog's Service, About and Help buttons: the two secondary dialogs and the help
// file beside the program.
#include "platform/dialog/DialogBackend.h"
#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"
#include "ui/CConfigDlg.h"

void CConfigDlg::OnService() {
  LogLine(u"Button 'Service' pressed.");
  // The dialog writes its choice into the record itself; OK and Cancel end here alike.
  m_serviceDlg.DoModal();
  LogLine(u"Return from 'Service' dialog.");
}

void CConfigDlg::OnAbout() {
  LogLine(u"Button 'About' pressed.");
  m_aboutDlg.DoModal();
}

std::u16string CConfigDlg::HelpFilePath(const std::u16string& programFile) {
  // The folder as the program's path writes it, with its own separator ("\" on Windows).
  const auto slash = programFile.find_last_of(platform::kFolderSeparators);
  if (slash == std::u16string::npos) return {};
  return programFile.substr(0, slash + 1) + u"QELM_Help.htm";
}

void CConfigDlg::OnHelp() {
  // No log line and no message: a missing help file or a viewer that would not start is
  // simply not shown.
  const std::u16string path = HelpFilePath(platform::ModuleFileName());
  if (path.empty()) return;
  platform::CurrentBackend().ShellOpen(Window(), platform::WideToUtf8(path));
}
