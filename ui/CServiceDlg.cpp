#include "ui/CServiceDlg.h"

#include "radio/RadioTables.h"
#include "resources/resource.h"
#include "ui/CConfigDlg.h"

CServiceDlg::CServiceDlg(platform::CDialog* parent) : CDialog(IDD_SERVICE, parent) {
  OnHelpRequest([this] {
    if (main_) main_->OnHelp();
    return false;
  });
}

CServiceDlg::~CServiceDlg() = default;

bool CServiceDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  main_ = dynamic_cast<CConfigDlg*>(GetParent());

  ComboResetContent(IDC_BAND);
  for (auto band : radio::kBands) ComboAddString(IDC_BAND, std::u16string(band));
  ComboResetContent(IDC_POWER);
  for (auto power : radio::kPowers) ComboAddString(IDC_POWER, std::u16string(power));
  if (!main_) return true;

  const RadioSettings& s = main_->m_settings;
  ComboSetCurSel(IDC_BAND, radio::BandEntry(s.modelNumber, s.band));
  // The entry number is the register value; any other value selects nothing.
  ComboSetCurSel(IDC_POWER, s.transmitPower);
  return true;
}

void CServiceDlg::OnOK() {
  if (main_) {
    RadioSettings& s = main_->m_settings;
    const int band = ComboGetCurSel(IDC_BAND);
    if (band >= 0) s.band = radio::BandValue(s.modelNumber, band);
    const int power = ComboGetCurSel(IDC_POWER);
    if (power >= 0 && power != s.transmitPower) s.transmitPower = power;
  }
  CDialog::OnOK();
}
