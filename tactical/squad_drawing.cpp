// squad_drawing.cpp: the squad members on the map pages and the SQUAD GROUP page body.
#include "tactical/squad_drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/colours.h"
#include "base/wide_text.h"
#include "map/map_view.h"
#include "map/view_transform.h"
#include "map/window_cells.h"
#include "mfd/page_state.h"
#include "tactical/squad_group.h"

namespace {
constexpr Colour kFresh = Rgb(0, 128, 255);
constexpr Colour kLate = Rgb(255, 0, 0);
constexpr double kQuarterTurn = 1.570796325;
constexpr int kAltitudeCapacity = 15;
constexpr int kPageTextCapacity = 63;

// The boxes of one pass: the outline pass draws a little larger, so its text rims the colour pass's.
struct FigureBoxes {
  Rect name;
  int name_font = 0;
  Rect altitude;
};

// The circle, the heading tick and, with texts, the name and the altitude, in the pen and text colour already set.
void DrawFigure(Canvas &c, const SquadMember &member, Point at, int h, const FigureBoxes &boxes, int small_font,
                const wchar_t *altitude, bool texts) {
  CanvasMoveTo(c, at.x + h, at.y);
  CanvasAngleArc(c, at.x, at.y, h, 0, 360);
  // Headings are clockwise from north; a quarter turn back makes heading 0 point up the screen.
  const double a = member.heading - kQuarterTurn;
  CanvasMoveTo(c, static_cast<int>(at.x + h * std::cos(a)), static_cast<int>(at.y + h * std::sin(a)));
  CanvasLineTo(c, static_cast<int>(at.x + 2 * h * std::cos(a)), static_cast<int>(at.y + 2 * h * std::sin(a)));
  if (!texts)
    return;
  CanvasSetFont(c, boxes.name_font);
  CanvasText(c, member.name, -1, boxes.name, kTextCenter);
  CanvasSetFont(c, small_font);
  CanvasText(c, altitude, -1, boxes.altitude, kTextLeft);
}
} // namespace

bool SquadMemberVisible(int32_t member_squad, int32_t q) {
  return member_squad == q || q == kBroadcastSquad || member_squad == kBroadcastSquad;
}

Colour SquadMemberColour(uint32_t age) {
  if (age <= 5)
    return kFresh;
  return age <= 60 ? kLate : kBlack;
}

Colour SquadMemberRimColour(uint32_t age) { return age <= 5 ? kBlack : kWhite; }

void FormatSquadAltitude(wchar_t *out, int capacity, double altitude, int32_t unit_km) {
  const auto size = static_cast<size_t>(capacity);
  out[0] = L'\0';
  if (!std::isfinite(altitude) || std::fabs(altitude) >= 2147483647.0)
    return;
  const int value = static_cast<int>(altitude);
  if (unit_km == 1)
    FormatWide(out, size, L"%dm", value);
  else if (unit_km == 0)
    FormatWide(out, size, L"FL%d", value);
}

void DrawSquadMembers(Canvas &canvas) {
  const SquadGroup &group = g_squad_group;
  if (g_map_view.map_shown == 0 || group.joined != 1)
    return;
  const int h = group.text_height;
  const ViewTransform transform = MakeViewTransform(g_map_view);
  CanvasSetOpaque(canvas, false);
  // The heading tick reaches 2h in any direction and the wide pen 2 beyond; the altitude box runs to 6h + 2 on the
  // right and 2h + 2 below.
  const WindowReach reach{-(2 * h + 4), -(2 * h + 4), 6 * h + 4, 2 * h + 4};
  const BitmapBounds near = NearCanvas(transform, canvas, reach);

  // The members that reach the window, in list order (the drawing order); kept from frame to frame.
  static std::vector<const SquadMember *> shown;
  static std::vector<uint64_t> keys;
  shown.clear();
  for (const SquadMember *member = group.root.next; member != nullptr; member = member->next)
    if (SquadMemberVisible(member->squad, group.squad_number) && member->on_map != 0 &&
        near.Holds(member->bitmap_x, member->bitmap_y) &&
        Reaches(canvas, BitmapToWindow(transform, member->bitmap_x, member->bitmap_y), reach))
      shown.push_back(member);
  // Under a flood only the top member of each window cell has its texts drawn (the last in the list): the other texts
  // lie in a mass many deep, where the kept ones write too. Every circle and tick is drawn all the same: the
  // figures are open, and a few do not hide the rest. The margin holds every member that reaches the window; a cell
  // is twice the text height, as high as half the figure (tick to altitude text).
  keys.clear();
  static WindowCells cells;
  const bool flooded = cells.Begin(canvas.width, canvas.height, 6 * h + 8, 2 * h);
  for (size_t i = 0; flooded && i < shown.size(); ++i)
    if (!cells.File(BitmapToWindow(transform, shown[i]->bitmap_x, shown[i]->bitmap_y), i))
      keys.push_back(i);
  const bool thinned = flooded && cells.Flooded();
  if (thinned) {
    cells.AppendTops(keys);
    std::sort(keys.begin(), keys.end());
  }

  auto with_texts = keys.begin();
  for (size_t i = 0; i < shown.size(); ++i) {
    const SquadMember *member = shown[i];
    const bool texts = !thinned || (with_texts != keys.end() && *with_texts == i);
    if (texts && thinned)
      ++with_texts;
    const Point at = BitmapToWindow(transform, member->bitmap_x, member->bitmap_y);
    wchar_t altitude[kAltitudeCapacity];
    FormatSquadAltitude(altitude, kAltitudeCapacity, member->altitude, g_map_view.unit_km);

    const int o = h + 2;
    const FigureBoxes outline{Rect{at.x - o, at.y - o / 2, at.x + o, at.y - o / 2 + o}, group.outline_font_height,
                              Rect{at.x + h + 1, at.y + h + 1, at.x + 6 * h + 2, at.y + 2 * h + 2}};
    const Colour rim = SquadMemberRimColour(member->age);
    CanvasSetPen(canvas, rim, 4);
    CanvasSetTextColour(canvas, rim);
    DrawFigure(canvas, *member, at, h, outline, group.small_font_height, altitude, texts);

    const FigureBoxes colour{Rect{at.x - h, at.y - h / 2, at.x + h, at.y - h / 2 + h}, h,
                             Rect{at.x + h, at.y + h, at.x + 6 * h, at.y + 2 * h}};
    const Colour body = SquadMemberColour(member->age);
    CanvasSetPen(canvas, body, 2);
    CanvasSetTextColour(canvas, body);
    DrawFigure(canvas, *member, at, h, colour, group.small_font_height, altitude, texts);
  }
}

void DrawSquadPage(Canvas &canvas) {
  const SquadGroup &group = g_squad_group;
  const int h = group.text_height;
  const int height = g_page_state.window_height;
  CanvasSetFont(canvas, h);
  CanvasSetOpaque(canvas, true);
  CanvasSetBackColour(canvas, Rgb(0, 64, 0));
  CanvasSetTextColour(canvas, Rgb(102, 204, 102));

  wchar_t text[kPageTextCapacity];
  if (group.squad_number == kBroadcastSquad)
    FormatWide(text, kPageTextCapacity, L"SquadGroup ID : %ls", L"BROADCAST");
  else
    FormatWide(text, kPageTextCapacity, L"SquadGroup ID : %d", group.squad_number);
  const int squad_top = 3 * height / 12;
  CanvasText(canvas, text, -1, Rect{10 * h, squad_top, 30 * h, squad_top + h}, kTextLeft);

  FormatWide(text, kPageTextCapacity, L"Pilot ID : %d", group.own_pilot);
  const int pilot_top = 7 * height / 12;
  CanvasText(canvas, text, -1, Rect{10 * h, pilot_top, 30 * h, pilot_top + h}, kTextLeft);
}
