// What a radio (or a server) sends reaches the log safe to read: terminal escape sequences and
// C1 bytes in a banner or a reply are written as "\xHH", the reply's line breaks as they came.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../cli/CliHarness.h"
#include "ScriptedRadio.h"

using namespace cli_test;

namespace {

TEST(UnsafeBytesTest, EscapeSequencesAndC1BytesAreLoggedEscapedWithTheLineBreaksKept) {
  Folder folder;
  net_test::ScriptedRadio radio(net_test::ScriptedRadio::Mode::kAnswer,
                                "\r\nWx 2410 v1.2\x1b]2;title\x07:",
                                "\x1b]0;pwned\x07\x9b"
                                "31m\\\r\n1A\r\n");
  CliRun run = RunCli({"read", "--port", radio.Port(), "--wait", "10"});
  const std::string log = ReadAll(folder.LogPath());
  EXPECT_NE(log.find("Banner: Wx 2410 v1.2\\x1B]2;title\\x07"), std::string::npos) << log;
  // The reply's own CR LF stay; the backslash it carried is doubled so the text reads back.
  EXPECT_NE(log.find("\\x1B]0;pwned\\x07\\x9B31m\\\\\r\n1A\r\n Len= "), std::string::npos) << log;
  for (char c : {'\x1b', '\x07', '\x9b'})
    EXPECT_EQ(log.find(c), std::string::npos) << "byte " << int(static_cast<unsigned char>(c));
  // Every line break in the log is a CR LF pair, as the log writes its lines.
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::count(log.begin(), log.end(), '\r'));
}

}  // namespace
