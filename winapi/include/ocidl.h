// OLE control interfaces: the site of an object, ready states.
#pragma once

#include <oaidl.h>
#include <oleidl.h>
#include <unknwn.h>

typedef enum tagREADYSTATE {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4
} READYSTATE;

DEFINE_GUID(IID_IObjectWithSite, 0xFC4801A3, 0x2BA9, 0x11CF, 0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52);

MIDL_INTERFACE("fc4801a3-2ba9-11cf-a229-00aa003d7352") IObjectWithSite : public IUnknown {
  STDMETHOD(SetSite)(IUnknown* pUnkSite) = 0;
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) = 0;
};
typedef IObjectWithSite* LPOBJECTWITHSITE;
