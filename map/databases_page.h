// databases_page.h: the DATABASES page body: the loaded map, the version and the size of every database.
#pragma once

struct Canvas;
struct MapView;

// The counts the page shows. The caller walks the four lists under the shared-data lock; the hosts count
// reads the recipients file (CountRecipients) and so must be taken before the lock.
struct DatabaseCounts {
  int routes = 0;
  int tags = 0;
  int messages = 0;
  int aircraft = 0;
  int hosts = 0;
};

// Seven centred lines from below the window's middle: map, version, an empty line, then routes, tags,
// messages, aircraft and reachable hosts.
void DrawDatabasesPage(Canvas &canvas, const MapView &view, const wchar_t *version, const DatabaseCounts &counts);
