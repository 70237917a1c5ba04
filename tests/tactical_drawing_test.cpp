// tactical_drawing_test.cpp: tag symbols, the tags on the map and the squad members, through the recording
// canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "status/event_log.h"
#include "support/recording_canvas.h"
#include "support/test_env.h"
#include "tactical/squad_drawing.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_drawing.h"
#include "tactical/tag_symbols.h"

namespace {
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kUnknownFill = Rgb(245, 241, 132);
constexpr Colour kEnemyFill = Rgb(233, 129, 125);
constexpr Colour kFriendFill = Rgb(146, 204, 227);
constexpr Colour kNeutralFill = Rgb(171, 215, 162);
constexpr Colour kDark = Rgb(64, 64, 0);
constexpr Colour kFresh = Rgb(0, 128, 255);
constexpr Colour kLate = Rgb(255, 0, 0);

TagSymbol Symbol(int affiliation, int symbol_class, int category) {
  TagSymbol s;
  s.affiliation = affiliation;
  s.symbol_class = static_cast<signed char>(symbol_class);
  s.category = category;
  return s;
}

// The records of one symbol at (100, 100) with S = 26.
std::vector<CanvasRecord> DrawOne(const TagSymbol &symbol) {
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 200, 200);
  DrawTagSymbolSized(recorder.canvas, 100, 100, symbol, 26);
  return recorder.records;
}

// Strokes drawn after the frame's first `frame_records` records: the icon and any erasing stroke.
size_t StrokesAfterFrame(const TagSymbol &symbol, size_t frame_records) {
  return DrawOne(symbol).size() - frame_records;
}

bool SameGeometry(const CanvasRecord &a, const CanvasRecord &b) {
  return a.op == b.op && a.from == b.from && a.to == b.to && a.centre == b.centre && a.radius == b.radius &&
         a.start_degrees == b.start_degrees && a.sweep_degrees == b.sweep_degrees && a.rect == b.rect &&
         a.points == b.points && a.state.pen.colour == b.state.pen.colour && a.state.pen.width == b.state.pen.width &&
         a.state.brush.colour == b.state.brush.colour;
}

TEST(TagSymbol, EnemyGroundIsADiamondWithCornersHalfTheSizeFromTheCentre) {
  const auto records = DrawOne(Symbol(1, 1, 1));
  ASSERT_GE(records.size(), 1u);
  const CanvasRecord &frame = records[0];
  ASSERT_EQ(frame.op, CanvasOp::kPolygon);
  EXPECT_EQ(frame.points, (std::vector<Point>{{100, 87}, {87, 100}, {100, 113}, {113, 100}}));
  for (const Point p : frame.points)
    EXPECT_EQ(std::abs(p.x - 100) + std::abs(p.y - 100), 13);
  EXPECT_FALSE(frame.state.brush.hollow);
  EXPECT_EQ(frame.state.brush.colour, kEnemyFill);
  EXPECT_EQ(frame.state.pen.colour, kBlack);
  EXPECT_EQ(frame.state.pen.width, 2);

  // The AAA icon of the enemy frame: a half circle of radius S/3 standing on y + S/8, joined from its right end.
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].op, CanvasOp::kLine);
  EXPECT_EQ(records[1].from, (Point{108, 103}));
  ASSERT_EQ(records[2].op, CanvasOp::kArc);
  EXPECT_EQ(records[2].centre, (Point{100, 103}));
  EXPECT_EQ(records[2].radius, 8);
  EXPECT_EQ(records[2].start_degrees, 0);
  EXPECT_EQ(records[2].sweep_degrees, 180);

  // Air: a square with a pointed top.
  const auto air = DrawOne(Symbol(1, 2, 0));
  ASSERT_EQ(air.size(), 1u);
  EXPECT_EQ(air[0].points, (std::vector<Point>{{100, 87}, {87, 100}, {87, 113}, {113, 113}, {113, 100}}));
}

TEST(TagSymbol, FriendFramesAreTheRectangleAndTheDomeWithItsSeamWiped) {
  const auto ground = DrawOne(Symbol(2, 1, 4));
  ASSERT_EQ(ground.size(), 1u) << "AIRBN is drawn on air frames of friend and enemy only";
  ASSERT_EQ(ground[0].op, CanvasOp::kRectangle);
  EXPECT_EQ(ground[0].rect, (Rect{87, 92, 113, 108}));
  EXPECT_EQ(ground[0].rect.right - ground[0].rect.left, 26);
  EXPECT_EQ(ground[0].rect.bottom - ground[0].rect.top, 16);
  EXPECT_EQ(ground[0].state.brush.colour, kFriendFill);

  const auto air = DrawOne(Symbol(2, 2, 4));
  ASSERT_GE(air.size(), 4u);
  EXPECT_EQ(air[0].op, CanvasOp::kEllipse);
  EXPECT_EQ(air[0].rect, (Rect{87, 83, 113, 100}));
  EXPECT_EQ(air[1].op, CanvasOp::kRectangle);
  EXPECT_EQ(air[1].rect, (Rect{87, 92, 113, 108}));
  // The icon comes between the frame and the wipe, in black.
  const CanvasRecord &first_icon = air[2];
  EXPECT_EQ(first_icon.op, CanvasOp::kLine);
  EXPECT_EQ(first_icon.from, (Point{103, 103}));
  EXPECT_EQ(first_icon.to, (Point{97, 97}));
  EXPECT_EQ(first_icon.state.pen.colour, kBlack);
  // Last, the rectangle's top edge is wiped out between its sides in the fill colour.
  const CanvasRecord &wipe = air.back();
  EXPECT_EQ(wipe.op, CanvasOp::kLine);
  EXPECT_EQ(wipe.from, (Point{89, 92}));
  EXPECT_EQ(wipe.to, (Point{111, 92}));
  EXPECT_EQ(wipe.state.pen.colour, kFriendFill);
  EXPECT_EQ(wipe.state.pen.width, 2);
}

TEST(TagSymbol, IconsFollowTheFrameAndClassRules) {
  // Neutral ignores the class: class 2 with AAA still gets the arc of radius S about (x, y + S).
  const auto neutral = DrawOne(Symbol(3, 2, 1));
  ASSERT_EQ(neutral.size(), 3u);
  EXPECT_EQ(neutral[0].rect, (Rect{87, 87, 113, 113}));
  EXPECT_EQ(neutral[0].state.brush.colour, kNeutralFill);
  EXPECT_EQ(neutral[1].from, (Point{113, 113}));
  EXPECT_EQ(neutral[2].centre, (Point{100, 126}));
  EXPECT_EQ(neutral[2].radius, 26);
  EXPECT_EQ(neutral[2].start_degrees, 60);
  EXPECT_EQ(neutral[2].sweep_degrees, 60);

  // Enemy (1 polygon) and friend ground (1 rectangle): ground icons on class 1, AIRBN on class 2, nothing else.
  EXPECT_GT(StrokesAfterFrame(Symbol(1, 1, 3), 1), 0u);
  EXPECT_EQ(StrokesAfterFrame(Symbol(1, 1, 4), 1), 0u);
  EXPECT_EQ(StrokesAfterFrame(Symbol(1, 2, 1), 1), 0u);
  EXPECT_GT(StrokesAfterFrame(Symbol(1, 2, 4), 1), 0u);
  EXPECT_EQ(StrokesAfterFrame(Symbol(1, 3, 2), 1), 0u) << "a class outside 1 and 2 has no icon on enemy";
  EXPECT_EQ(StrokesAfterFrame(Symbol(2, 0, 1), 1), 0u);
  EXPECT_EQ(StrokesAfterFrame(Symbol(2, -7, 2), 1), 0u);
  EXPECT_GT(StrokesAfterFrame(Symbol(3, -7, 4), 1), 0u);
  EXPECT_EQ(StrokesAfterFrame(Symbol(3, 1, 0), 1), 0u) << "UNKN has no icon";
  EXPECT_EQ(StrokesAfterFrame(Symbol(3, 1, 5), 1), 0u) << "nor does a category above 4";
  EXPECT_EQ(StrokesAfterFrame(Symbol(3, 1, 200), 1), 0u);

  // ARMOR's track is S/8 either side of the centre in the unknown frame, S/6 in the others.
  const auto armour_neutral = DrawOne(Symbol(3, 1, 2));
  EXPECT_EQ(armour_neutral[1].from, (Point{104, 97}));
  EXPECT_EQ(armour_neutral[1].to, (Point{96, 97}));
  const auto armour_unknown = DrawOne(Symbol(0, 1, 2));
  const CanvasRecord &track = armour_unknown[5]; // after four lobes and the disc
  EXPECT_EQ(track.from, (Point{103, 97}));
  EXPECT_EQ(track.to, (Point{97, 97}));

  // M.INF in the friend frame: the cross spans the rectangle and the dots sit on y + S/5.
  const auto infantry = DrawOne(Symbol(2, 1, 3));
  ASSERT_EQ(infantry.size(), 7u);
  EXPECT_EQ(infantry[1].from, (Point{113, 108}));
  EXPECT_EQ(infantry[1].to, (Point{87, 92}));
  EXPECT_EQ(infantry[4].centre, (Point{102, 105}));
  EXPECT_EQ(infantry[4].radius, 2);
  EXPECT_EQ(infantry[6].centre, (Point{98, 105}));
}

TEST(TagSymbol, AffiliationsOutsideTheTableAreDrawnAsUnknown) {
  const auto unknown = DrawOne(Symbol(0, 1, 1));
  ASSERT_EQ(unknown.size(), 7u);
  const std::vector<Rect> lobes{{87, 94, 100, 106}, {100, 94, 113, 106}, {94, 87, 106, 100}, {94, 100, 106, 113}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(unknown[i].op, CanvasOp::kEllipse);
    EXPECT_EQ(unknown[i].rect, lobes[i]);
    EXPECT_EQ(unknown[i].state.pen.colour, kBlack);
    EXPECT_EQ(unknown[i].state.brush.colour, kUnknownFill);
  }
  // The disc that hides the inner arcs, outlined in the fill colour, and then the icon in black again.
  EXPECT_EQ(unknown[4].rect, (Rect{92, 92, 108, 108}));
  EXPECT_EQ(unknown[4].state.pen.colour, kUnknownFill);
  EXPECT_EQ(unknown[5].state.pen.colour, kBlack);
  EXPECT_EQ(unknown[5].from, (Point{111, 100}));
  EXPECT_EQ(unknown[6].centre, (Point{100, 126}));

  for (const int affiliation : {4, 7, 255, -1}) {
    const auto odd = DrawOne(Symbol(affiliation, 1, 1));
    ASSERT_EQ(odd.size(), unknown.size()) << affiliation;
    for (size_t i = 0; i < odd.size(); ++i)
      EXPECT_TRUE(SameGeometry(odd[i], unknown[i])) << affiliation << " record " << i;
  }
  EXPECT_EQ(TagFillColour(7), kUnknownFill);
  EXPECT_STREQ(TagAffiliationName(7), L"NK");
  EXPECT_STREQ(TagAffiliationName(2), L"FR");
  EXPECT_STREQ(TagClassName(2), L"A");
  EXPECT_STREQ(TagClassName(-3), L"Z");
  EXPECT_STREQ(TagCategoryName(3), L"M.INF");
  EXPECT_STREQ(TagCategoryName(9), L"UNKN ");
}

TEST(TagSymbol, TheCallersPenAndBrushComeBackAndTheDatabaseSizeIsUsed) {
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 200, 200);
  CanvasSetPen(recorder.canvas, Rgb(0, 255, 0), 1);
  CanvasSetBrush(recorder.canvas, Rgb(0, 64, 0));
  const int32_t saved_size = g_tag_database.symbol_size;
  g_tag_database.symbol_size = 64;
  DrawTagSymbol(recorder.canvas, 100, 100, Symbol(1, 1, 0));
  g_tag_database.symbol_size = saved_size;
  ASSERT_EQ(recorder.records.size(), 1u);
  EXPECT_EQ(recorder.records[0].points[0], (Point{100, 68}));
  EXPECT_EQ(recorder.canvas.state.pen.colour, Rgb(0, 255, 0));
  EXPECT_EQ(recorder.canvas.state.pen.width, 1);
  EXPECT_EQ(recorder.canvas.state.brush.colour, Rgb(0, 64, 0));
}

// A 425 x 425 window over one axis-aligned cell, 43.0-43.5 N, 40.0-40.5 E, 400 pixels a side with its
// south-west corner at bitmap (0, 400); the view shows the bitmap one to one from its top-left corner.
class MapOverlayTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    WriteSetting(L"Pilot ID", L"12");
    InitEventLog(425);
    InitMapView(nullptr, 0, 425, 425);
    g_map_view.centre_x = 212;
    g_map_view.centre_y = 212;
    g_map_view.map_shown = 1;
    InitSquadGroup(g_squad_group, 425);
    InitTagDatabase(g_tag_database, 425, g_squad_group);
    ClearCalibrationGrid();
    AppendGridNode(&g_calibration_grid, 430, 400, 0, 400);
    AppendGridNode(&g_calibration_grid, 430, 405, 400, 400);
    AppendGridNode(&g_calibration_grid, 435, 400, 0, 0);
    AppendGridNode(&g_calibration_grid, 435, 405, 400, 0);
    InitRecordingCanvas(recorder, 425, 425);
    pages.current_page = kPageMonitoring;
  }
  void TearDown() override {
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearCalibrationGrid();
    g_map_view.map_shown = 0;
    ClearEvents();
  }

  // Appends a tag at the bitmap pixel (x, y) of the cell without the sending rules of AddTag.
  TagRecord *Put(uint32_t number, int32_t squad, int32_t pilot, int x, int y, TagSymbol symbol = {}) {
    auto *tag = new TagRecord;
    tag->number = number;
    tag->squad = squad;
    tag->pilot = pilot;
    FormatWide(tag->name, kTagNameCapacity, L"TAG #%u", number);
    tag->latitude = 43.0 + (400 - y) / 800.0;
    tag->longitude = 40.0 + x / 800.0;
    tag->symbol = symbol;
    TagRecord *last = &g_tag_database.root;
    while (last->next != nullptr)
      last = last->next;
    last->next = tag;
    return tag;
  }

  std::vector<std::wstring> Labels() {
    std::vector<std::wstring> texts;
    for (const CanvasRecord *r : FindTexts(recorder))
      texts.push_back(r->text);
    return texts;
  }

  std::vector<const CanvasRecord *> LinesOfWidth(int width) {
    std::vector<const CanvasRecord *> lines;
    for (const CanvasRecord *r : FindRecords(recorder, CanvasOp::kLine))
      if (r->state.pen.width == width)
        lines.push_back(r);
    return lines;
  }

  RecordingCanvas recorder;
  PageState pages;
};

TEST_F(MapOverlayTest, LabelsByTheOwnSquadNumber) {
  g_squad_group.squad_number = 5;
  Put(3, 5, 12, 100, 100);
  Put(4, 0, 12, 200, 100);
  Put(5, 6, 12, 300, 100);
  Put(6, 99, 12, 100, 300);
  Put(123, 0, 12, 200, 300);
  DrawTags(recorder.canvas, pages);
  EXPECT_EQ(Labels(), (std::vector<std::wstring>{L"#03[12]", L"#04", L"#123"}))
      << "tags of squad 6 and of squad 99 are not shown to squad 5";
  EXPECT_EQ(FindRecords(recorder, CanvasOp::kEllipse).size(), 3u * 5u) << "three unknown symbols";

  const CanvasRecord *label = FindText(recorder, L"#03[12]");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->rect, (Rect{0, 113, 200, 129}));
  EXPECT_EQ(label->flags, static_cast<uint32_t>(kTextCenter));
  EXPECT_EQ(label->state.text_colour, Rgb(240, 240, 0));
  EXPECT_FALSE(label->state.opaque);
  EXPECT_EQ(label->state.font_height, 8);

  wchar_t text[16];
  FormatTagLabel(text, 16, 3, 6, 12, 99);
  EXPECT_STREQ(text, L"#03[06/12]");
  FormatTagLabel(text, 16, 4, 0, 12, 99);
  EXPECT_STREQ(text, L"#04");
  FormatTagLabel(text, 16, 3, 99, 12, 99);
  EXPECT_STREQ(text, L"#03[12]") << "the own squad's rule comes last and wins";
  EXPECT_TRUE(TagVisible(6, 99));
  EXPECT_TRUE(TagVisible(0, 7));
  EXPECT_FALSE(TagVisible(99, 7));
}

TEST_F(MapOverlayTest, NothingOffTheMapOrWhileTheMapIsHidden) {
  g_squad_group.squad_number = 5;
  TagRecord *outside = Put(1, 5, 12, 100, 100);
  outside->latitude = 45.2; // no cell there
  Put(2, 5, 12, 200, 200);
  DrawTags(recorder.canvas, pages);
  EXPECT_EQ(Labels(), (std::vector<std::wstring>{L"#02[12]"}));

  recorder.records.clear();
  g_map_view.map_shown = 0;
  DrawTags(recorder.canvas, pages);
  EXPECT_TRUE(recorder.records.empty());
}

TEST_F(MapOverlayTest, TheSelectedTagSteersFromTheWindowCentreOnMonitoringOnly) {
  g_squad_group.squad_number = 5;
  g_map_view.latitude = 43.0;
  g_map_view.longitude = 40.25;
  Put(1, 5, 12, 100, 100);
  Put(2, 5, 12, 200, 200, Symbol(1, 1, 0)); // 43.25 N 40.25 E: 0.25 degree due north of the ownship
  g_tag_database.selected = 2;
  DrawTags(recorder.canvas, pages);

  const auto border = LinesOfWidth(5);
  const auto line = LinesOfWidth(3);
  ASSERT_EQ(border.size(), 1u);
  ASSERT_EQ(line.size(), 1u);
  EXPECT_EQ(border[0]->from, (Point{200, 200}));
  EXPECT_EQ(border[0]->to, (Point{212, 212}));
  EXPECT_EQ(border[0]->state.pen.colour, kDark);
  EXPECT_EQ(line[0]->from, (Point{212, 212}));
  EXPECT_EQ(line[0]->to, (Point{200, 200}));
  EXPECT_EQ(line[0]->state.pen.colour, kEnemyFill);
  EXPECT_LT(border[0], line[0]) << "the coloured line lies on the dark border";

  const CanvasRecord *plate = FindText(recorder, L"TAG #2");
  ASSERT_NE(plate, nullptr);
  EXPECT_EQ(plate->rect, (Rect{100, 213, 300, 229}));
  EXPECT_TRUE(plate->state.opaque);
  EXPECT_EQ(plate->state.back_colour, kDark);
  EXPECT_EQ(plate->state.text_colour, kEnemyFill);
  EXPECT_EQ(FindText(recorder, L"TAG #1"), nullptr);

  // 0.25 degree of latitude is 28 km, 15.1 nm.
  const CanvasRecord *readout = FindText(recorder, L"360.0\u00b0/15.1nm");
  ASSERT_NE(readout, nullptr);
  EXPECT_EQ(readout->rect, (Rect{12, 232, 412, 252}));
  EXPECT_EQ(readout->state.font_height, 13);
  EXPECT_TRUE(readout->state.opaque);
  EXPECT_EQ(readout->state.text_colour, kEnemyFill);

  recorder.records.clear();
  g_map_view.unit_km = 1;
  DrawTags(recorder.canvas, pages);
  EXPECT_NE(FindText(recorder, L"360.0\u00b0/28km"), nullptr);

  recorder.records.clear();
  pages.current_page = kPageTagging;
  DrawTags(recorder.canvas, pages);
  EXPECT_TRUE(LinesOfWidth(5).empty());
  EXPECT_TRUE(LinesOfWidth(3).empty());
  EXPECT_EQ(FindText(recorder, L"TAG #2"), nullptr);
  EXPECT_EQ(Labels(), (std::vector<std::wstring>{L"#01[12]", L"#02[12]"}));
}

TEST_F(MapOverlayTest, ASelectedTagOfAnOddAffiliationSteersInTheUnknownColour) {
  g_map_view.latitude = 43.0;
  g_map_view.longitude = 40.0;
  Put(1, 0, 12, 300, 100, Symbol(9, 1, 0));
  g_tag_database.selected = 1;
  DrawTags(recorder.canvas, pages);
  const auto line = LinesOfWidth(3);
  ASSERT_EQ(line.size(), 1u);
  EXPECT_EQ(line[0]->state.pen.colour, kUnknownFill);
  ASSERT_NE(FindText(recorder, L"TAG #1"), nullptr);
  EXPECT_EQ(FindText(recorder, L"TAG #1")->state.text_colour, kUnknownFill);
}

// A 1000 x 1000 window (h = 32) shown one to one, so bitmap pixels are window pixels.
class SquadDrawingTest : public MapOverlayTest {
protected:
  void SetUp() override {
    MapOverlayTest::SetUp();
    InitMapView(nullptr, 0, 1000, 1000);
    g_map_view.centre_x = 500;
    g_map_view.centre_y = 500;
    g_map_view.map_shown = 1;
    InitSquadGroup(g_squad_group, 735); // h = 24
    g_squad_group.joined = 1;
    g_squad_group.squad_number = 5;
  }
  SquadMember *Add(int32_t pilot, int32_t squad, uint32_t age, int x = 500, int y = 500) {
    SquadMember report;
    report.pilot = pilot;
    report.squad = squad;
    report.bitmap_x = x;
    report.bitmap_y = y;
    report.on_map = 1;
    report.altitude = 39;
    AddSquadMember(g_squad_group, report);
    auto *member = const_cast<SquadMember *>(FindSquadMember(g_squad_group, pilot));
    member->age = age;
    return member;
  }
  std::vector<const CanvasRecord *> Ticks() { return LinesOfWidthAbove(1); }
  std::vector<const CanvasRecord *> LinesOfWidthAbove(int width) {
    std::vector<const CanvasRecord *> lines;
    for (const CanvasRecord *r : FindRecords(recorder, CanvasOp::kLine))
      if (r->state.pen.width > width && !(r->from == r->to))
        lines.push_back(r);
    return lines;
  }
};

TEST_F(SquadDrawingTest, OneMemberAtFiveHundredWithHTwentyFour) {
  Add(7, 5, 5);
  DrawSquadMembers(recorder.canvas);

  const auto arcs = FindRecords(recorder, CanvasOp::kArc);
  ASSERT_EQ(arcs.size(), 2u);
  for (const CanvasRecord *arc : arcs) {
    EXPECT_EQ(arc->centre, (Point{500, 500}));
    EXPECT_EQ(arc->radius, 24);
    EXPECT_EQ(arc->start_degrees, 0);
    EXPECT_EQ(arc->sweep_degrees, 360);
  }
  EXPECT_EQ(arcs[0]->state.pen.colour, kBlack);
  EXPECT_EQ(arcs[0]->state.pen.width, 4);
  EXPECT_EQ(arcs[1]->state.pen.colour, kFresh);
  EXPECT_EQ(arcs[1]->state.pen.width, 2);

  const auto ticks = Ticks();
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[1]->from, (Point{500, 476}));
  EXPECT_EQ(ticks[1]->to, (Point{500, 452}));

  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0]->text, L"7");
  EXPECT_EQ(texts[0]->rect, (Rect{474, 487, 526, 513}));
  EXPECT_EQ(texts[0]->state.font_height, 26);
  EXPECT_EQ(texts[1]->text, L"FL39");
  EXPECT_EQ(texts[1]->rect, (Rect{525, 525, 646, 550}));
  EXPECT_EQ(texts[2]->text, L"7");
  EXPECT_EQ(texts[2]->rect, (Rect{476, 488, 524, 512}));
  EXPECT_EQ(texts[2]->flags, static_cast<uint32_t>(kTextCenter));
  EXPECT_EQ(texts[2]->state.font_height, 24);
  EXPECT_EQ(texts[2]->state.text_colour, kFresh);
  EXPECT_EQ(texts[3]->rect, (Rect{524, 524, 644, 548}));
  EXPECT_EQ(texts[3]->flags, static_cast<uint32_t>(kTextLeft));
  EXPECT_EQ(texts[3]->state.font_height, 16);
  EXPECT_FALSE(texts[3]->state.opaque);

  // A quarter turn points the tick to the right.
  recorder.records.clear();
  const_cast<SquadMember *>(FindSquadMember(g_squad_group, 7))->heading = std::acos(0.0);
  DrawSquadMembers(recorder.canvas);
  ASSERT_EQ(Ticks().size(), 2u);
  EXPECT_EQ(Ticks()[1]->from, (Point{524, 500}));
  EXPECT_EQ(Ticks()[1]->to, (Point{548, 500}));
}

TEST_F(SquadDrawingTest, ColoursAndRimsByAge) {
  struct Case {
    uint32_t age;
    Colour rim, body;
  };
  for (const Case c : {Case{0, kBlack, kFresh}, Case{5, kBlack, kFresh}, Case{6, kWhite, kLate},
                       Case{60, kWhite, kLate}, Case{61, kWhite, kBlack}}) {
    ClearSquadGroup(g_squad_group);
    recorder.records.clear();
    Add(7, 5, c.age);
    DrawSquadMembers(recorder.canvas);
    const auto ticks = Ticks();
    ASSERT_EQ(ticks.size(), 2u) << c.age;
    EXPECT_EQ(ticks[0]->state.pen.colour, c.rim) << c.age;
    EXPECT_EQ(ticks[0]->state.pen.width, 4) << c.age;
    EXPECT_EQ(ticks[1]->state.pen.colour, c.body) << c.age;
    const auto texts = FindTexts(recorder);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0]->state.text_colour, c.rim) << c.age;
    EXPECT_EQ(texts[2]->state.text_colour, c.body) << c.age;
  }
}

TEST_F(SquadDrawingTest, AltitudeInFlightLevelsOrMetres) {
  wchar_t text[15];
  FormatSquadAltitude(text, 15, 39.0, 0);
  EXPECT_STREQ(text, L"FL39");
  FormatSquadAltitude(text, 15, 1200.0, 1);
  EXPECT_STREQ(text, L"1200m");
  FormatSquadAltitude(text, 15, 1249.9, 1);
  EXPECT_STREQ(text, L"1249m") << "truncated toward zero";
  FormatSquadAltitude(text, 15, -0.7, 0);
  EXPECT_STREQ(text, L"FL0");
  FormatSquadAltitude(text, 15, 1200.0, 2);
  EXPECT_STREQ(text, L"") << "no unit known";
  FormatSquadAltitude(text, 15, 1e300, 0);
  EXPECT_STREQ(text, L"");

  g_map_view.unit_km = 1;
  Add(7, 5, 0)->altitude = 1200.0;
  DrawSquadMembers(recorder.canvas);
  const CanvasRecord *altitude = FindText(recorder, L"1200m");
  ASSERT_NE(altitude, nullptr);
}

TEST_F(SquadDrawingTest, VisibilityJoiningAndMembersOffTheMap) {
  Add(7, 5, 0, 100, 100);
  Add(8, 99, 0, 200, 100);
  Add(9, 6, 0, 300, 100);
  Add(10, 5, 0, 400, 100)->on_map = 0;
  DrawSquadMembers(recorder.canvas);
  std::vector<Point> centres;
  for (const CanvasRecord *arc : FindRecords(recorder, CanvasOp::kArc))
    if (arc->radius == 24)
      centres.push_back(arc->centre);
  EXPECT_EQ(centres, (std::vector<Point>{{100, 100}, {100, 100}, {200, 100}, {200, 100}}));
  EXPECT_EQ(FindText(recorder, L"10"), nullptr) << "a member off the map is not drawn at bitmap (0, 0)";

  recorder.records.clear();
  g_squad_group.squad_number = 99;
  DrawSquadMembers(recorder.canvas);
  EXPECT_NE(FindText(recorder, L"9"), nullptr) << "the broadcast squad sees every member";

  recorder.records.clear();
  g_squad_group.joined = 0;
  DrawSquadMembers(recorder.canvas);
  EXPECT_TRUE(recorder.records.empty());
  g_squad_group.joined = 1;
  g_map_view.map_shown = 0;
  DrawSquadMembers(recorder.canvas);
  EXPECT_TRUE(recorder.records.empty());
}

TEST_F(MapOverlayTest, SquadPageShowsTheNumbers) {
  g_page_state.window_height = 425;
  g_squad_group.squad_number = 99;
  g_squad_group.own_pilot = 12;
  DrawSquadPage(recorder.canvas);
  const CanvasRecord *squad = FindText(recorder, L"SquadGroup ID : BROADCAST");
  ASSERT_NE(squad, nullptr);
  EXPECT_EQ(squad->rect, (Rect{130, 106, 390, 119}));
  EXPECT_EQ(squad->state.back_colour, Rgb(0, 64, 0));
  EXPECT_EQ(squad->state.text_colour, Rgb(102, 204, 102));
  EXPECT_TRUE(squad->state.opaque);
  const CanvasRecord *pilot = FindText(recorder, L"Pilot ID : 12");
  ASSERT_NE(pilot, nullptr);
  EXPECT_EQ(pilot->rect, (Rect{130, 247, 390, 260}));

  recorder.records.clear();
  g_squad_group.squad_number = 7;
  DrawSquadPage(recorder.canvas);
  EXPECT_NE(FindText(recorder, L"SquadGroup ID : 7"), nullptr);
}
} // namespace
