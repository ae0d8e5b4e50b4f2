// QELM Config: the configuration tool for the 2400/2410 spread-spectrum radio modem.
#include "app/CConfigApp.h"
#include "platform/qt/QtApplication.h"

// The one application object, made before main runs.
static CConfigApp theApp;

int main(int argc, char** argv) {
  platform::RunQtApplication(argc, argv);
  return 0;
}
