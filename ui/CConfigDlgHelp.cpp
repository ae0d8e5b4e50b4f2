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

namespace {
// The folder separators of the program's path: Windows takes both, and gives a backslash.
#ifdef _WIN32
constexpr char16_t kSeparators[] = u"\\/";
constexpr char16_t kHelpFile[] = u"\\QELM_Help.htm";
#else
constexpr char16_t kSeparators[] = u"/";
constexpr char16_t kHelpFile[] = u"/QELM_Help.htm";
#endif
}  // namespace

std::u16string CConfigDlg::HelpFilePath(const std::u16string& programFile) {
  const auto slash = programFile.find_last_of(kSeparators);
  if (slash == std::u16string::npos) return {};
  return programFile.substr(0, slash) + kHelpFile;
}

void CConfigDlg::OnHelp() {
  // No log line and no message: a missing help file or a viewer that would not start is
  // simply not shown.
  const std::u16string path = HelpFilePath(platform::ModuleFileName());
  if (path.empty()) return;
  platform::CurrentBackend().ShellOpen(Window(), platform::WideToUtf8(path));
}
