#include "app/CConfigApp.h"

#include "ui/CConfigDlg.h"

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
