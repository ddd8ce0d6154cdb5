// Window classes: the system classes and those a program or library
// registers, looked up as Windows looks them up.
#include <windows.h>

#include "internal.h"
#include "user_internal.h"

namespace winapi {
namespace user {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

ClassName NameOf(LPCWSTR name) {
  ClassName n;
  if (IS_INTRESOURCE(name)) {
    n.isAtom = true;
    n.atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
  } else {
    n.text = name;
  }
  return n;
}

ClassName NameOf(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return NameOf(reinterpret_cast<LPCWSTR>(name));
  ClassName n;
  n.text = winapi::FromAnsi(name);
  return n;
}

namespace {

bool Matches(const WindowClass& c, const ClassName& n) { return n.isAtom ? c.atom == n.atom : SameName(c.name, n.text); }

}  // namespace

HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(GetModuleHandleA(nullptr)); }

std::shared_ptr<WindowClass> FindClass(const ClassName& name, HINSTANCE instance, HINSTANCE program) {
  State& s = S();
  Lock hold(s.lock);
  if (!instance) instance = program;
  for (auto& c : s.classes) {
    if (!c->system && !(c->style & CS_GLOBALCLASS) && c->instance == instance && Matches(*c, name)) return c;
  }
  for (auto& c : s.classes) {
    if (!c->system && (c->style & CS_GLOBALCLASS) && Matches(*c, name)) return c;
  }
  for (auto& c : s.classes) {
    if (c->system && Matches(*c, name)) return c;
  }
  return nullptr;
}

namespace {

template <typename WndClass>
ATOM RegisterCommon(const WndClass* wc, bool unicode, const ClassName& name, HINSTANCE program) {
  State& s = S();
  auto c = std::make_shared<WindowClass>();
  c->name = name.text;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->unicode = unicode;
  c->clsExtra = wc->cbClsExtra;
  c->wndExtra = wc->cbWndExtra;
  c->instance = wc->hInstance ? wc->hInstance : program;
  c->icon = wc->hIcon;
  c->iconSmall = wc->hIconSm;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  Lock hold(s.lock);
  for (auto& other : s.classes) {
    if (other->system || !SameName(other->name, c->name)) continue;
    const bool bothGlobal = (other->style & CS_GLOBALCLASS) && (c->style & CS_GLOBALCLASS);
    if (other->instance == c->instance || bothGlobal) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  c->atom = s.nextAtom++;
  s.classes.push_back(c);
  return c->atom;
}

BOOL UnregisterCommon(const ClassName& name, HINSTANCE instance, HINSTANCE program) {
  State& s = S();
  if (!instance) instance = program;
  Lock hold(s.lock);
  for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
    const auto& c = *it;
    if (c->system || c->instance != instance || !Matches(*c, name)) continue;
    if (c->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    s.classes.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

// Fills what GetClassInfoEx reports, lpszClassName pointing at the caller's
// name as Windows leaves it; returns the atom.
template <typename WndClass, typename Char>
ATOM ClassInfo(const std::shared_ptr<WindowClass>& c, HINSTANCE instance, const Char* asked, WndClass* out,
               bool unicode) {
  out->style = c->style;
  out->lpfnWndProc = c->system ? (unicode ? c->procW : c->procA) : c->proc;
  out->cbClsExtra = c->clsExtra;
  out->cbWndExtra = c->wndExtra;
  out->hInstance = c->system ? instance : c->instance;
  out->hIcon = c->icon;
  out->hCursor = c->cursor;
  out->hbrBackground = c->background;
  out->lpszMenuName = nullptr;
  out->lpszClassName = asked;
  out->hIconSm = c->iconSmall;
  return c->atom;
}

}  // namespace

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

EXTERN_C ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterCommon(wc, true, NameOf(wc->lpszClassName), ProgramInstance());
}

EXTERN_C ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterCommon(wc, false, NameOf(wc->lpszClassName), ProgramInstance());
}

EXTERN_C BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE instance) {
  if (!name) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterCommon(NameOf(name), instance, ProgramInstance());
}

EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
  if (!name) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterCommon(NameOf(name), instance, ProgramInstance());
}

namespace {

template <typename Char, typename WndClass>
BOOL GetClassInfoCommon(HINSTANCE instance, const Char* name, WndClass* out, bool unicode) {
  if (!name || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto c = FindClass(NameOf(name), instance, ProgramInstance());
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  Lock hold(S().lock);
  return ClassInfo(c, instance, name, out, unicode);
}

}  // namespace

EXTERN_C BOOL WINAPI GetClassInfoExW(HINSTANCE instance, LPCWSTR name, LPWNDCLASSEXW out) {
  return GetClassInfoCommon(instance, name, out, true);
}

EXTERN_C BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR name, LPWNDCLASSEXA out) {
  return GetClassInfoCommon(instance, name, out, false);
}

EXTERN_C int WINAPI GetClassNameW(HWND hwnd, LPWSTR buffer, int max) {
  auto w = Need(hwnd);
  if (!w) return 0;
  if (!buffer || max <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  Lock hold(S().lock);
  return static_cast<int>(CopyText(w->cls->name, buffer, static_cast<WPARAM>(max)));
}

EXTERN_C int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int max) {
  auto w = Need(hwnd);
  if (!w) return 0;
  if (!buffer || max <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  Lock hold(S().lock);
  return static_cast<int>(CopyText(winapi::ToAnsi(w->cls->name.c_str()), buffer, static_cast<WPARAM>(max)));
}
