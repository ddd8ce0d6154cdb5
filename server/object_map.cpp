// The classes this library serves.
#include "module.h"

ObjectMapEntry ObjectMap[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};
