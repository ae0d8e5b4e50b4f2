// The process-wide setting of the Qt tests: one QApplication (offscreen unless a platform is
// chosen) and the Qt backend installed for the whole run.

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/qt/QtBackend.h"

namespace {

class QtTestEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = new QApplication(argc_, argv_);
    app_->setQuitOnLastWindowClosed(false);
    backend_ = new platform::QtBackend;
    platform::SetBackend(backend_);
  }
  void TearDown() override {
    platform::SetBackend(nullptr);
    delete backend_;
    delete app_;
  }

 private:
  int argc_ = 1;
  char name_[16] = "qelm_qt_tests";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
  platform::QtBackend* backend_ = nullptr;
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
