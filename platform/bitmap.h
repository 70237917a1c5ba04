// bitmap.h: a theatre map image loaded at its full size.
#pragma once

#include <cstdint>
#include <string>

struct Bitmap; // opaque; owned by the platform

// Loads a BMP (the portable front end also accepts PNG), after checking its header against the file's size
// and the limits of bitmap_file.h. Null when the file cannot be loaded; why (when given) then says why in a few
// words ("missing", "not a BMP", "too large: ...", "unreadable (...)").
Bitmap *LoadBitmapFile(const wchar_t *path, std::string *why = nullptr);
void FreeBitmap(Bitmap *bitmap);
int BitmapWidth(const Bitmap *bitmap);
int BitmapHeight(const Bitmap *bitmap);
// A number that no other bitmap made in this run has (0 for none): what a picture drawn from a bitmap is kept
// by, since a freed bitmap's address may be given to the next one.
uint64_t BitmapSerial(const Bitmap *bitmap);
