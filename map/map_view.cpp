// map_view.cpp: the moving map's state record.
#include "map/map_view.h"

MapView g_map_view;
