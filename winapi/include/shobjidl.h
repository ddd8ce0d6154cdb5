// Shell object interfaces: docking windows, desk bands, input objects.
#pragma once

#include <ocidl.h>
#include <oleidl.h>
#include <unknwn.h>
#include <winuser.h>

DEFINE_GUID(IID_IDockingWindow, 0x012DD920, 0x7B26, 0x11D0, 0x8C, 0xA9, 0x00, 0xA0, 0xC9, 0x2D, 0xBF, 0xE8);
DEFINE_GUID(IID_IDeskBand, 0xEB0FE172, 0x1A3A, 0x11D0, 0x89, 0xB3, 0x00, 0xA0, 0xC9, 0x0A, 0x90, 0xAC);
DEFINE_GUID(IID_IInputObjectSite, 0xF1DB8392, 0x7331, 0x11D0, 0x8C, 0x99, 0x00, 0xA0, 0xC9, 0x2D, 0xBF, 0xE8);
DEFINE_GUID(IID_IInputObject, 0x68284FAA, 0x6A48, 0x11D0, 0x8C, 0x78, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xB4);

MIDL_INTERFACE("012dd920-7b26-11d0-8ca9-00a0c92dbfe8") IDockingWindow : public IOleWindow {
  STDMETHOD(ShowDW)(BOOL fShow) = 0;
  STDMETHOD(CloseDW)(DWORD dwReserved) = 0;
  STDMETHOD(ResizeBorderDW)(LPCRECT prcBorder, IUnknown* punkToolbarSite, BOOL fReserved) = 0;
};

#define DBIM_MINSIZE 0x0001
#define DBIM_MAXSIZE 0x0002
#define DBIM_INTEGRAL 0x0004
#define DBIM_ACTUAL 0x0008
#define DBIM_TITLE 0x0010
#define DBIM_MODEFLAGS 0x0020
#define DBIM_BKCOLOR 0x0040

typedef struct DESKBANDINFO {
  DWORD dwMask;
  POINTL ptMinSize;
  POINTL ptMaxSize;
  POINTL ptIntegral;
  POINTL ptActual;
  WCHAR wszTitle[256];
  DWORD dwModeFlags;
  COLORREF crBkgnd;
} DESKBANDINFO;

#define DBIMF_NORMAL 0x0000
#define DBIMF_FIXED 0x0001
#define DBIMF_FIXEDBMP 0x0004
#define DBIMF_VARIABLEHEIGHT 0x0008
#define DBIMF_UNDELETEABLE 0x0010
#define DBIMF_DEBOSSED 0x0020
#define DBIMF_BKCOLOR 0x0040

#define DBIF_VIEWMODE_NORMAL 0x0000
#define DBIF_VIEWMODE_VERTICAL 0x0001
#define DBIF_VIEWMODE_FLOATING 0x0002
#define DBIF_VIEWMODE_TRANSPARENT 0x0004

MIDL_INTERFACE("eb0fe172-1a3a-11d0-89b3-00a0c90a90ac") IDeskBand : public IDockingWindow {
  STDMETHOD(GetBandInfo)(DWORD dwBandID, DWORD dwViewMode, DESKBANDINFO* pdbi) = 0;
};

MIDL_INTERFACE("f1db8392-7331-11d0-8c99-00a0c92dbfe8") IInputObjectSite : public IUnknown {
  STDMETHOD(OnFocusChangeIS)(IUnknown* punkObj, BOOL fSetFocus) = 0;
};

MIDL_INTERFACE("68284faa-6a48-11d0-8c78-00c04fd918b4") IInputObject : public IUnknown {
  STDMETHOD(UIActivateIO)(BOOL fActivate, MSG* pMsg) = 0;
  STDMETHOD(HasFocusIO)() = 0;
  STDMETHOD(TranslateAcceleratorIO)(MSG* pMsg) = 0;
};
