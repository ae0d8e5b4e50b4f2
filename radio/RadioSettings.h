#pragma once
// What the tool knows about the connected radio and what the user has chosen: the radio's
// identity from its banner, the choices shown in the main dialog (by text, as the combo boxes
// show them), the rate the port is open at, the connection flags and the snapshot taken when
// the settings were read, against which unsaved changes are judged. A plain record, owned by
// the main dialog; it holds its starting values until a radio is connected.
//
// Besides what the dialog shows, the reading keeps every register value it parsed, and a store
// or reset reports what it did on the wire to a progress record when the owner gives one.

#include <cstdint>
#include <map>
#include <string>

namespace radio {
class StoreProgress;
}

struct RadioSettings {
  bool serviceMode = false;
  bool connected = false;
  std::u16string portBaudText = u"115200";
  int32_t modelNumber = 2410;
  double firmwareVersion = -1.0;
  std::u16string firmwareText;
  int32_t readBaudIndex = -1;
  int32_t readLink = -1;
  int32_t readMode = -1;
  // Power and band have no value before the first reading; they start at 0 here, which no
  // comparison sees because nothing counts as unsaved before a reading.
  int32_t readPower = 0;
  int32_t transmitPower = 0;
  int32_t readBand = 0;
  int32_t band = 0;
  int32_t readDevice = -1;
  bool usProfile = false;
  bool internalRadio = false;
  std::u16string deviceText;
  std::u16string linkText;
  std::u16string modeText;
  std::u16string baudText = u"115200";
  std::u16string portName = u"COM1";
  int32_t modeIndex = -1;
  std::u16string bannerText;
  int32_t deviceIndex = -1;
  bool settingsRead = false;
  int32_t defaultBaudIndex = 5;
  // Register (two letters) to value, as the last reading parsed each answer.
  std::map<std::string, int32_t> readValues;
  // Filled by the store and reset sequences when set; owned by whoever runs them.
  radio::StoreProgress* storeProgress = nullptr;
};
