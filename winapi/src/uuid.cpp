// Definitions of the interface and class ids that the headers declare.
#define INITGUID
#include <windows.h>
