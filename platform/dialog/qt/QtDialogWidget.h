#pragma once
// The Qt window of one dialog. It turns the keyboard and the title bar into the commands a
// dialog of the controller receives: Enter presses the focused push button (else the
// template's default push button, else it is the OK command), Escape and the close button are the
// cancel command, F1 asks for help, and a plain letter clicks the button it is the mnemonic of when
// the focused control does not take letters itself. Closing never hides the window by itself: the
// owning CDialog decides by ending the dialog.

#include <QDialog>
#include <vector>

namespace platform {

class CDialog;

class QtDialogWidget : public QDialog {
  Q_OBJECT

 public:
  QtDialogWidget(CDialog& owner, QWidget* parent);

  CDialog& Owner() const { return owner_; }
  // The controls in template order.
  void SetControls(std::vector<QWidget*> controls);
  const std::vector<QWidget*>& Controls() const { return controls_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PressEnter();
  bool PressMnemonic(const QString& typed);

  CDialog& owner_;
  std::vector<QWidget*> controls_;
};

}  // namespace platform
