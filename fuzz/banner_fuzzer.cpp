// The banner parser: whatever the radio prints when it starts, ReadBanner ends with 0 or 1;
// on success the kept banner starts at its "W" and holds no line break, the firmware text has
// at most three characters, and the About box's label follows it (escaped).
#include <cstdint>
#include <string>

#include "fuzz/FuzzLine.h"
#include "platform/system/EscapedBytes.h"
#include "serial/RadioExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FuzzLine line;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  testing_support::FakeLine* l = line.Open();
  if (!l) fuzz::Broken("the scripted port opens");
  l->Arrive(bytes, 50, 20);
  BannerValues values;
  int r = ReadBanner(&values);
  if (r != 0 && r != 1) fuzz::Broken("ReadBanner answers 0 or 1");
  if (r != 0) return 0;
  const std::u16string& b = values.bannerText;
  if (b.empty() || b[0] != u'W') fuzz::Broken("the banner starts at its W");
  if (b.find(u'\r') != std::u16string::npos || b.find(u'\n') != std::u16string::npos)
    fuzz::Broken("the banner holds no line break");
  if (values.firmwareText.size() > 3) fuzz::Broken("the firmware text has three characters");
  if (firmwareLabel != u"Radio Firmware: " + platform::EscapeControlBytes(values.firmwareText))
    fuzz::Broken("the label");
  return 0;
}
