#include <gtest/gtest.h>

#include "platform/dialog/DialogTemplate.h"
#include "resources/resource.h"

using platform::ControlKind;

namespace {

TEST(DialogTemplate, TheProgramsScriptReadsWhole) {
  auto script = platform::ParseResourceScript(platform::EmbeddedResourceScript());
  EXPECT_EQ(script.error, "");
  EXPECT_EQ(script.dialogs.size(), 4u);
  ASSERT_NE(platform::FindIconResource(IDR_MAINFRAME), nullptr);
  EXPECT_NE(platform::FindIconResource(IDR_MAINFRAME)->find("XPM"), std::string::npos);
}

TEST(DialogTemplate, MainDialogHasItsControlsInTabOrderWhereTheyBelong) {
  const auto* d = platform::FindDialogTemplate(IDD_QELMCONFIG_DIALOG);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, u"TUVAR Config Tool ");
  EXPECT_EQ(d->cx, 145);
  EXPECT_EQ(d->cy, 113);
  EXPECT_EQ(d->pointSize, 8);
  EXPECT_EQ(d->font, u"MS Sans Serif");
  EXPECT_TRUE(d->sysMenu);
  struct Row {
    int id;
    ControlKind kind;
    const char16_t* text;
    int x, y, cx, cy;
    bool visible;
  };
  const Row rows[] = {
      {1007, ControlKind::PushButton, u"Co&nnect", 97, 3, 45, 14, true},
      {1010, ControlKind::PushButton, u"S&ervice", 97, 19, 45, 14, false},
      {1000, ControlKind::ComboBox, u"", 41, 3, 50, 78, true},
      {1001, ControlKind::ComboBox, u"", 41, 19, 50, 78, true},
      {1005, ControlKind::ComboBox, u"", 41, 40, 98, 78, true},
      {1002, ControlKind::ComboBox, u"", 27, 56, 34, 78, true},
      {1003, ControlKind::ComboBox, u"", 92, 56, 47, 78, true},
      {1018, ControlKind::PushButton, u"&About", 7, 76, 36, 14, true},
      {1016, ControlKind::PushButton, u"&Help", 102, 76, 36, 14, true},
      {1009, ControlKind::PushButton, u"&Default", 7, 93, 42, 14, true},
      {1008, ControlKind::PushButton, u"&Save", 52, 93, 42, 14, true},
      {1004, ControlKind::PushButton, u"&Close", 96, 93, 42, 14, true},
      {1017, ControlKind::Label, u"Mode:", 69, 58, 21, 8, true},
      {1055, ControlKind::Label, u"Device:", 7, 42, 26, 8, true},
      {1015, ControlKind::Label, u"Link:", 7, 59, 16, 8, true},
      {-1, ControlKind::GroupBox, u"", 3, 32, 139, 78, true},
      {1013, ControlKind::Label, u"Port:", 3, 5, 16, 8, true},
      {1014, ControlKind::Label, u"Baudrate:", 3, 21, 32, 8, true},
  };
  ASSERT_EQ(d->controls.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& c = d->controls[i];
    SCOPED_TRACE(rows[i].id);
    EXPECT_EQ(c.id, rows[i].id);
    EXPECT_EQ(c.kind, rows[i].kind);
    EXPECT_EQ(c.text, rows[i].text);
    EXPECT_EQ(c.x, rows[i].x);
    EXPECT_EQ(c.y, rows[i].y);
    EXPECT_EQ(c.cx, rows[i].cx);
    EXPECT_EQ(c.cy, rows[i].cy);
    EXPECT_EQ(c.visible, rows[i].visible);
    EXPECT_FALSE(c.disabled);
    EXPECT_NE(c.kind, ControlKind::DefPushButton);
    if (c.kind == ControlKind::ComboBox) {
      EXPECT_TRUE(c.vscroll);
      EXPECT_FALSE(c.sorted);
    }
  }
}

TEST(DialogTemplate, WaitingDialogHasNoCloseButton) {
  const auto* d = platform::FindDialogTemplate(IDD_WAITRADIO);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, u"Waiting for radio...");
  EXPECT_FALSE(d->sysMenu);
  ASSERT_NE(d->Control(IDC_WAIT_TEXT), nullptr);
  EXPECT_EQ(d->Control(IDC_WAIT_TEXT)->text,
            u"Please disconnect, then reconnect the cable to the radio.");
  EXPECT_EQ(d->Control(IDC_WAIT_TEXT)->align, platform::TextAlign::Center);
  EXPECT_EQ(d->Control(IDC_WAIT_CANCEL)->text, u"&Cancel");
}

TEST(DialogTemplate, ParserReportsTheLineItCannotRead) {
  auto bad = platform::ParseResourceScript(
      "1 DIALOG 0, 0, 10, 10\nCAPTION \"x\"\nBEGIN\n  PUSHBUTTON \"a\",UNKNOWN_ID,1,2,3,4\nEND\n");
  EXPECT_NE(bad.error.find(":4:"), std::string::npos) << bad.error;
  auto open = platform::ParseResourceScript("1 DIALOG 0, 0, 10, 10\nBEGIN\n");
  EXPECT_FALSE(open.error.empty());
  auto quoted = platform::ParseResourceScript(
      "1 DIALOG 0, 0, 10, 10\nCAPTION \"say \"\"hi\"\"\"\nBEGIN\nEND\n");
  ASSERT_EQ(quoted.error, "");
  EXPECT_EQ(quoted.dialogs[0].caption, u"say \"hi\"");
}

}  // namespace
