#include "platform/dialog/CDialog.h"

#include "platform/dialog/CWinApp.h"

namespace platform {

namespace {

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  return true;
}

}  // namespace

CDialog::CDialog(int templateId, CDialog* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
  // The owner takes no commands while its modal child is up, whatever reaches its window
  // (a queued click, a key the child's pump dispatches): one procedure at a time.
  struct ModalChild {
    CDialog* parent;
    explicit ModalChild(CDialog* p) : parent(p) {
      if (parent) ++parent->modalChildren_;
    }
    ~ModalChild() {
      if (parent) --parent->modalChildren_;
    }
  } guard(parent_);
  if (!MakeWindow()) return -1;
  int result = -1;
  if (window_->CreatedByModalRun()) {
    result = window_->RunModalCreating([this] { OnInitDialog(); });
  } else {
    OnInitDialog();
    result = ending_ ? endResult_ : window_->RunModal();
  }
  window_.reset();
  return result;
}

bool CDialog::Create() {
  if (!MakeWindow()) return false;
  if (!window_->Realize()) {
    window_.reset();
    return false;
  }
  OnInitDialog();
  return true;
}

bool CDialog::MakeWindow() {
  const DialogTemplate* tpl = FindDialogTemplate(templateId_);
  if (!tpl) return false;
  ending_ = false;
  endResult_ = IDCANCEL;
  DialogWindow* parentWindow = parent_ ? parent_->Window() : nullptr;
  window_ = CurrentBackend().CreateDialogWindow(*tpl, *this, parentWindow);
  return window_ != nullptr;
}

void CDialog::DestroyWindow() {
  window_.reset();
}

void CDialog::EndDialog(int result) {
  ending_ = true;
  endResult_ = result;
  if (window_) window_->EndModal(result);
}

void CDialog::DispatchButton(int controlId) {
  if (!window_ || HasModalChild()) return;
  auto it = buttonHandlers_.find(controlId);
  if (it != buttonHandlers_.end() && it->second) {
    it->second();
  } else if (controlId == IDOK) {
    OnOK();
  } else if (controlId == IDCANCEL) {
    OnCancel();
  }
}

void CDialog::DispatchSelChange(int controlId) {
  if (!window_ || HasModalChild()) return;
  auto it = selChangeHandlers_.find(controlId);
  if (it != selChangeHandlers_.end() && it->second) it->second();
}

void CDialog::DispatchTimer(int timerId) {
  if (window_ && !HasModalChild() && timerHandler_) timerHandler_(timerId);
}

void CDialog::DispatchHelp() {
  if (window_ && !HasModalChild() && helpHandler_) helpHandler_();
}

void CDialog::DispatchEnter(int focusedControlId) {
  if (!window_ || HasModalChild()) return;
  const DialogTemplate* tpl = FindDialogTemplate(templateId_);
  auto isButton = [](const ControlTemplate* c) {
    return c && (c->kind == ControlKind::PushButton || c->kind == ControlKind::DefPushButton);
  };
  const ControlTemplate* focused =
      tpl && focusedControlId != IDC_STATIC ? tpl->Control(focusedControlId) : nullptr;
  if (isButton(focused) && IsControlVisible(focused->id) && IsControlEnabled(focused->id)) {
    DispatchButton(focused->id);
    return;
  }
  if (tpl) {
    for (const ControlTemplate& c : tpl->controls) {
      if (c.kind != ControlKind::DefPushButton || !IsControlVisible(c.id)) continue;
      if (IsControlEnabled(c.id))
        DispatchButton(c.id);
      else
        MessageBeep(MB_OK);
      return;
    }
  }
  DispatchOk();
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::DoDataExchange(bool) {}

bool CDialog::UpdateData(bool save) {
  DoDataExchange(save);
  return true;
}

void CDialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

void CDialog::OnButtonClicked(int controlId, std::function<void()> handler) {
  buttonHandlers_[controlId] = std::move(handler);
}

void CDialog::OnSelChange(int controlId, std::function<void()> handler) {
  selChangeHandlers_[controlId] = std::move(handler);
}

void CDialog::OnTimerMessage(std::function<void(int)> handler) {
  timerHandler_ = std::move(handler);
}

void CDialog::OnHelpRequest(std::function<bool()> handler) {
  helpHandler_ = std::move(handler);
}

void CDialog::EnableControl(int id, bool enable) {
  if (window_) window_->SetEnabled(id, enable);
}

bool CDialog::IsControlEnabled(int id) const {
  return window_ && window_->IsEnabled(id);
}

void CDialog::ShowControl(int id, int showCommand) {
  if (window_) window_->SetVisible(id, showCommand != SW_HIDE);
}

bool CDialog::IsControlVisible(int id) const {
  return window_ && window_->IsVisible(id);
}

void CDialog::SetDlgItemText(int id, const std::u16string& text) {
  if (window_) window_->SetText(id, text);
}

std::u16string CDialog::GetDlgItemText(int id) const {
  return window_ ? window_->GetText(id) : std::u16string();
}

void CDialog::ComboResetContent(int id) {
  if (window_) window_->ComboReset(id);
}

int CDialog::ComboAddString(int id, const std::u16string& text) {
  return window_ ? window_->ComboAdd(id, text) : CB_ERR;
}

int CDialog::ComboGetCount(int id) const {
  return window_ ? window_->ComboCount(id) : 0;
}

std::u16string CDialog::ComboGetItem(int id, int index) const {
  return window_ ? window_->ComboItem(id, index) : std::u16string();
}

int CDialog::ComboGetCurSel(int id) const {
  return window_ ? window_->ComboGetSel(id) : CB_ERR;
}

void CDialog::ComboSetCurSel(int id, int index) {
  if (window_) window_->ComboSetSel(id, index);
}

int CDialog::ComboSelectString(int id, int startAfter, const std::u16string& prefix) {
  if (!window_) return CB_ERR;
  int count = window_->ComboCount(id);
  // The search starts after startAfter and wraps round to the top, as the list box does.
  for (int k = 0; k < count; ++k) {
    int i = (startAfter + 1 + k) % count;
    if (startAfter < -1 || startAfter >= count) i = k;
    if (StartsWithNoCase(window_->ComboItem(id, i), prefix)) {
      window_->ComboSetSel(id, i);
      return i;
    }
  }
  return CB_ERR;
}

void CDialog::SetIcon(int iconResourceId) {
  if (window_) window_->SetIcon(iconResourceId);
}

void CDialog::MoveWindowTo(int x, int y) {
  if (window_) window_->MoveTo(x, y);
}

void CDialog::SetTimer(int timerId, unsigned periodMs) {
  if (window_) window_->SetTimer(timerId, periodMs);
}

void CDialog::KillTimer(int timerId) {
  if (window_) window_->KillTimer(timerId);
}

int CDialog::MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) {
  return CurrentBackend().MessageBox(window_.get(), text, caption.empty() ? AfxAppName() : caption,
                                     type);
}

void MessageBeep(unsigned type) {
  CurrentBackend().MessageBeep(type);
}
void BeginWaitCursor() {
  CurrentBackend().BeginWaitCursor();
}
void EndWaitCursor() {
  CurrentBackend().EndWaitCursor();
}
bool PumpOneMessage() {
  return CurrentBackend().PumpOneMessage();
}

int MessageBoxNoOwner(const std::u16string& text, const std::u16string& caption, unsigned type) {
  return CurrentBackend().MessageBox(nullptr, text, caption.empty() ? AfxAppName() : caption, type);
}

}  // namespace platform
