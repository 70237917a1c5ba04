// page_table.h: the titles and button labels of the five MFD pages, and the per-page display options.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mfd/page_state.h"

constexpr int kButtonCount = 28;
constexpr size_t kLabelCapacity = 32; // wide characters, terminator included

// Entries 1..28 are the labels of buttons 1..28, entry 29 the page title; entry 0 is unused so that a
// button number indexes its own label.
constexpr int kTitleEntry = 29;
using PageEntries = wchar_t[kTitleEntry + 1][kLabelCapacity];
extern PageEntries g_page_table[kPageCount];

// The label of a button (1..28) on a page; empty text for a button outside 1..28.
const wchar_t *PageLabel(int page, int button);
const wchar_t *PageTitle(int page);
// Replaces a label, cut to 31 characters. The labels that change while the program runs (SYNC, JOIN
// SQUAD, the three LOAD buttons) are set through this.
void SetPageLabel(int page, int button, const wchar_t *text);

// The display options of a page are a bit set of top_bit * 2 - 1 possible values, kept in
// "MenuOption#%02d"; the default is every bit on.
void LoadPageOption(PageState &state, int page, int32_t top_bit);
// Steps the current page's option value through every combination of its bits and stores it.
void CyclePageOption(PageState &state);
