#include "app/CConfigApp.h"

#include "ui/CConfigDlg.h"

namespace {

// The compiler's date is "Mmm dd yyyy" with the day padded by a blank; the label separates
// month, day and year by single blanks.
std::u16string BuildDate() {
  std::u16string out;
  for (const char* p = __DATE__; *p; ++p) {
    if (*p == ' ' && !out.empty() && out.back() == u' ') continue;
    out += static_cast<char16_t>(*p);
  }
  return out;
}

}  // namespace

const std::u16string buildText = u"Built on " + BuildDate();

CConfigApp::CConfigApp() : CWinApp(u"QELM Config") {}

bool CConfigApp::IsServiceCommandLine(const std::u16string& commandLine) {
  static const std::u16string option = u"/Service";
  if (commandLine.size() != option.size()) return false;
  for (size_t i = 0; i < option.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(commandLine[i]) != lower(option[i])) return false;
  }
  return true;
}

bool CConfigApp::InitInstance() {
  // The dialog's construction opens the log; its destruction closes and trims it.
  CConfigDlg dlg;
  m_pMainWnd = &dlg;
  dlg.m_settings.serviceMode = IsServiceCommandLine(m_lpCmdLine);
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return false;
}
