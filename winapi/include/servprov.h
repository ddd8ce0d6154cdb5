// Services found through an object's site.
#pragma once

#include <unknwn.h>

DEFINE_GUID(IID_IServiceProvider, 0x6D5140C1, 0x7436, 0x11CE, 0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA);

MIDL_INTERFACE("6d5140c1-7436-11ce-8034-00aa006009fa") IServiceProvider : public IUnknown {
  STDMETHOD(QueryService)(REFGUID guidService, REFIID riid, void** ppvObject) = 0;
};
typedef IServiceProvider* LPSERVICEPROVIDER;
