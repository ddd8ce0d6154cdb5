// Resource ids shared by daybander.rc and the library code.
#pragma once

#define IDS_PROJNAME 100

// The registry script that registers the band's class.
#define IDR_EXPLORERBAR 101

// The band's context menu and its commands.
#define IDR_CONTEXTMENU 207
#define ID_FORMAT_ENGLISH 32771
#define ID_FORMAT_NUMERIC 32775
#define ID_FORMAT_PERSIAN 32776
#define ID_SIZE_INCREASE 32777
#define ID_SIZE_DECREASE 32778
#define ID_FULL_CALENDAR 65535
