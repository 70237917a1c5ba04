// tag_symbols.h: the military-style tag symbol (frame by affiliation and class, icon by category) and
// the names the TAGGING selector shows for it.
#pragma once

#include <cstdint>

#include "platform/canvas.h"
#include "tactical/tag_database.h"

// Fill colour of an affiliation: frame fill, the strokes that erase inside the frames, and the selected
// tag's pen and texts. Any value other than 1, 2 and 3 has the unknown colour.
Colour TagFillColour(int32_t affiliation);

// Draws one symbol centred on (x, y) with edge length size. The canvas's pen and brush are restored
// afterwards; the current point is left where the last stroke ended.
void DrawTagSymbolSized(Canvas &canvas, int x, int y, const TagSymbol &symbol, int size);

// Draws one symbol centred on (x, y) at the tag database's symbol size (twice the tag text height).
void DrawTagSymbol(Canvas &canvas, int x, int y, const TagSymbol &symbol);

// Names for the TAGGING selector: "NK", "EN", "FR", "NU"; "Z", "G", "A", "S"; "UNKN ", "AAA  ", "ARMOR",
// "M.INF", "AIRBN". A value outside its table (only a peer can send one) gets the name of what is drawn
// for it: "NK" for an affiliation, "Z" for a class, "UNKN " for a category.
const wchar_t *TagAffiliationName(int32_t affiliation);
const wchar_t *TagClassName(int32_t symbol_class);
const wchar_t *TagCategoryName(int32_t category);
