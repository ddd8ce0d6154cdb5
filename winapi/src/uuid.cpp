// Definitions of the interface and class ids that the headers declare.
#define INITGUID
#include <windows.h>

#include <docobj.h>
#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>
#include <shlobj.h>
