// The class, interface and type library ids of Daybander, and its dual
// interface IExplorerBar, which has no members beyond IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}
DEFINE_GUID(CLSID_ExplorerBar, 0x8DCA1F48, 0x0961, 0x4FE8, 0xB7, 0x0F, 0x45, 0xE1, 0xC4, 0xF0, 0x65, 0x7C);
// {73FE2B10-075F-4D49-90DF-804768588E6C}
DEFINE_GUID(IID_IExplorerBar, 0x73FE2B10, 0x075F, 0x4D49, 0x90, 0xDF, 0x80, 0x47, 0x68, 0x58, 0x8E, 0x6C);
// {8200D3A3-81E7-4A2A-A0B2-17E272B1A45C}, version 1.0
DEFINE_GUID(LIBID_DAYBANDERLib, 0x8200D3A3, 0x81E7, 0x4A2A, 0xA0, 0xB2, 0x17, 0xE2, 0x72, 0xB1, 0xA4, 0x5C);

struct IExplorerBar : public IDispatch {};
