// OLE interfaces: the window of an in-place object.
#pragma once

#include <objidl.h>
#include <unknwn.h>

DEFINE_GUID(IID_IOleWindow, 0x00000114, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

MIDL_INTERFACE("00000114-0000-0000-C000-000000000046") IOleWindow : public IUnknown {
  STDMETHOD(GetWindow)(HWND* phwnd) = 0;
  STDMETHOD(ContextSensitiveHelp)(BOOL fEnterMode) = 0;
};
typedef IOleWindow* LPOLEWINDOW;
