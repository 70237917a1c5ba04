// shell_state.cpp: the program's one record.
#include "app/shell_state.h"

Shell g_shell;
