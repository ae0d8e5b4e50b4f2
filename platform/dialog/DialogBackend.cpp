#include "platform/dialog/DialogBackend.h"

namespace platform {

namespace {

// Used when no backend has been installed: no window can be made, so every modal run ends at
// once; message boxes answer as if dismissed.
class NoBackend final : public DialogBackend {
 public:
  std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate&, CDialog&,
                                                   DialogWindow*) override {
    return nullptr;
  }
  int MessageBox(DialogWindow*, const std::u16string&, const std::u16string&, unsigned) override {
    return 0;
  }
  void MessageBeep(unsigned) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  bool PumpOneMessage() override { return false; }
  bool ShellOpen(DialogWindow*, const std::string&) override { return false; }
};

NoBackend noBackend;
DialogBackend* current = nullptr;

}  // namespace

DialogBackend& CurrentBackend() {
  if (current) return *current;
  return noBackend;
}

void SetBackend(DialogBackend* backend) {
  current = backend;
}

}  // namespace platform
