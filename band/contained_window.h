// A window whose messages go to a member of another object: the window of a
// superclass of a system class, routed first through the object's message map
// and then, when the map leaves a message unhandled, to the system class's own
// window procedure.
#pragma once

#include <windows.h>

// An object that handles window messages. Returns TRUE when it handled the
// message (the result is then in lResult), FALSE to let the window's own
// procedure have it. dwMsgMapID tells apart the maps of one object.
class CMessageMap {
 public:
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                    DWORD dwMsgMapID) = 0;

 protected:
  ~CMessageMap() = default;
};

// The window of a superclass "Daybander:<base class>" registered once in the
// library's instance. The window is bound to this object by its first message
// (through the module's list of windows being created) and stays bound until
// WM_NCDESTROY, or until this object goes first.
class CContainedWindow {
 public:
  CContainedWindow(LPCSTR lpszBaseClassName, CMessageMap* pObject, DWORD dwMsgMapID = 0);
  CContainedWindow(const CContainedWindow&) = delete;
  CContainedWindow& operator=(const CContainedWindow&) = delete;
  // Does not destroy the window: it only unbinds it, so that a window that
  // outlives this object gets the base class's behaviour and nothing else.
  ~CContainedWindow();

  // Creates the window. Null when the base class is unknown, the superclass
  // cannot be registered or the window cannot be created.
  HWND Create(HWND hWndParent, int x, int y, int nWidth, int nHeight, LPCSTR lpszWindowName, DWORD dwStyle,
              DWORD dwExStyle, HMENU hMenu, LPVOID lpCreateParam);

  // Unregisters the superclasses that no window uses any more: called when the
  // last object with a contained window goes, and by the library when it may
  // be unloaded, never from static destruction.
  static void UnregisterUnusedSuperclasses();

  HWND m_hWnd;
  WNDPROC m_pfnSuperWindowProc;
  CMessageMap* m_pObject;
  DWORD m_dwMsgMapID;

 private:
  static LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  LPCSTR m_lpszBaseClassName;
};
