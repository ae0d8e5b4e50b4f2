#pragma once
// The Qt window of one dialog. It turns the keyboard and the title bar into the commands a
// dialog of the controller receives: Enter is the OK command (or clicks the template's
// default push button), Escape and the close button are the cancel command, F1 asks for help,
// and a plain letter clicks the button it is the mnemonic of when the focused control does
// not take letters itself. Closing never hides the window by itself: the owning CDialog
// decides by ending the dialog.

#include <QDialog>
#include <vector>

class QPushButton;

namespace platform {

class CDialog;

class QtDialogWidget : public QDialog {
  Q_OBJECT

 public:
  QtDialogWidget(CDialog& owner, QWidget* parent);

  CDialog& Owner() const { return owner_; }
  // The controls in template order and the default push button (nullptr when none).
  void SetControls(std::vector<QWidget*> controls, QPushButton* defaultButton);
  const std::vector<QWidget*>& Controls() const { return controls_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PressEnter();
  bool PressMnemonic(const QString& typed);

  CDialog& owner_;
  std::vector<QWidget*> controls_;
  QPushButton* defaultButton_ = nullptr;
};

}  // namespace platform
