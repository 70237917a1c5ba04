// tactical_drawing_test.cpp: tag symbols, the tags on the map and the squad members, through the recording canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/route_drawing.h"
#include "map/routes.h"
#include "map/window_cells.h"
#include "mfd/page_state.h"
#include "platform/frame_buffer.h"
#include "status/event_log.h"
#include "support/recording_canvas.h"
#include "support/test_env.h"
#include "tactical/squad_drawing.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_drawing.h"
#include "tactical/tag_symbols.h"
#include "wire/outbox.h"

namespace {
constexpr Colour kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255), kDark = Rgb(64, 64, 0);
constexpr Colour kUnknownFill = Rgb(245, 241, 132), kEnemyFill = Rgb(233, 129, 125), kFriendFill = Rgb(146, 204, 227);

TagSymbol Symbol(int affiliation, int symbol_class, int category) {
  return TagSymbol{affiliation, static_cast<signed char>(symbol_class), category};
}

// The records of one symbol at (100, 100) with S = 26.
std::vector<CanvasRecord> DrawOne(const TagSymbol &symbol) {
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 200, 200);
  DrawTagSymbolSized(recorder.canvas, 100, 100, symbol, 26);
  return recorder.records;
}

TEST(TagSymbol, FramesByAffiliationAndClass) {
  const auto diamond = DrawOne(Symbol(1, 1, 0));
  ASSERT_EQ(diamond.size(), 1u);
  EXPECT_EQ(diamond[0].points, (std::vector<Point>{{100, 87}, {87, 100}, {100, 113}, {113, 100}}));
  EXPECT_EQ(diamond[0].state.brush.colour, kEnemyFill);
  EXPECT_EQ(diamond[0].state.pen.width, 2);
  const auto ground = DrawOne(Symbol(2, 1, 4));
  ASSERT_EQ(ground.size(), 1u) << "AIRBN is drawn on air frames of friend and enemy only";
  EXPECT_EQ(ground[0].rect, (Rect{87, 92, 113, 108})) << "26 x 16";
  // The dome over the body, the icon, and last the body's top edge wiped between its sides.
  const auto air = DrawOne(Symbol(2, 2, 4));
  ASSERT_EQ(air.size(), 9u);
  EXPECT_EQ(air[0].rect, (Rect{87, 83, 113, 100}));
  EXPECT_EQ(air[8].from, (Point{89, 92}));
  EXPECT_EQ(air[8].to, (Point{111, 92}));
  EXPECT_EQ(air[8].state.pen.colour, kFriendFill);
  // Neutral ignores the class: AAA on class 2 is still the arc of radius S about (x, y + S).
  const auto neutral = DrawOne(Symbol(3, 2, 1));
  ASSERT_EQ(neutral.size(), 3u);
  EXPECT_EQ(neutral[2].centre, (Point{100, 126}));
  EXPECT_EQ(neutral[2].radius, 26);
}

TEST(TagSymbol, IconsOutsideTheirFramesAndAffiliationsOutsideTheTable) {
  // Icons the frame does not take are left out: AIRBN on ground frames, anything beyond the categories.
  EXPECT_EQ(DrawOne(Symbol(1, 1, 4)).size(), 1u);
  EXPECT_EQ(DrawOne(Symbol(3, 1, 5)).size(), 1u);
  EXPECT_EQ(DrawOne(Symbol(0, 2, 200)).size(), 5u) << "the unknown frame alone is five records";
  const auto unknown = DrawOne(Symbol(0, 1, 2));
  EXPECT_EQ(unknown[4].rect, (Rect{92, 92, 108, 108}));
  EXPECT_EQ(unknown[4].state.pen.colour, kUnknownFill) << "the disc hides the lobes' inner arcs";
  EXPECT_EQ(unknown[5].from, (Point{103, 97})) << "ARMOR's track is S/8 wide in the unknown frame";
  for (const int affiliation : {4, 255, -1}) {
    const auto odd = DrawOne(Symbol(affiliation, 1, 2));
    ASSERT_EQ(odd.size(), unknown.size()) << affiliation;
    for (size_t i = 0; i < odd.size(); ++i)
      EXPECT_TRUE(odd[i].rect == unknown[i].rect && odd[i].from == unknown[i].from &&
                  odd[i].state.brush.colour == unknown[i].state.brush.colour)
          << affiliation << " record " << i;
  }
}

// A 425 x 425 window shown one to one over one axis-aligned cell, 43.0-43.5 N, 40.0-40.5 E, 400 pixels a side with
// its south-west corner at (0, 400).
class MapOverlayTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitEventLog(425);
    InitMapView(nullptr, 0, 425, 425);
    g_map_view.centre_x = g_map_view.centre_y = 212;
    g_map_view.map_shown = 1;
    InitSquadGroup(g_squad_group, 425);
    InitTagDatabase(g_tag_database, 425, g_squad_group);
    g_squad_group.squad_number = 5;
    ClearCalibrationGrid();
    for (int corner = 0; corner < 4; ++corner)
      AppendGridNode(&g_calibration_grid, corner < 2 ? 430 : 435, corner % 2 == 0 ? 400 : 405,
                     corner % 2 == 0 ? 0 : 400, corner < 2 ? 400 : 0);
    InitRecordingCanvas(recorder, 425, 425);
  }
  void TearDown() override {
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearCalibrationGrid();
    ClearEvents();
    g_map_view.map_shown = 0;
  }
  // Stores tag number `number` through AddTag, as pilot 12; a tag made here (squad 0) queues a send nobody makes.
  void Store(uint32_t number, int32_t squad, double latitude, double longitude, TagSymbol symbol = {}) {
    g_tag_database.counter = number - 1;
    Outbox unsent;
    AddTag(g_tag_database, squad, 12, symbol, latitude, longitude, unsent);
  }
  // A tag drawn at window (x, y).
  void Put(uint32_t number, int32_t squad, int x, int y, TagSymbol symbol = {}) {
    Store(number, squad, 43.0 + (400 - y) / 800.0, 40.0 + x / 800.0, symbol);
  }
  std::vector<std::wstring> Texts() {
    std::vector<std::wstring> texts;
    for (const CanvasRecord *r : FindTexts(recorder))
      texts.push_back(r->text);
    return texts;
  }
  // Lines of one pen width, the zero-length joins of arcs left out.
  std::vector<const CanvasRecord *> Lines(int width) {
    std::vector<const CanvasRecord *> lines;
    for (const CanvasRecord *r : FindRecords(recorder, CanvasOp::kLine))
      if (r->state.pen.width == width && !(r->from == r->to))
        lines.push_back(r);
    return lines;
  }

  RecordingCanvas recorder;
  PageState pages;
};

TEST_F(MapOverlayTest, VisibilityAndLabelsByTheOwnSquadNumber) {
  Put(3, 5, 100, 100);
  Put(4, 0, 200, 100);
  Put(5, 6, 300, 100);
  Put(6, 99, 100, 300);
  Put(123, 0, 200, 300);
  Store(124, 0, 45.2, 40.0 + 200 / 800.0); // off the map
  DrawTags(recorder.canvas, pages);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"#03[12]", L"#04", L"#123"}));
  const CanvasRecord *label = FindText(recorder, L"#03[12]");
  EXPECT_EQ(label->rect, (Rect{0, 113, 200, 129}));
  EXPECT_EQ(label->state.font_height, 8);
  wchar_t text[16];
  FormatTagLabel(text, 16, 3, 6, 12, 99);
  EXPECT_STREQ(text, L"#03[06/12]");
  FormatTagLabel(text, 16, 3, 99, 12, 99);
  EXPECT_STREQ(text, L"#03[12]") << "the own squad's rule comes last and wins";
  recorder.records.clear();
  g_map_view.map_shown = 0;
  DrawTags(recorder.canvas, pages);
  EXPECT_TRUE(recorder.records.empty());
}

TEST_F(MapOverlayTest, TheSelectedTagSteersOnMonitoringOnly) {
  g_map_view.latitude = 43.0;
  g_map_view.longitude = 40.25;
  Put(1, 5, 100, 100);
  Put(2, 5, 200, 200, Symbol(1, 1, 0)); // 0.25 degree due north of the ownship: 28 km, 15.1 nm
  Put(3, 0, 300, 100, Symbol(9, 1, 0));
  g_tag_database.selected = 2;
  // Before the first MONITOR there is no ownship to steer from: the tag is marked selected, nothing more.
  DrawTags(recorder.canvas, pages);
  EXPECT_TRUE(Lines(5).empty() && Lines(3).empty());
  EXPECT_NE(FindText(recorder, L"TAG #2"), nullptr);
  EXPECT_EQ(FindText(recorder, L"360.0\u00b0/15.1nm"), nullptr);
  recorder.records.clear();
  g_map_view.position_known = 1;
  DrawTags(recorder.canvas, pages);
  ASSERT_EQ(Lines(5).size(), 1u);
  ASSERT_EQ(Lines(3).size(), 1u);
  EXPECT_EQ(Lines(5)[0]->from, (Point{200, 200}));
  EXPECT_EQ(Lines(5)[0]->to, (Point{212, 212}));
  EXPECT_EQ(Lines(5)[0]->state.pen.colour, kDark);
  EXPECT_EQ(Lines(3)[0]->state.pen.colour, kEnemyFill);
  EXPECT_LT(Lines(5)[0], Lines(3)[0]) << "the coloured line lies on the dark border";
  EXPECT_NE(FindText(recorder, L"TAG #2"), nullptr);
  const CanvasRecord *readout = FindText(recorder, L"360.0\u00b0/15.1nm");
  ASSERT_NE(readout, nullptr);
  EXPECT_EQ(readout->rect, (Rect{12, 232, 412, 252}));
  EXPECT_EQ(readout->state.text_colour, kEnemyFill);

  // An affiliation no table names steers in the unknown colour, the colour of its frame.
  recorder.records.clear();
  g_tag_database.selected = 3;
  g_map_view.unit_km = 1;
  DrawTags(recorder.canvas, pages);
  ASSERT_EQ(Lines(3).size(), 1u);
  EXPECT_EQ(Lines(3)[0]->state.pen.colour, kUnknownFill);
  EXPECT_EQ(Texts().back().substr(Texts().back().size() - 2), L"km");

  recorder.records.clear();
  pages.current_page = kPageTagging;
  DrawTags(recorder.canvas, pages);
  EXPECT_TRUE(Lines(5).empty());
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"#01[12]", L"#02[12]", L"#03"}));
}

// Squad members on a 1000 x 1000 window shown one to one, h = 24.
class SquadDrawingTest : public MapOverlayTest {
protected:
  void SetUp() override {
    MapOverlayTest::SetUp();
    InitMapView(nullptr, 0, 1000, 1000);
    InitRecordingCanvas(recorder, 1000, 1000);
    g_map_view.centre_x = g_map_view.centre_y = 500;
    g_map_view.map_shown = 1;
    InitSquadGroup(g_squad_group, 735);
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
};

TEST_F(SquadDrawingTest, AMemberAtFiveHundredWithItsHeadingAndAltitude) {
  SquadMember *member = Add(7, 5, 5);
  DrawSquadMembers(recorder.canvas);
  const auto arcs = FindRecords(recorder, CanvasOp::kArc);
  ASSERT_EQ(arcs.size(), 2u);
  EXPECT_EQ(arcs[1]->centre, (Point{500, 500}));
  EXPECT_EQ(arcs[1]->radius, 24);
  ASSERT_EQ(Lines(2).size(), 1u);
  EXPECT_EQ(Lines(2)[0]->from, (Point{500, 476}));
  EXPECT_EQ(Lines(2)[0]->to, (Point{500, 452}));
  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2]->text, L"7");
  EXPECT_EQ(texts[2]->rect, (Rect{476, 488, 524, 512}));
  EXPECT_EQ(texts[3]->text, L"FL39");
  EXPECT_EQ(texts[3]->rect, (Rect{524, 524, 644, 548}));

  recorder.records.clear();
  member->heading = std::acos(0.0); // a quarter turn points the tick to the right
  g_map_view.unit_km = 1;
  member->altitude = 1200.0;
  DrawSquadMembers(recorder.canvas);
  EXPECT_EQ(Lines(2)[0]->from, (Point{524, 500}));
  EXPECT_EQ(Lines(2)[0]->to, (Point{548, 500}));
  EXPECT_NE(FindText(recorder, L"1200m"), nullptr);
  wchar_t text[15];
  FormatSquadAltitude(text, 15, -0.7, 0);
  EXPECT_STREQ(text, L"FL0") << "truncated toward zero";
}

TEST_F(SquadDrawingTest, ColoursAndRimsByAge) {
  const struct {
    uint32_t age;
    Colour rim, body;
  } cases[] = {
      {5, kBlack, Rgb(0, 128, 255)}, {6, kWhite, Rgb(255, 0, 0)}, {60, kWhite, Rgb(255, 0, 0)}, {61, kWhite, kBlack}};
  for (const auto &c : cases) {
    ClearSquadGroup(g_squad_group);
    recorder.records.clear();
    Add(7, 5, c.age);
    DrawSquadMembers(recorder.canvas);
    ASSERT_EQ(Lines(4).size(), 1u);
    ASSERT_EQ(Lines(2).size(), 1u);
    EXPECT_EQ(Lines(4)[0]->state.pen.colour, c.rim) << c.age;
    EXPECT_EQ(Lines(2)[0]->state.pen.colour, c.body) << c.age;
    EXPECT_EQ(FindTexts(recorder)[0]->state.text_colour, c.rim) << c.age;
    EXPECT_EQ(FindTexts(recorder)[2]->state.text_colour, c.body) << c.age;
  }
}

TEST_F(SquadDrawingTest, VisibilityJoiningAndMembersOffTheMap) {
  Add(7, 5, 0, 100, 100);
  Add(8, 99, 0, 200, 100);
  Add(9, 6, 0, 300, 100);
  Add(10, 5, 0, 400, 100)->on_map = 0;
  DrawSquadMembers(recorder.canvas);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"7", L"FL39", L"7", L"FL39", L"8", L"FL39", L"8", L"FL39"}));
  recorder.records.clear();
  g_squad_group.squad_number = 99;
  DrawSquadMembers(recorder.canvas);
  EXPECT_NE(FindText(recorder, L"9"), nullptr) << "the broadcast squad sees every member";
  EXPECT_EQ(FindText(recorder, L"10"), nullptr);
  recorder.records.clear();
  g_squad_group.joined = 0;
  DrawSquadMembers(recorder.canvas);
  EXPECT_TRUE(recorder.records.empty());
}

} // namespace

// At the widest zoom a flood of 10,000 tags, with route points and squad members, piles into a few dozen pixels;
// drawing only each cell's top item of each kind must change nothing but pixels inside the pile, where the full drawing
// put an item anyway, and must leave the pile whole.
class FloodTest : public MapOverlayTest {
protected:
  void TearDown() override {
    UseFloodCells(true);
    ClearRouteDatabase();
    MapOverlayTest::TearDown();
  }
  struct Scene {
    PageState *pages;
    bool items;
  };
  // The kinds in the order the map page draws them: route under tags under squad members.
  static void Draw(Canvas &canvas, void *context) {
    const auto *scene = static_cast<const Scene *>(context);
    CanvasFill(canvas, Rect{0, 0, 425, 425}, Rgb(10, 20, 30)); // no item is drawn in this colour
    if (!scene->items)
      return;
    DrawRoutes(canvas, g_map_view, g_route_database, *scene->pages);
    DrawTags(canvas, *scene->pages);
    DrawSquadMembers(canvas);
  }
  std::vector<uint32_t> Render(bool items) {
    FrameBuffer *frame = CreateFrameBuffer(425, 425);
    Scene scene{&pages, items};
    DrawIntoFrameBuffer(frame, Draw, &scene);
    int stride = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame, &stride));
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 425; ++y)
      for (int x = 0; x < 425; ++x)
        pixels.push_back(reinterpret_cast<const uint32_t *>(bytes + static_cast<size_t>(y) * stride)[x] & 0xFFFFFFu);
    FreeFrameBuffer(frame);
    return pixels;
  }
};

TEST_F(FloodTest, TheTopItemOfEachCellDrawsTheSamePileAsEveryItem) {
  g_map_view.zoom = 5.657;
  ApplyZoom(g_map_view);
  std::mt19937 random(20);
  std::uniform_real_distribution<double> spot(0.0, 400.0);
  for (uint32_t number = 1; number <= 10000; ++number) {
    const int32_t squad = number % 7 == 0 ? 6 : number % 3 == 0 ? 0 : 5; // squad 6: not shown, hides nothing
    const auto kind = static_cast<int>(number % 4);
    Put(number, squad, static_cast<int>(spot(random)), static_cast<int>(spot(random)),
        Symbol(kind, 1 + kind % 3, kind));
  }
  InitRouteDatabase(425);
  for (int i = 1; i <= 5000; ++i) // every type; departures and arrivals hide neighbours, which then hide nothing
    AddRoutePoint(static_cast<int32_t>(spot(random)), static_cast<int32_t>(spot(random)), 43.0 + i / 1e5, 40.0,
                  1 + i % 120, 1 + i % 5);
  g_squad_group.joined = 1;
  for (int pilot = 100; pilot < 2100; ++pilot) {
    SquadMember report;
    report.pilot = pilot;
    report.squad = pilot % 5 == 0 ? 6 : 5;
    report.bitmap_x = static_cast<int32_t>(spot(random));
    report.bitmap_y = static_cast<int32_t>(spot(random));
    report.on_map = 1;
    report.heading = pilot * 0.37;
    report.altitude = pilot % 400;
    AddSquadMember(g_squad_group, report);
    const_cast<SquadMember *>(FindSquadMember(g_squad_group, pilot))->age = static_cast<uint32_t>(pilot % 70);
  }
  pages.current_page = kPageMonitoring;
  g_tag_database.selected = 4321;

  size_t texts[2] = {}; // what a frame spends most on
  std::vector<uint32_t> rendered[2];
  for (const bool cells : {false, true}) {
    UseFloodCells(cells);
    recorder.records.clear();
    Scene scene{&pages, true};
    Draw(recorder.canvas, &scene);
    texts[cells] = FindTexts(recorder).size();
    if (cells) {
      EXPECT_NE(FindText(recorder, L"#4321[12]"), nullptr) << "the selected tag was dropped";
    }
    rendered[cells] = Render(true);
  }
  const std::vector<uint32_t> &full = rendered[0], &top = rendered[1], none = Render(false);

  EXPECT_LT(texts[1], texts[0] / 10) << "the flood was drawn item by item";
  size_t inked = 0, differ = 0, outside = 0, bared = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    inked += full[i] != none[i];
    differ += full[i] != top[i];
    outside += full[i] != top[i] && full[i] == none[i];
    bared += full[i] != none[i] && top[i] == none[i];
  }
  EXPECT_GT(inked, 2000u) << "nothing was drawn: nothing was compared";
  EXPECT_EQ(outside, 0u) << differ << " pixels differ, " << outside << " of them where no item was drawn";
  // The members' altitude texts fringe the pile several deep; only the top member of each cell writes its own there.
  EXPECT_LT(bared, inked / 8) << "the thinned pile has holes or lost its edge";
}
