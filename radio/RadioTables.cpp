#include "radio/RadioTables.h"

namespace radio {

namespace {

constexpr std::array<std::u16string_view, 4> kRateCodes2400 = {u"109", u"083", u"057", u"040"};
constexpr std::array<std::u16string_view, 6> kRateCodesOther = {u"2F", u"17", u"0F",
                                                                u"0B", u"03", u"01"};

}  // namespace

std::optional<std::u16string_view> RateCode(int32_t modelNumber, int32_t baudIndex) {
  if (baudIndex < 0) return std::nullopt;
  size_t i = static_cast<size_t>(baudIndex);
  if (modelNumber == kModel2400) {
    if (i < kRateCodes2400.size()) return kRateCodes2400[i];
    return std::nullopt;
  }
  if (i < kRateCodesOther.size()) return kRateCodesOther[i];
  return std::nullopt;
}

int32_t BaudIndexForRateCode(int32_t modelNumber, std::u16string_view code) {
  for (int32_t i = 0; i < static_cast<int32_t>(kBaudRates.size()); ++i) {
    auto c = RateCode(modelNumber, i);
    if (c && *c == code) return i;
  }
  return -1;
}

const std::vector<DeviceEntry>& DeviceList(int32_t modelNumber) {
  static const std::vector<DeviceEntry> list2400 = {{u"Linnet & Pipit", true}};
  static const std::vector<DeviceEntry> listOther = {{u"Vireo A & Tanager", true},
                                                     {u"Vireo B & Tanager", true},
                                                     {u"Vireo B & Shrike", false},
                                                     {u"Corax & Tanager", false}};
  return modelNumber == kModel2400 ? list2400 : listOther;
}

std::vector<ProfileRegister> ProfileRegisters(int32_t modelNumber, bool usProfile) {
  const std::u16string_view retries = u"ERROR: Could not set 'packet delivery attempts'.";
  if (modelNumber == kModel2400) return {{u"pr10", retries}};
  return {{u"pn1", u"ERROR: Could not set 'max. remotes'."},
          {usProfile ? u"pw30" : u"pw34", u"ERROR: Could not set 'max. buffer size'."},
          {usProfile ? u"pr10" : u"pr30", retries},
          {u"wu01", u"ERROR: Could not set 'Point-To-Point' (service)."},
          {usProfile ? u"dx04" : u"dx00", u"ERROR: Could not set 'Range'."}};
}

std::vector<HandleRegister> HandleProfileRegisters(int32_t link) {
  return {
      {u"sp00", u"ERROR: Could not set 'Protocol Mode'."},
      {u"wb0", u"ERROR: Could not set 'Transceiver Mode'."},
      {u"wd30", u"ERROR: Could not set 'Default handle'."},
      {u"wg0", u"ERROR: Could not set 'Global network mode'."},
      {u"wl0", u"ERROR: Could not set 'Lock out key'."},
      {LinkCommand(link), u"ERROR: Could not set 'Link number'."},
      {u"wp1", u"ERROR: Could not set 'Transmit power'."},
      {u"wu1", u"ERROR: Could not set 'Point to point direct mode'."},
      {u"dx0", u"ERROR: Could not set 'Range optimisation'."},
      {u"pe6", u"ERROR: Could not set 'Frequency band setting'."},
      {u"pk01", u"ERROR: Could not set 'Minimum data length'."},
      {u"pr30", u"ERROR: Could not set 'No. of retries'."},
      {u"pt00", u"ERROR: Could not set 'Data transmit delay'."},
      {u"px0", u"ERROR: Could not set 'ARQ mode'."},
      {u"zb1", u"ERROR: Could not set 'Banner display'."},
      {u"zc1", u"ERROR: Could not set 'Escape sequence mode'."},
      {u"zp0", u"ERROR: Could not set 'Wake up duty cycle mode'."},
      {u"zq0", u"ERROR: Could not set 'Low power aquisition'."},
  };
}

MakerDefaults MakerDefaultsFor(int32_t modelNumber, bool usProfile) {
  constexpr int32_t k19200Index = 3;
  const std::u16string_view line =
      usProfile ? u"Morva US defaults saved." : u"Morva Swiss defaults saved.";
  if (modelNumber == kModel2400) return {line, u"pe1", u"sd040", k19200Index};
  if (usProfile) return {line, u"pe00", u"sd0B", k19200Index};
  return {line, u"pe06", u"sd01", kDefaultBaudIndex};
}

int32_t BandValue(int32_t modelNumber, int32_t bandEntry) {
  if (bandEntry != 0) return 0;
  if (modelNumber == kModel2410) return 6;
  if (modelNumber == kModel2400) return 1;
  return 0;
}

int32_t BandEntry(int32_t modelNumber, int32_t band) {
  if ((modelNumber == kModel2410 && band == 6) || (modelNumber == kModel2400 && band == 1))
    return 0;
  return 1;
}

const std::vector<Register>& RegisterTable() {
  static const std::vector<Register> table = {
      {u"wb", u"wb?", u"'Mode', 'Transceiver Mode', the transceiver mode"},
      {u"wn", u"wn?", u"'Link number'"},
      {u"dx", u"dx?", u"'Range', 'Range optimisation'"},
      {u"pe", u"pe?", u"'Freq. band', 'Frequency band', 'Frequency band setting', 'Band'"},
      {u"wp", u"wp?", u"'Transmit power'"},
      {u"wu", u"wu?", u"'Point to Point direct mode', 'Point-To-Point'"},
      {u"pn", u"pn?", u"'Max No. of remotes', 'max. remotes'"},
      {u"pr", u"pr?", u"'No. of retries', 'packet delivery attempts'"},
      {u"pw", u"", u"'max. buffer size'"},
      {u"sd", u"sd?", u"serial rate"},
      {u"sp", u"", u"'Protocol Mode'"},
      {u"wd", u"", u"'Default handle'"},
      {u"wg", u"", u"'Global network mode'"},
      {u"wl", u"", u"'Lock out key'"},
      {u"pk", u"", u"'Minimum data length'"},
      {u"pt", u"", u"'Data transmit delay'"},
      {u"px", u"", u"'ARQ mode'"},
      {u"zb", u"", u"'Banner display'"},
      {u"zc", u"", u"'Escape sequence mode'"},
      {u"zp", u"", u"'Wake up duty cycle mode'"},
      {u"zq", u"", u"'Low power aquisition'"},
      {u"wt", u"", u"'Channel access mode'"},
  };
  return table;
}

const Register* FindRegister(std::u16string_view name) {
  for (const auto& r : RegisterTable())
    if (r.name == name) return &r;
  return nullptr;
}

std::u16string Query(std::u16string_view reg) {
  return std::u16string(reg) + u"?";
}

std::u16string LinkCommand(int32_t link) {
  static const char16_t digits[] = u"0123456789abcdef";
  std::u16string cmd = u"wn";
  if (link >= 0 && link < 16) cmd += digits[link];
  return cmd;
}

}  // namespace radio
