#pragma once
// A message box of the controller's kind on a QMessageBox: the MB_ flags choose its buttons
// (OK, OK/Cancel, Yes/No, Yes/No/Cancel, Abort/Retry/Ignore, Retry/Cancel), its icon and
// its default button, and the button pressed is answered as an ID* value. Escape answers
// Cancel where there is one, otherwise the box's "no" answer (OK for a lone OK). A box left
// in any other way answers as Escape would.

#include <QString>

class QWidget;

namespace platform {

class QtMessageBox {
 public:
  QtMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type);

  // Shows the box modally and answers IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY or
  // IDIGNORE.
  int Run();

 private:
  QWidget* owner_;
  QString text_;
  QString caption_;
  unsigned type_;
};

}  // namespace platform
