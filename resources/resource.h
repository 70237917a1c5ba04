// resource.h: the ids of the Windows program's resources, shared by kestrel.rc and the program.
#pragma once

#define IDS_APP_TITLE 103
#define IDS_VERSION 104
#define IDI_KESTREL 107
#define IDC_KESTREL 109
