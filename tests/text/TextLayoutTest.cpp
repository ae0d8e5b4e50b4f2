// The cell layout of the program's four dialog templates: where each control lands, that
// every dialog fits an 80 by 24 terminal, that nothing that takes input overlaps, and that
// every label and button shows its whole text.
#include <gtest/gtest.h>

#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/text/TextLayout.h"
#include "platform/system/SafeText.h"
#include "resources/resource.h"

using namespace platform;

namespace {

const DialogTemplate& Template(int id) {
  const DialogTemplate* tpl = FindDialogTemplate(id);
  if (!tpl) throw std::runtime_error("template missing");
  return *tpl;
}

CellRect RectOf(const DialogTemplate& tpl, const DialogCells& cells, int id) {
  for (size_t i = 0; i < tpl.controls.size(); ++i)
    if (tpl.controls[i].id == id) return cells.controls[i].rect;
  ADD_FAILURE() << "no control " << id;
  return {};
}

bool TakesInput(ControlKind k) {
  return k == ControlKind::PushButton || k == ControlKind::DefPushButton ||
         k == ControlKind::ComboBox;
}

const int kTemplates[] = {IDD_QELMCONFIG_DIALOG, IDD_WAITRADIO, IDD_SERVICE, IDD_ABOUTBOX};

}  // namespace

TEST(TextLayout, MainDialogRowsAndColumns) {
  const DialogTemplate& tpl = Template(IDD_QELMCONFIG_DIALOG);
  const DialogCells cells = LayoutDialog(tpl);
  EXPECT_EQ(cells.width, 37);
  EXPECT_EQ(cells.height, 14);

  // Each row of the template keeps its controls side by side in one row of cells.
  EXPECT_EQ(RectOf(tpl, cells, IDC_CONNECT).y, 0);
  EXPECT_EQ(RectOf(tpl, cells, IDC_PORT).y, 0);
  EXPECT_EQ(RectOf(tpl, cells, IDC_PORT_LABEL).y, 0);
  EXPECT_EQ(RectOf(tpl, cells, IDC_SERVICE).y, 2);
  EXPECT_EQ(RectOf(tpl, cells, IDC_BAUDRATE).y, 2);
  EXPECT_EQ(RectOf(tpl, cells, IDC_BAUDRATE_LABEL).y, 2);
  EXPECT_EQ(RectOf(tpl, cells, IDC_DEVICE).y, 5);
  EXPECT_EQ(RectOf(tpl, cells, IDC_DEVICE_LABEL).y, 5);
  for (int id : {IDC_LINK, IDC_LINK_LABEL, IDC_MODE, IDC_MODE_LABEL})
    EXPECT_EQ(RectOf(tpl, cells, id).y, 7) << id;
  EXPECT_EQ(RectOf(tpl, cells, IDC_ABOUT).y, 10);
  EXPECT_EQ(RectOf(tpl, cells, IDC_HELPBUTTON).y, 10);
  for (int id : {IDC_DEFAULT, IDC_SAVE, IDC_CLOSE}) EXPECT_EQ(RectOf(tpl, cells, id).y, 12);

  // The group frame spans rows 4 to 13 and leaves a blank column on either side.
  const CellRect group = cells.controls[15].rect;
  EXPECT_EQ(tpl.controls[15].kind, ControlKind::GroupBox);
  EXPECT_EQ(group.y, 4);
  EXPECT_EQ(group.y + group.h - 1, 13);
  EXPECT_EQ(group.x, 1);
  EXPECT_EQ(group.x + group.w, cells.width - 1);

  // Lists open with eight entries, so the sixteen link numbers scroll.
  EXPECT_EQ(cells.controls[5].listRows, 8);
  // The connect button takes its second text without cutting it.
  EXPECT_GE(RectOf(tpl, cells, IDC_CONNECT).w,
            static_cast<int>(std::u16string(u"<Disconnect>").size()));
}

TEST(TextLayout, WaitingDialogWrapsItsTextAboveCancel) {
  const DialogTemplate& tpl = Template(IDD_WAITRADIO);
  const DialogCells cells = LayoutDialog(tpl);
  const CellRect text = RectOf(tpl, cells, IDC_WAIT_TEXT);
  const CellRect cancel = RectOf(tpl, cells, IDC_WAIT_CANCEL);
  EXPECT_EQ(text.h, 3);
  const auto lines = WrapText(tpl.Control(IDC_WAIT_TEXT)->text, text.w);
  EXPECT_LE(static_cast<int>(lines.size()), text.h);
  EXPECT_GT(cancel.y, text.y + static_cast<int>(lines.size()) - 1);
  // Centred under the text, as in the template.
  EXPECT_NEAR(cancel.x + cancel.w / 2.0, cells.width / 2.0, 1.0);
}

TEST(TextLayout, EveryDialogFitsAnEightyByTwentyFourTerminal) {
  for (int id : kTemplates) {
    const DialogCells cells = LayoutDialog(Template(id));
    EXPECT_LE(cells.FrameWidth(), 80) << id;
    EXPECT_LE(cells.FrameHeight(), 24) << id;
    for (const ControlCells& c : cells.controls) {
      EXPECT_GE(c.rect.x, 0);
      EXPECT_GE(c.rect.y, 0);
      EXPECT_LE(c.rect.x + c.rect.w, cells.width) << id;
      EXPECT_LE(c.rect.y + c.rect.h, cells.height) << id;
    }
  }
}

TEST(TextLayout, NoTwoControlsThatTakeInputShareACell) {
  for (int id : kTemplates) {
    const DialogTemplate& tpl = Template(id);
    const DialogCells cells = LayoutDialog(tpl);
    for (size_t i = 0; i < tpl.controls.size(); ++i)
      for (size_t j = i + 1; j < tpl.controls.size(); ++j) {
        if (!TakesInput(tpl.controls[i].kind) || !TakesInput(tpl.controls[j].kind)) continue;
        EXPECT_FALSE(cells.controls[i].rect.Intersects(cells.controls[j].rect))
            << "template " << id << " controls " << i << " and " << j;
      }
  }
}

TEST(TextLayout, EveryLabelAndButtonShowsItsWholeText) {
  for (int id : kTemplates) {
    const DialogTemplate& tpl = Template(id);
    const DialogCells cells = LayoutDialog(tpl);
    for (size_t i = 0; i < tpl.controls.size(); ++i) {
      const ControlTemplate& c = tpl.controls[i];
      const ControlCells& cc = cells.controls[i];
      const int len = static_cast<int>(ParseMnemonic(c.text).shown.size());
      if (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefPushButton) {
        EXPECT_GE(cc.rect.w, len + 2) << "template " << id << " button " << c.id;
      } else if (c.kind == ControlKind::Label && cc.rect.h == 1) {
        // Its own cells, or the free ones beside it on its row.
        EXPECT_GE(std::max(cc.rect.w, cc.roomRight - cc.roomLeft), len)
            << "template " << id << " label " << c.id;
        for (size_t j = 0; j < tpl.controls.size(); ++j) {
          if (j == i || !TakesInput(tpl.controls[j].kind)) continue;
          const CellRect& o = cells.controls[j].rect;
          if (o.y != cc.rect.y) continue;
          EXPECT_TRUE(o.x >= cc.roomRight || o.x + o.w <= cc.roomLeft)
              << "template " << id << " label " << c.id << " may draw over control " << j;
        }
      } else if (c.kind == ControlKind::Label) {
        EXPECT_LE(static_cast<int>(WrapText(c.text, cc.rect.w).size()), cc.rect.h)
            << "template " << id << " label " << c.id;
      }
    }
  }
}

TEST(TextLayout, CentringNeverGoesOffTheTopLeft) {
  EXPECT_EQ(CentredStart(80, 39), 20);
  EXPECT_EQ(CentredStart(24, 16), 4);
  EXPECT_EQ(CentredStart(30, 39), 0);
}
