#include <gtest/gtest.h>

#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"
#include "radio/RadioTables.h"

namespace {

TEST(RadioTables, RateCodesPerModelWithoutTheFastRatesOn2400) {
  const char16_t* other[] = {u"2F", u"17", u"0F", u"0B", u"03", u"01"};
  const char16_t* old[] = {u"109", u"083", u"057", u"040"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(radio::RateCode(2410, i), std::u16string_view(other[i])) << i;
    EXPECT_EQ(radio::RateCode(2411, i), std::u16string_view(other[i])) << i;
    if (i < 4)
      EXPECT_EQ(radio::RateCode(2400, i), std::u16string_view(old[i])) << i;
    else
      EXPECT_FALSE(radio::RateCode(2400, i).has_value()) << i;
  }
  EXPECT_FALSE(radio::RateCode(2410, 6).has_value());
  EXPECT_FALSE(radio::RateCode(2410, -1).has_value());
  EXPECT_EQ(radio::BaudIndexForRateCode(2400, u"040"), 3);
  EXPECT_EQ(radio::BaudIndexForRateCode(2410, u"040"), -1);
}

TEST(RadioTables, DevicesAndTheProfileRegistersEachStores) {
  ASSERT_EQ(radio::DeviceList(2400).size(), 1u);
  EXPECT_TRUE(radio::DeviceList(2400)[0].usProfile);
  ASSERT_EQ(radio::DeviceList(2410).size(), 4u);
  EXPECT_EQ(radio::DeviceList(2410)[radio::kHandleDeviceIndex].text, u"Corax & Tanager");
  auto commands = [](int model, bool us) {
    std::vector<std::u16string> out;
    for (auto& r : radio::ProfileRegisters(model, us)) out.emplace_back(r.command);
    return out;
  };
  using V = std::vector<std::u16string>;
  EXPECT_EQ(commands(2400, false), (V{u"pr10"}));
  EXPECT_EQ(commands(2410, true), (V{u"pn1", u"pw30", u"pr10", u"wu01", u"dx04"}));
  EXPECT_EQ(commands(2410, false), (V{u"pn1", u"pw34", u"pr30", u"wu01", u"dx00"}));
  EXPECT_EQ(radio::ProfileRegisters(2410, false)[3].failureLine,
            u"ERROR: Could not set 'Point-To-Point' (service).");
}

TEST(RadioTables, BandsByModelAndLinkCommands) {
  EXPECT_EQ(radio::BandValue(2410, 0), 6);
  EXPECT_EQ(radio::BandValue(2400, 0), 1);
  EXPECT_EQ(radio::BandValue(2411, 0), 0);
  EXPECT_EQ(radio::BandValue(2410, 1), 0);
  EXPECT_EQ(radio::BandEntry(2410, 6), 0);
  EXPECT_EQ(radio::BandEntry(2400, 6), 1);
  EXPECT_EQ(radio::BandEntry(2400, 1), 0);
  EXPECT_EQ(radio::LinkCommand(12), u"wnc");
  EXPECT_EQ(radio::LinkCommand(9), u"wn9");
  EXPECT_EQ(radio::LinkCommand(10), u"wna");
  EXPECT_EQ(radio::Query(u"wb"), u"wb?");
  ASSERT_NE(radio::FindRegister(u"pw"), nullptr);
  EXPECT_TRUE(radio::FindRegister(u"pw")->query.empty());
  EXPECT_EQ(radio::FindRegister(u"xx"), nullptr);
}

TEST(RadioTables, TheHandleProfileSetCarriesTheLinkAndNamesRegistersOfTheTable) {
  const auto set = radio::HandleProfileRegisters(11);
  ASSERT_EQ(set.size(), 18u);
  EXPECT_EQ(set.front().command, u"sp00");
  EXPECT_EQ(set.back().command, u"zq0");
  int links = 0;
  for (const auto& r : set) {
    // Every command sets a register the table knows, and every one has its failure line.
    EXPECT_NE(radio::FindRegister(std::u16string_view(r.command).substr(0, 2)), nullptr)
        << platform::WideToUtf8(r.command);
    EXPECT_EQ(r.failureLine.rfind(u"ERROR: Could not set '", 0), 0u);
    if (r.command.rfind(u"wn", 0) == 0) {
      ++links;
      EXPECT_EQ(r.command, u"wnb");
    }
  }
  EXPECT_EQ(links, 1);
  EXPECT_EQ(radio::HandleProfileRegisters(3)[5].command, u"wn3");
}

TEST(RadioTables, TheMakersDefaultsByVariant) {
  const auto old = radio::MakerDefaultsFor(2400, true);
  EXPECT_EQ(old.bandCommand, u"pe1");
  EXPECT_EQ(radio::kBaudRates[old.rateIndex], u"19200");
  EXPECT_EQ(radio::RateCode(2400, old.rateIndex), std::u16string_view(u"040"));
  const auto us = radio::MakerDefaultsFor(2410, true);
  EXPECT_EQ(us.firstLine, u"Morva US defaults saved.");
  EXPECT_EQ(radio::kBaudRates[us.rateIndex], u"19200");
  EXPECT_EQ(us.rateCommand, u"sd0B");
  const auto swiss = radio::MakerDefaultsFor(2410, false);
  EXPECT_EQ(swiss.firstLine, u"Morva Swiss defaults saved.");
  EXPECT_EQ(swiss.bandCommand, u"pe06");
  EXPECT_EQ(radio::kBaudRates[swiss.rateIndex], u"115200");
  // The rate command is the rate code of the rate the radio answers at afterwards.
  for (const auto& v : {us, swiss})
    EXPECT_EQ(v.rateCommand.substr(2), radio::RateCode(2410, v.rateIndex));
}

TEST(ModulePath, IsTheRunningExecutable) {
  std::u16string path = platform::ModuleFileName();
  ASSERT_FALSE(path.empty());
  const auto slash = path.find_last_of(platform::kFolderSeparators);
  ASSERT_NE(slash, std::u16string::npos);
#ifdef _WIN32
  EXPECT_EQ(path.substr(slash + 1), u"qelm_tests.exe");
#else
  EXPECT_EQ(path.substr(slash + 1), u"qelm_tests");
#endif
  EXPECT_EQ(platform::ModuleFolder() + path[slash] + path.substr(slash + 1), path);
}

}  // namespace
