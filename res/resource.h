#pragma once
// Resource identifiers shared by kestrel.rc and the program's windows.
#define IDI_KESTREL 1
#define IDI_GLOBE 2
