// squad_drawing.h: the squad members on the map pages and the body of the SQUAD GROUP page.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

struct SquadMember;

// True when the squad number q shows a member of squad: its own squad's members, every member on the
// broadcast squad, and every member of the broadcast squad.
bool SquadMemberVisible(int32_t member_squad, int32_t q);

// The colour of a member's figure by the age of its report: blue while fresh (up to 5 seconds), red up to
// a minute, black beyond. The rim under it is black while fresh and white afterwards.
Colour SquadMemberColour(uint32_t age);
Colour SquadMemberRimColour(uint32_t age);

// The altitude text: "%dm" when unit_km is 1, "FL%d" when it is 0, the altitude truncated toward zero.
// Any other unit flag gives an empty text, since the kept altitude then has no known unit.
void FormatSquadAltitude(wchar_t *out, int capacity, double altitude, int32_t unit_km);

// Draws the members of g_squad_group over the map of g_map_view through the view transform: nothing
// while the map is not shown or the station has not joined. A member whose report lay off the map
// (on_map 0) has no position to draw at and is left out. The caller holds the shared-data lock.
void DrawSquadMembers(Canvas &canvas);

// The SQUAD GROUP page body: the squad number ("BROADCAST" for 99) and the own pilot number, placed by the
// window height the page frame was laid out for.
void DrawSquadPage(Canvas &canvas);
