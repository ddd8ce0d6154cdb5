// Resource ids shared by daybander.rc and the library code.
#pragma once

#define IDS_PROJNAME 100
