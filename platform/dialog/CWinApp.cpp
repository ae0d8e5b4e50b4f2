#include "platform/dialog/CWinApp.h"

#include <vector>

#include "platform/system/CodePage.h"

namespace platform {

namespace {
// The live application objects, newest last. Never destroyed: the program's application object
// is a static of another file, whose destructor may run after this file's statics are gone.
std::vector<CWinApp*>& Apps() {
  static auto* apps = new std::vector<CWinApp*>;
  return *apps;
}
}  // namespace

CWinApp::CWinApp(const char16_t* appName) : m_pszAppName(appName ? appName : u"") {
  Apps().push_back(this);
}

CWinApp::~CWinApp() {
  std::erase(Apps(), this);
}

CWinApp* AfxGetApp() {
  return Apps().empty() ? nullptr : Apps().back();
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
