// route_drawing.h: the route over the map (polyline, waypoint symbols, steering cue) and the bullseye's
// range rings.
#pragma once

struct Canvas;
struct CalibrationGrid;
struct MapView;
struct PageState;
struct RouteDatabase;

// The route of points 1 to 127 as one polyline that ends at the first gap in the numbering, the waypoint
// symbols (filled while the page's route display flag is set, hollow otherwise) and, on MONITORING with
// route display on, the steering cue to the ROUTE_TO target with its bearing and distance. Writes the
// points' visible flags: the point after a departure point and the one before an arrival point are hidden
// from then on.
void DrawRoutes(Canvas &canvas, const MapView &view, RouteDatabase &routes, const PageState &page);

// Ten range rings round the bullseye, their step set by the zoom, with bearing ticks every 15 degrees and
// labels at the four cardinal bearings. Nothing while no bullseye is selected.
void DrawBullseye(Canvas &canvas, const MapView &view, const RouteDatabase &routes, const CalibrationGrid &grid);

// The distance between two rings in the display unit at a zoom: 1, 5, 10 or 20.
int BullseyeRingStep(double zoom);
