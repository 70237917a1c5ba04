// bitmap.h: a theatre map image loaded at its full size.
#pragma once

struct Bitmap; // opaque; owned by the platform

// Loads a BMP (the portable front end also accepts PNG). Null when the file cannot be read.
Bitmap *LoadBitmapFile(const wchar_t *path);
void FreeBitmap(Bitmap *bitmap);
int BitmapWidth(const Bitmap *bitmap);
int BitmapHeight(const Bitmap *bitmap);
