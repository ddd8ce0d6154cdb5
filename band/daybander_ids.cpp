// Defines the ids that daybander_ids.h declares.
#include <initguid.h>

#include "daybander_ids.h"
