// The Qt backend's services besides windows: wait cursor, one-message pump and the desktop's
// file opener.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogBackend.h"

using namespace platform;

namespace {

TEST(QtBackendServices, WaitCursorNestsAndNeverPopsMoreThanItPushed) {
  QApplication::setOverrideCursor(Qt::PointingHandCursor);  // someone else's
  BeginWaitCursor();
  {
    CWaitCursor inner;
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EndWaitCursor();
  EndWaitCursor();
  EndWaitCursor();
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
  QApplication::restoreOverrideCursor();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtBackendServices, PumpDeliversWhatIsWaitingWithoutBlocking) {
  while (PumpOneMessage()) {
  }
  int delivered = 0;
  QMetaObject::invokeMethod(
      qApp, [&] { ++delivered; }, Qt::QueuedConnection);
  EXPECT_TRUE(PumpOneMessage());
  EXPECT_EQ(delivered, 1);
  EXPECT_FALSE(PumpOneMessage());
}

// Stands in for the desktop: takes the URLs the backend asks to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls.push_back(url); }
};

TEST(QtBackendServices, ShellOpenAsksTheDesktopForTheAbsoluteFile) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString before = QDir::currentPath();
  QDir::setCurrent(folder.path());
  QFile file("QELM_Help.htm");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  const bool opened = CurrentBackend().ShellOpen(nullptr, "QELM_Help.htm");
  QDesktopServices::unsetUrlHandler("file");
  QDir::setCurrent(before);
  EXPECT_TRUE(opened);
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(catcher.urls[0], QUrl::fromLocalFile(folder.filePath("QELM_Help.htm")));
}

TEST(QtBackendServices, ShellOpenOfAMissingFileStartsNothing) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  const bool missing =
      CurrentBackend().ShellOpen(nullptr, folder.filePath("QELM_Help.htm").toStdString());
  const bool aFolder = CurrentBackend().ShellOpen(nullptr, folder.path().toStdString());
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(aFolder);
  EXPECT_TRUE(catcher.urls.empty());
}

}  // namespace

#include "QtBackendServicesTest.moc"
