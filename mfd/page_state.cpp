// page_state.cpp: the page machine's record.
#include "mfd/page_state.h"

PageState g_page_state;
