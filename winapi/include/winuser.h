// Window classes, windows and messages, focus, timers and menus, with the
// SDK's names and values. Strings of the A functions are in the ANSI code
// page (winnls.h); the W functions take UTF-16.
#pragma once

#include <windef.h>
#include <winerror.h>

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);

#define MAKEINTATOM(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))

// ---------------------------------------------------------------------------
// Structures
typedef struct tagWNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXA, *PWNDCLASSEXA, *LPWNDCLASSEXA;

typedef struct tagWNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXW, *PWNDCLASSEXW, *LPWNDCLASSEXW;

typedef struct tagCREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

typedef struct tagCREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTW, *LPCREATESTRUCTW;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagWINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
} WINDOWPOS, *LPWINDOWPOS, *PWINDOWPOS;

typedef struct tagTPMPARAMS {
  UINT cbSize;
  RECT rcExclude;
} TPMPARAMS, *LPTPMPARAMS;

// ---------------------------------------------------------------------------
// Messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NOTIFY 0x004E
#define WM_CONTEXTMENU 0x007B
#define WM_STYLECHANGING 0x007C
#define WM_STYLECHANGED 0x007D
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_INITMENU 0x0116
#define WM_INITMENUPOPUP 0x0117
#define WM_MENUSELECT 0x011F
#define WM_UNINITMENUPOPUP 0x0125
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_PARENTNOTIFY 0x0210
#define WM_ENTERMENULOOP 0x0211
#define WM_EXITMENULOOP 0x0212
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_SIZE
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// Mouse messages: keys and buttons down, in wParam
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008

// WM_NCHITTEST
#define HTERROR (-2)
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1

// ---------------------------------------------------------------------------
// Window styles
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_CHILDWINDOW WS_CHILD
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_NOPARENTNOTIFY 0x00000004L

// Static control styles
#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_ICON 0x00000003L
#define SS_SIMPLE 0x0000000BL
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_NOPREFIX 0x00000080L
#define SS_NOTIFY 0x00000100L
#define SS_CENTERIMAGE 0x00000200L

// Class styles
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_NOCLOSE 0x0200
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT ((int)0x80000000)

#define HWND_DESKTOP ((HWND)0)
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
#define HWND_MESSAGE ((HWND)-3)

// ShowWindow
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200
#define SWP_NOSENDCHANGING 0x0400
#define SWP_NOCLIENTSIZE 0x0800
#define SWP_NOCLIENTMOVE 0x1000

// Get/SetWindowLongPtr
#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)

// GetWindow
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// ---------------------------------------------------------------------------
// Menus
#define MF_INSERT 0x00000000L
#define MF_CHANGE 0x00000080L
#define MF_APPEND 0x00000100L
#define MF_DELETE 0x00000200L
#define MF_REMOVE 0x00001000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_USECHECKBITMAPS 0x00000200L
#define MF_STRING 0x00000000L
#define MF_BITMAP 0x00000004L
#define MF_OWNERDRAW 0x00000100L
#define MF_POPUP 0x00000010L
#define MF_MENUBARBREAK 0x00000020L
#define MF_MENUBREAK 0x00000040L
#define MF_UNHILITE 0x00000000L
#define MF_HILITE 0x00000080L
#define MF_DEFAULT 0x00001000L
#define MF_SYSMENU 0x00002000L
#define MF_HELP 0x00004000L
#define MF_RIGHTJUSTIFY 0x00004000L
#define MF_MOUSESELECT 0x00008000L
#define MF_END 0x00000080L

#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_CENTERALIGN 0x0004L
#define TPM_RIGHTALIGN 0x0008L
#define TPM_TOPALIGN 0x0000L
#define TPM_VCENTERALIGN 0x0010L
#define TPM_BOTTOMALIGN 0x0020L
#define TPM_HORIZONTAL 0x0000L
#define TPM_VERTICAL 0x0040L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L
#define TPM_RECURSE 0x0001L

// ---------------------------------------------------------------------------
// Window classes
EXTERN_C ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx);
EXTERN_C ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx);
EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);
EXTERN_C BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
// Returns the class atom when found (a BOOL to the SDK's declaration).
EXTERN_C BOOL WINAPI GetClassInfoExA(HINSTANCE hInstance, LPCSTR lpszClass, LPWNDCLASSEXA lpwcx);
EXTERN_C BOOL WINAPI GetClassInfoExW(HINSTANCE hInstance, LPCWSTR lpszClass, LPWNDCLASSEXW lpwcx);
EXTERN_C int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount);
EXTERN_C int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);

// ---------------------------------------------------------------------------
// Windows
EXTERN_C HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                     HINSTANCE hInstance, LPVOID lpParam);
EXTERN_C HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
                                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                     HINSTANCE hInstance, LPVOID lpParam);
EXTERN_C BOOL WINAPI DestroyWindow(HWND hWnd);
EXTERN_C BOOL WINAPI IsWindow(HWND hWnd);
EXTERN_C BOOL WINAPI IsWindowVisible(HWND hWnd);
EXTERN_C BOOL WINAPI IsWindowUnicode(HWND hWnd);
EXTERN_C BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd);
EXTERN_C BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
EXTERN_C BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
EXTERN_C BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
EXTERN_C BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
EXTERN_C BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
EXTERN_C BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);
EXTERN_C BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
EXTERN_C HWND WINAPI GetParent(HWND hWnd);
EXTERN_C HWND WINAPI GetWindow(HWND hWnd, UINT uCmd);
EXTERN_C HWND WINAPI GetDesktopWindow(void);
EXTERN_C HWND WINAPI WindowFromPoint(POINT Point);
EXTERN_C BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam);
EXTERN_C int WINAPI GetDlgCtrlID(HWND hWnd);
EXTERN_C BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
EXTERN_C BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect);
EXTERN_C BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
EXTERN_C BOOL WINAPI UpdateWindow(HWND hWnd);
EXTERN_C BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
EXTERN_C BOOL WINAPI IsWindowEnabled(HWND hWnd);

EXTERN_C HWND WINAPI SetFocus(HWND hWnd);
EXTERN_C HWND WINAPI GetFocus(void);

EXTERN_C BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
EXTERN_C BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
EXTERN_C int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
EXTERN_C int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
EXTERN_C int WINAPI GetWindowTextLengthA(HWND hWnd);
EXTERN_C int WINAPI GetWindowTextLengthW(HWND hWnd);

EXTERN_C LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);
EXTERN_C LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex);
EXTERN_C LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
EXTERN_C LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
EXTERN_C LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex);
EXTERN_C LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex);
EXTERN_C LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);
EXTERN_C LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);

EXTERN_C BOOL WINAPI SetPropA(HWND hWnd, LPCSTR lpString, HANDLE hData);
EXTERN_C BOOL WINAPI SetPropW(HWND hWnd, LPCWSTR lpString, HANDLE hData);
EXTERN_C HANDLE WINAPI GetPropA(HWND hWnd, LPCSTR lpString);
EXTERN_C HANDLE WINAPI GetPropW(HWND hWnd, LPCWSTR lpString);
EXTERN_C HANDLE WINAPI RemovePropA(HWND hWnd, LPCSTR lpString);
EXTERN_C HANDLE WINAPI RemovePropW(HWND hWnd, LPCWSTR lpString);

// ---------------------------------------------------------------------------
// Messages: sent ones reach the window procedure at once, on the caller's
// thread; posted ones wait in one queue until they are peeked (there is no
// blocking GetMessage: nothing else could ever post while it waited). WM_TIMER
// is made when a timer is due and the queue has nothing else to give.
EXTERN_C LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C void WINAPI PostQuitMessage(int nExitCode);
EXTERN_C BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
EXTERN_C BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
EXTERN_C BOOL WINAPI TranslateMessage(const MSG* lpMsg);
EXTERN_C LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
EXTERN_C LRESULT WINAPI DispatchMessageW(const MSG* lpMsg);

// ---------------------------------------------------------------------------
// Timers
EXTERN_C UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
EXTERN_C BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---------------------------------------------------------------------------
// Menus
EXTERN_C HMENU WINAPI CreateMenu(void);
EXTERN_C HMENU WINAPI CreatePopupMenu(void);
EXTERN_C HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName);
EXTERN_C HMENU WINAPI LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
EXTERN_C BOOL WINAPI DestroyMenu(HMENU hMenu);
EXTERN_C BOOL WINAPI IsMenu(HMENU hMenu);
EXTERN_C HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos);
EXTERN_C int WINAPI GetMenuItemCount(HMENU hMenu);
EXTERN_C UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos);
EXTERN_C UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
EXTERN_C int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags);
EXTERN_C int WINAPI GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags);
EXTERN_C BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem);
EXTERN_C BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
EXTERN_C BOOL WINAPI InsertMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem);
EXTERN_C BOOL WINAPI InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
EXTERN_C BOOL WINAPI ModifyMenuA(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem);
EXTERN_C BOOL WINAPI ModifyMenuW(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
EXTERN_C BOOL WINAPI RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
EXTERN_C BOOL WINAPI DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
EXTERN_C DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);
EXTERN_C BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
EXTERN_C BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                                    const RECT* prcRect);
EXTERN_C BOOL WINAPI TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, LPTPMPARAMS lptpm);

// ---------------------------------------------------------------------------
// Names without a suffix follow UNICODE, as in the SDK.
#ifdef UNICODE
#define WNDCLASSEX WNDCLASSEXW
#define CREATESTRUCT CREATESTRUCTW
#define RegisterClassEx RegisterClassExW
#define UnregisterClass UnregisterClassW
#define GetClassInfoEx GetClassInfoExW
#define GetClassName GetClassNameW
#define CreateWindowEx CreateWindowExW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define GetWindowTextLength GetWindowTextLengthW
#define GetWindowLongPtr GetWindowLongPtrW
#define SetWindowLongPtr SetWindowLongPtrW
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW
#define SetProp SetPropW
#define GetProp GetPropW
#define RemoveProp RemovePropW
#define SendMessage SendMessageW
#define PostMessage PostMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW
#define CallWindowProc CallWindowProcW
#define DefWindowProc DefWindowProcW
#define LoadMenu LoadMenuW
#define GetMenuString GetMenuStringW
#define AppendMenu AppendMenuW
#define InsertMenu InsertMenuW
#define ModifyMenu ModifyMenuW
#else
#define WNDCLASSEX WNDCLASSEXA
#define CREATESTRUCT CREATESTRUCTA
#define RegisterClassEx RegisterClassExA
#define UnregisterClass UnregisterClassA
#define GetClassInfoEx GetClassInfoExA
#define GetClassName GetClassNameA
#define CreateWindowEx CreateWindowExA
#define SetWindowText SetWindowTextA
#define GetWindowText GetWindowTextA
#define GetWindowTextLength GetWindowTextLengthA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA
#define GetWindowLong GetWindowLongA
#define SetWindowLong SetWindowLongA
#define SetProp SetPropA
#define GetProp GetPropA
#define RemoveProp RemovePropA
#define SendMessage SendMessageA
#define PostMessage PostMessageA
#define PeekMessage PeekMessageA
#define DispatchMessage DispatchMessageA
#define CallWindowProc CallWindowProcA
#define DefWindowProc DefWindowProcA
#define LoadMenu LoadMenuA
#define GetMenuString GetMenuStringA
#define AppendMenu AppendMenuA
#define InsertMenu InsertMenuA
#define ModifyMenu ModifyMenuA
#endif
typedef CREATESTRUCT* LPCREATESTRUCT;
typedef WNDCLASSEX* LPWNDCLASSEX;
