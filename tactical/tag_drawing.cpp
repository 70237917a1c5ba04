// tag_drawing.cpp: the tags on the map pages, their labels and the selected tag's steering line.
#include "tactical/tag_drawing.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/view_transform.h"
#include "mfd/page_state.h"
#include "tactical/squad_group.h"
#include "tactical/tag_cells.h"
#include "tactical/tag_database.h"
#include "tactical/tag_symbols.h"

namespace {
constexpr Colour kLabelColour = Rgb(240, 240, 0);
constexpr Colour kDarkBorder = Rgb(64, 64, 0); // under the steering line and behind the selected texts
constexpr int kLabelCapacity = 16;
constexpr int kReadoutCapacity = 32;

int32_t OwnSquadNumber(const TagDatabase &tags) {
  return tags.squad_group != nullptr ? tags.squad_group->squad_number : g_squad_group.squad_number;
}

// The steering line from the tag to the ownship at the window centre, coloured on a dark border, and the
// tag's name on a dark plate over its label. No line before the first position: the centre is then no ownship.
void DrawSelection(Canvas &canvas, const TagRecord &tag, Point at, Point centre, Rect label_box) {
  const Colour colour = TagFillColour(tag.symbol.affiliation);
  CanvasSetTextColour(canvas, colour);
  if (g_map_view.position_known != 0) {
    CanvasSetPen(canvas, kDarkBorder, 5);
    CanvasMoveTo(canvas, at.x, at.y);
    CanvasLineTo(canvas, centre.x, centre.y);
    CanvasSetPen(canvas, colour, 3);
    CanvasLineTo(canvas, at.x, at.y);
  }
  CanvasSetOpaque(canvas, true);
  CanvasSetBackColour(canvas, kDarkBorder);
  CanvasText(canvas, tag.name, -1, label_box, kTextCenter);
}

void DrawReadout(Canvas &canvas, const TagDatabase &tags, const TagRecord &tag, Point centre) {
  double bearing = 0.0, distance = 0.0;
  BearingAndDistance(g_map_view, tag.latitude, tag.longitude, &bearing, &distance);
  wchar_t readout[kReadoutCapacity];
  if (g_map_view.unit_km == 0)
    FormatWide(readout, kReadoutCapacity, L"%0.1f\u00b0/%0.1fnm", bearing, distance);
  else
    FormatWide(readout, kReadoutCapacity, L"%0.1f\u00b0/%0.0fkm", bearing, distance);
  CanvasSetTextColour(canvas, TagFillColour(tag.symbol.affiliation));
  CanvasSetOpaque(canvas, true);
  CanvasSetBackColour(canvas, kDarkBorder);
  CanvasSetFont(canvas, tags.large_font_height);
  CanvasText(canvas, readout, -1, Rect{centre.x - 200, centre.y + 20, centre.x + 200, centre.y + 40}, kTextCenter);
}

// How far a tag's symbol reaches about its point: S/2 to either side and below, 2S/3 above (the friend air dome), and
// the pen beyond. Generous: a margin costs nothing.
WindowReach SymbolReach(int s) { return WindowReach{-(s / 2 + 8), -(s + 8), s / 2 + 9, s / 2 + 9}; }

// How far a label of that many characters reaches: it is centred on the tag in a box 200 wide and 16 high from S/2
// below, and clipped to the box; no character of the bold monospace face is as wide as its cell is high, so the text
// stays within length x height about the centre.
WindowReach LabelReach(int s, int length, int font_height) {
  const int half = std::min(100, length * font_height / 2 + font_height + 2);
  return WindowReach{-half, s / 2, half + 1, s / 2 + 16};
}

// The union of both, for the widest label: where a tag must lie to be looked at more closely.
WindowReach TagReach(int s) {
  return WindowReach{-std::max(100, s / 2 + 8), -(s + 8), std::max(101, s / 2 + 9), s / 2 + 16};
}
} // namespace

bool TagVisible(int32_t squad, int32_t q) { return squad == q || q == kBroadcastSquad || squad == 0; }

void FormatTagLabel(wchar_t *out, int capacity, uint32_t number, int32_t squad, int32_t pilot, int32_t q) {
  const auto size = static_cast<size_t>(capacity);
  out[0] = L'\0';
  // Applied in order, the last that applies wins.
  if (q == kBroadcastSquad)
    FormatWide(out, size, L"#%02u[%02d/%02d]", number, squad, pilot);
  if (squad == 0)
    FormatWide(out, size, L"#%02u", number);
  if (squad == q)
    FormatWide(out, size, L"#%02u[%02d]", number, pilot);
}

void DrawTags(Canvas &canvas, const PageState &pages) {
  TagDatabase &tags = g_tag_database;
  if (g_map_view.map_shown == 0 || tags.root.next == nullptr)
    return;
  const int32_t q = OwnSquadNumber(tags);
  const int s = tags.symbol_size;
  const ViewTransform transform = MakeViewTransform(g_map_view);
  // The ownship is drawn at the window centre on MONITORING, where the view follows it.
  const Point centre{MapWindowWidth(g_map_view) / 2, MapWindowHeight(g_map_view) / 2};
  const bool monitoring = pages.current_page == kPageMonitoring;
  const BitmapBounds near = NearCanvas(transform, canvas, TagReach(s));
  const TagRecord *selected_drawn = nullptr;

  // The tags filed in the squares near the window, and the selected one wherever it lies, in list order.
  FileTagPlaces(tags, g_calibration_grid);
  std::vector<uint64_t> keys;
  FindItems(tags.squares, near, keys, false); // put in order by KeepTopTagOfEachCell
  const uint32_t selected = monitoring ? tags.selected : 0;
  if (selected != 0) {
    const auto place = std::find_if(tags.places.begin(), tags.places.end(),
                                    [selected](const TagPlace &p) { return p.number == selected; });
    if (place != tags.places.end() && place->filed &&
        std::find(keys.begin(), keys.end(), place->sequence) == keys.end())
      keys.push_back(place->sequence);
  }
  // Under a flood only the top tag of each small cell, half a symbol wide, is drawn: the others lie hidden in the mass.
  KeepTopTagOfEachCell(keys, tags.places, transform, canvas.width, canvas.height, std::max(kWindowCellSide, s / 2),
                       TagVisible, q, selected);

  for (const uint64_t key : keys) {
    const TagPlace &place = *std::lower_bound(tags.places.begin(), tags.places.end(), key,
                                              [](const TagPlace &p, uint64_t k) { return p.sequence < k; });
    if (!TagVisible(place.squad, q))
      continue;
    // The selected tag's steering line runs to the window centre from wherever the tag lies: it is drawn whole.
    const bool is_selected = place.number == selected;
    const TagRecord &tag = *place.tag;
    const Point at = BitmapToWindow(transform, place.x, place.y);
    wchar_t label[kLabelCapacity];
    FormatTagLabel(label, kLabelCapacity, tag.number, tag.squad, tag.pilot, q);
    const int length = static_cast<int>(std::wcslen(label));

    if (is_selected || Reaches(canvas, at, SymbolReach(s)))
      DrawTagSymbol(canvas, at.x, at.y, tag.symbol);
    const Rect label_box{at.x - 100, at.y + s / 2, at.x + 100, at.y + s / 2 + 16};
    if (is_selected || Reaches(canvas, at, LabelReach(s, length, tags.small_font_height))) {
      CanvasSetFont(canvas, tags.small_font_height);
      CanvasSetOpaque(canvas, false);
      CanvasSetTextColour(canvas, kLabelColour);
      CanvasText(canvas, label, length, label_box, kTextCenter);
    }
    if (is_selected) {
      DrawSelection(canvas, tag, at, centre, label_box);
      selected_drawn = &tag;
    }
  }

  if (selected_drawn != nullptr && g_map_view.position_known != 0)
    DrawReadout(canvas, tags, *selected_drawn, centre);
}
