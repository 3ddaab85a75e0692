// The arrangement of each kind from its stored sizes, without any window.
#include <gtest/gtest.h>

#include "cr/form_cr_edit.h"
#include "ds/form_ds_edit.h"
#include "layout.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"
#include "sc/form_sc_edit.h"

using editor::arrange;
using editor::LayoutValues;
using store::Value;

namespace {

TEST(Layout, ScAndCrStackMarkersBelowTheStem) {
  LayoutValues v;
  auto a = arrange(kinds::scKind().layout, v);
  EXPECT_EQ(a.question, (editor::Rect{480, 1320, 14300, 615}));
  EXPECT_EQ(a.markers[0].top, 2265);
  EXPECT_EQ(a.choices[0], (editor::Rect{960, 2225, 13700, 270}));
  EXPECT_EQ(a.markers[1].top, 2865);
  v.questionHeight = 2.0;
  v.choiceHeight[0] = 1.5;
  a = arrange(kinds::scKind().layout, v);
  EXPECT_EQ(a.question.height, 1134);
  EXPECT_EQ(a.choices[4].height, 850.5);  // B..E follow A
  EXPECT_EQ(arrange(kinds::crKind().layout, LayoutValues()).markers[0].top, 3615);
}

TEST(Layout, RcSizesHeightsOnlyWithItsOwnDefaultsAndFactor) {
  LayoutValues v;
  auto a = arrange(kinds::rcKind().layout, v);
  EXPECT_EQ(a.question, (editor::Rect{7800, 1200, 7200, 540}));
  EXPECT_EQ(a.choices[0].height, 537);  // the factor is for stored heights only
  EXPECT_EQ(a.markers[0], (editor::Rect{7920, 2070, 165, 165}));
  EXPECT_EQ(a.choices[0].left, 8280);
  EXPECT_EQ(a.choices[0].width, 6735);
  v.questionHeight = 1.0;
  v.choiceHeight[0] = 1.0;
  v.questionWidth = 5.0;
  v.choiceAWidth = 5.0;  // widths are not drawn
  a = arrange(kinds::rcKind().layout, v);
  EXPECT_EQ(a.question.height, 567);
  EXPECT_DOUBLE_EQ(a.choices[0].height, 595.35);
  EXPECT_DOUBLE_EQ(a.choices[1].height, 595.35);
  EXPECT_EQ(a.question.width, 7200);
  EXPECT_EQ(a.choices[3].width, 6735);
}

TEST(Layout, DsStacksTwoStatementsAndFixedChoicesIn540TwipUnits) {
  LayoutValues v;
  auto a = arrange(kinds::dsKind().layout, v);
  EXPECT_EQ(a.question.height, 270);
  EXPECT_EQ(a.statements[0].top, 2055);
  EXPECT_EQ(a.statements[1].top, 2835);
  EXPECT_EQ(a.stateLabels[0].top, 2055);
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(a.markers[k].top, 4050 + 600 * static_cast<double>(k)) << k;
    EXPECT_EQ(a.choices[k].top, a.markers[k].top - 40) << k;
  }
  v.stateHeight1 = 1.0;
  v.flgStatePos1 = true;
  v.questionHeight = 1.0;
  a = arrange(kinds::dsKind().layout, v);
  EXPECT_EQ(a.question.height, 540);
  EXPECT_EQ(a.statements[0].height, 540);
  EXPECT_EQ(a.stateLabels[0].top, a.statements[0].top + 135 - 20);
  EXPECT_EQ(a.stateLabels[1].top, a.statements[1].top);  // not centred
}

TEST(Layout, PsStacksTheBoxesAndCentresEachMarkerBesideItsBox) {
  LayoutValues v;
  auto a = arrange(kinds::psKind().layout, v);
  EXPECT_EQ(a.choices[0], (editor::Rect{960, 2265, 13695, 270}));
  EXPECT_EQ(a.choices[1].top, 2865);
  for (size_t k = 0; k < 5; ++k) EXPECT_EQ(a.markers[k].top, a.choices[k].top + 135 - 82.5) << k;
  v.choiceHeight[2] = 1.0;
  const auto b = arrange(kinds::psKind().layout, v);
  EXPECT_EQ(b.choices[2].height, 567);
  EXPECT_EQ(b.markers[2].top, b.choices[2].top + 283.5 - 82.5);
  EXPECT_EQ(b.choices[3].top, a.choices[3].top + 567 - 270);
  EXPECT_EQ(b.markers[4].top, a.markers[4].top + 567 - 270);
  EXPECT_EQ(b.choices[1], a.choices[1]);
}

TEST(Layout, SizesBeyondTheWindowSystemsCoordinatesAreNotDrawn) {
  const auto& sc = kinds::scKind().layout;
  EXPECT_EQ(editor::largestSize(sc), 143);
  for (double size : {-1.0, 1e9, 200.0}) EXPECT_FALSE(editor::sizeCanBeDrawn(sc, size)) << size;
  EXPECT_TRUE(editor::sizeCanBeDrawn(sc, 100));
  LayoutValues v;
  v.questionHeight = 1e300;
  v.choiceHeight[0] = -5.0;
  v.choiceHeight[1] = 1e12;
  auto a = arrange(sc, v);
  EXPECT_EQ(a.question.height, 143 * 567);
  EXPECT_EQ(a.choices[0].height, 270);  // a negative size draws the default
  EXPECT_LT(a.choices[4].bottom(), 32767 * 15);
  LayoutValues ds;
  ds.stateHeight1 = ds.stateHeight2 = ds.questionHeight = 1e300;
  EXPECT_LT(arrange(kinds::dsKind().layout, ds).choices[4].bottom(), 32767 * 15);
}

// The sizes of the kinds' window tables are roles apart from the kind registry's fields: each
// must have a layout variable, and every size the registry stores must have one.
TEST(Layout, TheKindsSizeRolesAgreeWithTheirFields) {
  using bank::schema::SizeOf;
  for (const editor::EditorKind* k : {&kinds::scKind(), &kinds::crKind(), &kinds::rcKind(), &kinds::dsKind(),
                                      &kinds::psKind()}) {
    SCOPED_TRACE(k->caption);
    LayoutValues v;
    for (const editor::SizeTarget& t : k->sizeTargets)
      for (SizeOf size : {t.height, t.width})
        if (size != SizeOf::None) {
          EXPECT_NE(v.of(size), nullptr) << static_cast<int>(size);
        }
    for (const auto& [size, value] : k->reset) EXPECT_NE(v.of(size), nullptr) << static_cast<int>(size);
    for (const editor::FieldDef& f : k->record.fields)
      if (f.write == editor::FieldWrite::Layout && f.type != editor::FieldType::Flag) {
        EXPECT_NE(v.byField(f.name), nullptr) << f.name;
      }
    EXPECT_EQ(k->record.table, std::string(bank::schema::tableName(k->kind)));
  }
}

}  // namespace
