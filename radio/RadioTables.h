#pragma once
// The radio's vocabulary, defined once: the two known models, the serial rates and their "sd"
// codes per model, the device list with the profile registers each entry stores, the mode,
// band and power values, and the register table (every register the tool sends or queries,
// with its query and the names the messages give it). Plain constant data; nothing here fails.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace radio {

constexpr int32_t kModel2400 = 2400;
constexpr int32_t kModel2410 = 2410;

// The Baudrate combo's entries, in order; the entry index is the rate's index everywhere.
constexpr std::array<std::u16string_view, 6> kBaudRates = {u"4800",  u"9600",  u"14400",
                                                           u"19200", u"57600", u"115200"};
constexpr int32_t kDefaultBaudIndex = 5;

// The code sent after "sd" to switch the radio to the rate of a Baudrate entry. Model 2400
// knows only the first four rates.
std::optional<std::u16string_view> RateCode(int32_t modelNumber, int32_t baudIndex);
// The Baudrate entry whose rate a code selects for a model, or -1.
int32_t BaudIndexForRateCode(int32_t modelNumber, std::u16string_view code);

constexpr std::array<std::u16string_view, 2> kModes = {u"Remote", u"Base"};
constexpr int32_t kLinkCount = 16;  // "0" to "15"

struct DeviceEntry {
  std::u16string_view text;
  bool usProfile;  // what choosing the entry sets
};
// The Device combo's entries for a model: one for 2400, four for every other number.
const std::vector<DeviceEntry>& DeviceList(int32_t modelNumber);
constexpr int32_t kHandleDeviceIndex = 3;  // "Corax & Tanager", the handle profile

// The profile registers a store sends after the common sequence, in order, with the name its
// failure line gives ("ERROR: Could not set '<name>'."; the point-to-point one adds
// " (service)").
struct ProfileRegister {
  std::u16string_view command;
  std::u16string_view failureLine;
};
std::vector<ProfileRegister> ProfileRegisters(int32_t modelNumber, bool usProfile);

// The handle profile's own complete set, in the order its store sends it, each with its
// failure line; the link register carries the chosen link (see LinkCommand; an invalid link
// leaves its command as the bare "wn").
struct HandleRegister {
  std::u16string command;
  std::u16string_view failureLine;
};
std::vector<HandleRegister> HandleProfileRegisters(int32_t link);

// What the maker's reset leaves, by variant (model 2400; the US and Swiss variants of the
// others): the log line that opens it, the band command, the rate the radio answers at
// afterwards (a Baudrate entry) and the command that switches it there.
struct MakerDefaults {
  std::u16string_view firstLine;
  std::u16string_view bandCommand;
  std::u16string_view rateCommand;
  int32_t rateIndex;
};
MakerDefaults MakerDefaultsFor(int32_t modelNumber, bool usProfile);
// Model 2400 also gets its channel access mode after the maker's reset.
constexpr std::u16string_view kChannelAccessCommand = u"wt1";

// Frequency band values behind the service dialog's two entries, by model.
constexpr std::array<std::u16string_view, 2> kBands = {u"Morva Worldwide", u"Morva USA"};
int32_t BandValue(int32_t modelNumber, int32_t bandEntry);
// The entry the service dialog shows for a band value.
int32_t BandEntry(int32_t modelNumber, int32_t band);
constexpr std::array<std::u16string_view, 2> kPowers = {u"Low 10mW", u"High 100mW (def.)"};

// The handle profile may be stored only into firmware from this version on.
constexpr double kHandleFirmware = 5.4;

// The register table.
struct Register {
  std::u16string_view name;   // two letters
  std::u16string_view query;  // empty when the register is never queried
  std::u16string_view names;  // the names the messages give it, for reference
};
const std::vector<Register>& RegisterTable();
const Register* FindRegister(std::u16string_view name);

// Commands that are not registers.
constexpr std::u16string_view kEnterCommandMode = u":wit2400";
constexpr std::u16string_view kMakerReset = u"m0";
constexpr std::u16string_view kStore = u"m>";
constexpr std::u16string_view kEndCommands = u"z>";

// The query of a register ("wb" -> "wb?").
std::u16string Query(std::u16string_view reg);
// A link number as the "wn" set sends it: one lower-case hexadecimal digit.
std::u16string LinkCommand(int32_t link);

}  // namespace radio
