// page_table.cpp: the label table of the MFD pages and the loading and cycling of the page options.
#include "mfd/page_table.h"

#include "base/settings.h"
#include "base/wide_text.h"

// Labels beginning with a line break sit on the lower line of the two-line boxes of the bottom edge,
// next to the bezel buttons they name.
PageEntries g_page_table[kPageCount] = {
    {
        // 0: MONITORING
        L"", L"", L"", L"",       L"",        L"",        L"",           L"",          L"x1.",       L"",
        L"", L"", L"", L"\nMODE", L"\nROUTE", L"\nOPTNS", L"SELECT TAG", L"ERASE TAG", L"SET BULLS", L"",
        L"", L"", L"", L" + ",    L" - ",     L"",        L"",           L"",          L"",          L"[ MONITORING ]",
    },
    {
        // 1: TAGGING
        L"",   L"AAA",  L"ARMOR",       L"M.INF",  L"UNKN",   L"AIR",     L"MONIT",   L"SYNC ON",    L"x1.",
        L"UP", L"DOWN", L"\nRIGHT",     L"\nLEFT", L"\nMODE", L"\nROUTE", L"\nOPTNS", L"TAG CENTER", L"TAG AGM",
        L"",   L"",     L"AFFIL",       L"",       L"",       L" + ",     L" - ",     L"",           L"",
        L"",   L"",     L"[ TAGGING ]",
    },
    {
        // 2: FAILURES STATUS
        L"", L"", L"", L"", L"", L"", L"MONIT", L"", L"", L"", L"", L"", L"", L"\nMODE", L"",
        L"", L"", L"", L"", L"", L"", L"",      L"", L"", L"", L"", L"", L"", L"",       L"[ FAILURES STATUS ]",
    },
    {
        // 3: SQUAD GROUP
        L"",       L"", L"", L"",       L"", L"", L"MONIT",      L"",      L"",      L"",
        L"",       L"", L"", L"\nMODE", L"", L"", L"JOIN SQUAD", L"PID -", L"PID +", L"SQID -",
        L"SQID +", L"", L"", L"",       L"", L"", L"",           L"",      L"",      L"[ SQUAD GROUP ]",
    },
    {
        // 4: DATABASES; buttons 6 to 8 are labelled at start-up from the map catalogue
        L"", L"",           L"",          L"", L"",           L"",
        L"", L"",           L"",          L"", L"",           L"",
        L"", L"\nMODE",     L"",          L"", L"CLEAR TAGS", L"RESEND TAGS",
        L"", L"CLEAR MSGS", L"RESET ALL", L"", L"",           L"",
        L"", L"",           L"",          L"", L"",           L"[ DATABASES ]",
    },
};

static bool ValidPage(int page) { return page >= 0 && page < kPageCount; }

const wchar_t *PageLabel(int page, int button) {
  if (!ValidPage(page) || button < 1 || button > kButtonCount)
    return L"";
  return g_page_table[page][button];
}

const wchar_t *PageTitle(int page) { return ValidPage(page) ? g_page_table[page][kTitleEntry] : L""; }

void SetPageLabel(int page, int button, const wchar_t *text) {
  if (!ValidPage(page) || button < 1 || button > kButtonCount)
    return;
  CopyWide(g_page_table[page][button], kLabelCapacity, text);
}

void LoadPageOption(PageState &state, int page, int32_t top_bit) {
  state.option_top_bits[page] = top_bit;
  state.option_values[page] = static_cast<uint32_t>(ReadPageOption(page, 2 * top_bit - 1));
}

void CyclePageOption(PageState &state) {
  const int page = state.current_page;
  uint32_t value = state.option_values[page] + 1;
  // Compared unsigned, so a stored value beyond the bits of the page also wraps to 0 on the next press.
  if (value >= static_cast<uint32_t>(2 * state.option_top_bits[page]))
    value = 0;
  state.option_values[page] = value;
  WritePageOption(page, static_cast<int>(value));
}
