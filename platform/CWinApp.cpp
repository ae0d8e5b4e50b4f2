#include "platform/CWinApp.h"

#include <vector>

#include "platform/CodePage.h"

namespace platform {

namespace {
std::vector<CWinApp*> apps;  // the live application objects, newest last
}

CWinApp::CWinApp(const char16_t* appName) : m_pszAppName(appName ? appName : u"") {
  apps.push_back(this);
}

CWinApp::~CWinApp() {
  std::erase(apps, this);
}

CWinApp* AfxGetApp() {
  return apps.empty() ? nullptr : apps.back();
}

std::u16string AfxAppName() {
  CWinApp* app = AfxGetApp();
  return app ? app->m_pszAppName : std::u16string();
}

std::u16string CommandLineText(int argc, char** argv) {
  std::u16string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += u' ';
    line += Utf8ToWide(argv[i]);
  }
  return line;
}

}  // namespace platform
