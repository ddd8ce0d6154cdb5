// Menus: menu objects with their items and popups, menu templates loaded
// from a module's resources as Windows parses them, and popup menus whose
// choice a test or the host scripts through the control header.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "loader_lock.h"
#include "winapi_control.h"

namespace {

struct MenuItem {
  UINT flags = 0;        // MF_* type and state bits
  UINT_PTR id = 0;       // the command; for a popup, the handle of its menu
  HMENU sub = nullptr;   // the popup's menu, owned by this menu
  std::u16string text;
};

struct Menu {
  bool popup = false;
  std::vector<MenuItem> items;
};

std::recursive_mutex g_lock;
std::map<HMENU, Menu> g_menus;

// The user's answers to the next popups, each after so long with the menu open.
struct ScriptedChoice {
  UINT command;
  LONGLONG wait;
};
std::deque<ScriptedChoice> g_choices;
WinapiPopupMenuRecord g_lastPopup;
bool g_popupShown = false;

// Taken by every menu function: each is a call into User32, which code under
// the loader lock must not make.
struct Lock : std::lock_guard<std::recursive_mutex> {
  explicit Lock(std::recursive_mutex& m) : std::lock_guard<std::recursive_mutex>(m) {
    winapi::CheckNotUnderLoaderLock("User32");
  }
};

constexpr UINT kPositionFlags = MF_BYPOSITION;
constexpr int kMaxTemplateDepth = 32;

HMENU NewMenu(bool popup) {
  auto handle = reinterpret_cast<HMENU>(winapi::NewObjectHandle());
  {
    Lock hold(g_lock);
    g_menus[handle].popup = popup;
  }
  WinapiCountObject(WinapiMenus, 1);
  return handle;
}

Menu* Find(HMENU menu) {
  auto it = g_menus.find(menu);
  return it == g_menus.end() ? nullptr : &it->second;
}

Menu* Need(HMENU menu) {
  Menu* m = Find(menu);
  if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return m;
}

// Destroys a menu and, with it, the popups it owns.
void Destroy(HMENU menu) {
  Menu* m = Find(menu);
  if (!m) return;
  std::vector<HMENU> subs;
  for (const MenuItem& item : m->items) {
    if (item.sub) subs.push_back(item.sub);
  }
  g_menus.erase(menu);
  WinapiCountObject(WinapiMenus, -1);
  for (HMENU sub : subs) Destroy(sub);
}

// An item by position, or by command anywhere in the menu and its popups,
// depth first in item order, as MF_BYCOMMAND searches.
bool Locate(HMENU menu, UINT item, UINT flags, HMENU* owner, size_t* index, int depth = 0) {
  Menu* m = Find(menu);
  if (!m || depth > kMaxTemplateDepth) return false;
  if (flags & kPositionFlags) {
    if (item >= m->items.size()) return false;
    *owner = menu;
    *index = item;
    return true;
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItem& it = m->items[i];
    if (!(it.flags & MF_POPUP) && it.id == item) {
      *owner = menu;
      *index = i;
      return true;
    }
    if (it.sub && Locate(it.sub, item, flags, owner, index, depth + 1)) return true;
    if ((it.flags & MF_POPUP) && it.id == item) {
      *owner = menu;
      *index = i;
      return true;
    }
  }
  return false;
}

MenuItem* LocateItem(HMENU menu, UINT item, UINT flags) {
  HMENU owner;
  size_t index;
  if (!Locate(menu, item, flags, &owner, &index)) return nullptr;
  return &Find(owner)->items[index];
}

// The item an Insert/Append/ModifyMenu call describes; false for a popup that
// is not a menu.
bool MakeItem(UINT flags, UINT_PTR id, const std::u16string* text, MenuItem* out) {
  out->flags = flags & ~(MF_BYPOSITION | MF_END);
  out->id = id;
  out->sub = nullptr;
  out->text.clear();
  if (flags & MF_POPUP) {
    if (!Find(reinterpret_cast<HMENU>(id))) return false;
    out->sub = reinterpret_cast<HMENU>(id);
    Find(out->sub)->popup = true;
  }
  if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text) out->text = *text;
  return true;
}

BOOL InsertCommon(HMENU menu, UINT position, UINT flags, UINT_PTR id, const std::u16string* text) {
  Lock hold(g_lock);
  Menu* m = Need(menu);
  if (!m) return FALSE;
  MenuItem item;
  if (!MakeItem(flags, id, text, &item)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  HMENU owner = menu;
  size_t index = m->items.size();
  if (!(flags & MF_BYPOSITION) && position != static_cast<UINT>(-1)) {
    if (!Locate(menu, position, 0, &owner, &index)) {
      SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
      return FALSE;
    }
  } else if ((flags & MF_BYPOSITION) && position < m->items.size()) {
    index = position;
  }
  auto& items = Find(owner)->items;
  items.insert(items.begin() + static_cast<long>(index), item);
  return TRUE;
}

BOOL ModifyCommon(HMENU menu, UINT position, UINT flags, UINT_PTR id, const std::u16string* text) {
  Lock hold(g_lock);
  if (!Need(menu)) return FALSE;
  MenuItem* item = LocateItem(menu, position, flags);
  if (!item) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  MenuItem replacement;
  if (!MakeItem(flags, id, text, &replacement)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  // The popup an item opened goes with it, unless the item keeps it.
  const HMENU old = item->sub;
  *item = replacement;
  if (old && old != replacement.sub) Destroy(old);
  return TRUE;
}

BOOL RemoveCommon(HMENU menu, UINT position, UINT flags, bool destroySub) {
  Lock hold(g_lock);
  if (!Need(menu)) return FALSE;
  HMENU owner;
  size_t index;
  if (!Locate(menu, position, flags, &owner, &index)) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  auto& items = Find(owner)->items;
  const HMENU sub = items[index].sub;
  items.erase(items.begin() + static_cast<long>(index));
  if (sub && destroySub) Destroy(sub);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Menu templates

struct Reader {
  const BYTE* data;
  size_t size;
  size_t at;

  bool Word(WORD* out) {
    if (at + 2 > size) return false;
    *out = static_cast<WORD>(data[at] | (data[at + 1] << 8));
    at += 2;
    return true;
  }
  bool Dword(DWORD* out) {
    WORD low, high;
    if (!Word(&low) || !Word(&high)) return false;
    *out = low | (static_cast<DWORD>(high) << 16);
    return true;
  }
  bool String(std::u16string* out) {
    out->clear();
    for (;;) {
      WORD c;
      if (!Word(&c)) return false;
      if (c == 0) return true;
      out->push_back(static_cast<char16_t>(c));
    }
  }
  void AlignDword() { at = (at + 3) & ~static_cast<size_t>(3); }
};

// The items of one level of a standard template: each a WORD of flags, a
// WORD command unless it opens a popup, and its caption; a popup's items
// follow it at once; MF_END marks the last item of a level.
bool ParseItems(Reader* r, HMENU menu, int depth) {
  if (depth > kMaxTemplateDepth) return false;
  for (;;) {
    WORD option, id = 0;
    if (!r->Word(&option)) return false;
    if (!(option & MF_POPUP) && !r->Word(&id)) return false;
    MenuItem item;
    if (!r->String(&item.text)) return false;
    item.flags = option & ~MF_END;
    item.id = id;
    if (option & MF_POPUP) {
      item.sub = NewMenu(true);
      item.id = reinterpret_cast<UINT_PTR>(item.sub);
    } else if (id == 0 && item.text.empty()) {
      item.flags |= MF_SEPARATOR;
    }
    Find(menu)->items.push_back(item);
    if (item.sub && !ParseItems(r, item.sub, depth + 1)) return false;
    if (option & MF_END) return true;
  }
}

// The extended template: each item a DWORD type, DWORD state, DWORD command,
// WORD of resource flags (0x01 popup, 0x80 last), its caption, padding to a
// DWORD; a popup's help id and items follow it.
bool ParseExItems(Reader* r, HMENU menu, int depth) {
  if (depth > kMaxTemplateDepth) return false;
  for (;;) {
    DWORD type, state, id;
    WORD resInfo;
    MenuItem item;
    if (!r->Dword(&type) || !r->Dword(&state) || !r->Dword(&id) || !r->Word(&resInfo) || !r->String(&item.text)) {
      return false;
    }
    r->AlignDword();
    item.flags = (type | state) & ~(MF_POPUP | MF_END);
    item.id = id;
    if (resInfo & 0x01) {
      DWORD helpId;
      if (!r->Dword(&helpId)) return false;
      item.sub = NewMenu(true);
      item.flags |= MF_POPUP;
    }
    Find(menu)->items.push_back(item);
    if (item.sub && !ParseExItems(r, item.sub, depth + 1)) return false;
    if (resInfo & 0x80) return true;
  }
}

HMENU ParseTemplate(const BYTE* data, size_t size) {
  Reader r{data, size, 0};
  WORD version, offset;
  if (!r.Word(&version) || !r.Word(&offset)) return nullptr;
  Lock hold(g_lock);
  const HMENU menu = NewMenu(false);
  bool ok = false;
  if (version == 0) {
    r.at += offset;
    // An empty template (nothing after the header) is an empty menu.
    ok = r.at >= size || ParseItems(&r, menu, 0);
  } else if (version == 1) {
    r.at = 4 + static_cast<size_t>(offset);
    ok = r.at >= size || ParseExItems(&r, menu, 0);
  }
  if (!ok) {
    Destroy(menu);
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return menu;
}

HMENU LoadFromResource(HINSTANCE instance, HRSRC resource) {
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  return ParseTemplate(static_cast<const BYTE*>(data), SizeofResource(instance, resource));
}

// Whether `command` is an item the user can pick in `menu` or its popups.
bool Choosable(HMENU menu, UINT command, int depth = 0) {
  Menu* m = Find(menu);
  if (!m || depth > kMaxTemplateDepth) return false;
  for (const MenuItem& item : m->items) {
    if (item.sub) {
      if (!(item.flags & (MF_GRAYED | MF_DISABLED)) && Choosable(item.sub, command, depth + 1)) return true;
      continue;
    }
    if (item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) continue;
    if (item.id == command) return true;
  }
  return false;
}

}  // namespace

namespace winapi {

void ResetPopupMenus() {
  Lock hold(g_lock);
  g_choices.clear();
  g_lastPopup = WinapiPopupMenuRecord{};
  g_popupShown = false;
}

}  // namespace winapi

EXTERN_C HMENU WINAPI CreateMenu(void) { return NewMenu(false); }
EXTERN_C HMENU WINAPI CreatePopupMenu(void) { return NewMenu(true); }

EXTERN_C HMENU WINAPI LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  return LoadFromResource(instance, FindResourceW(instance, name, reinterpret_cast<LPCWSTR>(RT_MENU)));
}

EXTERN_C HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) {
  return LoadFromResource(instance, FindResourceA(instance, name, RT_MENU));
}

EXTERN_C BOOL WINAPI DestroyMenu(HMENU menu) {
  Lock hold(g_lock);
  if (!Need(menu)) return FALSE;
  Destroy(menu);
  return TRUE;
}

EXTERN_C BOOL WINAPI IsMenu(HMENU menu) {
  Lock hold(g_lock);
  return Find(menu) ? TRUE : FALSE;
}

EXTERN_C HMENU WINAPI GetSubMenu(HMENU menu, int position) {
  Lock hold(g_lock);
  Menu* m = Need(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
  return m->items[static_cast<size_t>(position)].sub;
}

EXTERN_C int WINAPI GetMenuItemCount(HMENU menu) {
  Lock hold(g_lock);
  Menu* m = Need(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

// A popup has no command: -1, as for a position past the end.
EXTERN_C UINT WINAPI GetMenuItemID(HMENU menu, int position) {
  Lock hold(g_lock);
  Menu* m = Need(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
  const MenuItem& item = m->items[static_cast<size_t>(position)];
  return item.sub ? static_cast<UINT>(-1) : static_cast<UINT>(item.id);
}

// A popup's state carries the number of its items in the high byte.
EXTERN_C UINT WINAPI GetMenuState(HMENU menu, UINT id, UINT flags) {
  Lock hold(g_lock);
  if (!Need(menu)) return static_cast<UINT>(-1);
  const MenuItem* item = LocateItem(menu, id, flags);
  if (!item) return static_cast<UINT>(-1);
  if (item->sub) {
    const Menu* sub = Find(item->sub);
    const UINT count = sub ? static_cast<UINT>(sub->items.size()) : 0;
    return (count << 8) | (item->flags & 0xFF);
  }
  return item->flags;
}

EXTERN_C int WINAPI GetMenuStringW(HMENU menu, UINT id, LPWSTR buffer, int max, UINT flags) {
  Lock hold(g_lock);
  if (!Need(menu)) return 0;
  const MenuItem* item = LocateItem(menu, id, flags);
  if (!item) return 0;
  const std::u16string& text = item->text;
  if (!buffer || max <= 0) return static_cast<int>(text.size());
  const size_t n = std::min<size_t>(text.size(), static_cast<size_t>(max) - 1);
  std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  return static_cast<int>(n);
}

EXTERN_C int WINAPI GetMenuStringA(HMENU menu, UINT id, LPSTR buffer, int max, UINT flags) {
  std::string text;
  {
    Lock hold(g_lock);
    if (!Need(menu)) return 0;
    const MenuItem* item = LocateItem(menu, id, flags);
    if (!item) return 0;
    text = winapi::ToAnsi(item->text.c_str());
  }
  if (!buffer || max <= 0) return static_cast<int>(text.size());
  const size_t n = winapi::AnsiPrefix(text, std::min<size_t>(text.size(), static_cast<size_t>(max) - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

namespace {
// The caption argument of a menu call: text only for a string item.
bool CaptionOf(UINT flags, LPCWSTR text, std::u16string* out) {
  if ((flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) || !text) return false;
  *out = text;
  return true;
}
bool CaptionOf(UINT flags, LPCSTR text, std::u16string* out) {
  if ((flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) || !text) return false;
  *out = winapi::FromAnsi(text);
  return true;
}
}  // namespace

EXTERN_C BOOL WINAPI InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  std::u16string caption;
  const bool has = CaptionOf(flags, text, &caption);
  return InsertCommon(menu, position, flags, id, has ? &caption : nullptr);
}

EXTERN_C BOOL WINAPI InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  std::u16string caption;
  const bool has = CaptionOf(flags, text, &caption);
  return InsertCommon(menu, position, flags, id, has ? &caption : nullptr);
}

EXTERN_C BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  return InsertMenuW(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

EXTERN_C BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return InsertMenuA(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

EXTERN_C BOOL WINAPI ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  std::u16string caption;
  const bool has = CaptionOf(flags, text, &caption);
  return ModifyCommon(menu, position, flags, id, has ? &caption : nullptr);
}

EXTERN_C BOOL WINAPI ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  std::u16string caption;
  const bool has = CaptionOf(flags, text, &caption);
  return ModifyCommon(menu, position, flags, id, has ? &caption : nullptr);
}

EXTERN_C BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags) {
  return RemoveCommon(menu, position, flags, false);
}

EXTERN_C BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
  return RemoveCommon(menu, position, flags, true);
}

EXTERN_C DWORD WINAPI CheckMenuItem(HMENU menu, UINT id, UINT check) {
  Lock hold(g_lock);
  MenuItem* item = Find(menu) ? LocateItem(menu, id, check) : nullptr;
  if (!item) return static_cast<DWORD>(-1);
  const DWORD old = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return old;
}

EXTERN_C BOOL WINAPI EnableMenuItem(HMENU menu, UINT id, UINT enable) {
  Lock hold(g_lock);
  MenuItem* item = Find(menu) ? LocateItem(menu, id, enable) : nullptr;
  if (!item) return -1;
  const UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return static_cast<BOOL>(old);
}

namespace {

// The menu's modal loop while the user takes `wait` ms to answer: the clock
// moves on, and the thread's posted messages and due timers are dispatched,
// so the owner's procedure may be entered again. False when the menu ends
// before the user answers: its owner was destroyed, or WM_QUIT came (it is
// posted again for the caller's own loop).
bool RunMenuLoop(HWND owner, LONGLONG wait) {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      DispatchMessageW(&msg);
      if (!IsWindow(owner)) return false;
    }
    if (wait <= 0) return true;
    // On to the next timer, so that each falls due in its turn.
    LONGLONG step = wait;
    LONG next = 0;
    if (winapi::NextTimerDue(&next) && next < step) step = next > 0 ? next : 0;
    WinapiAdvanceClock(step);
    wait -= step;
  }
}

}  // namespace

// The popup "shows" the menu to the owner (the menu-loop notifications unless
// TPM_NONOTIFY), runs the menu's loop until the user answers, and takes the
// next scripted choice. With TPM_RETURNCMD the choice is returned; otherwise it
// is posted to the owner as WM_COMMAND, as Windows does once the menu has
// closed.
EXTERN_C BOOL WINAPI TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
  {
    Lock hold(g_lock);
    if (!Need(menu)) return FALSE;
  }
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool notify = !(flags & TPM_NONOTIFY);
  if (notify) {
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(owner, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, FALSE));
  }
  ScriptedChoice choice{0, 0};
  {
    Lock hold(g_lock);
    if (!g_choices.empty()) {
      choice = g_choices.front();
      g_choices.pop_front();
    }
  }
  UINT command = RunMenuLoop(owner, choice.wait) ? choice.command : 0;
  {
    Lock hold(g_lock);
    // The menu is looked at as it is now: the loop may have changed it.
    if (command && !Choosable(menu, command)) command = 0;
    const UINT shown = g_popupShown ? g_lastPopup.shown : 0;
    g_lastPopup = WinapiPopupMenuRecord{menu, flags, x, y, owner, command, shown + 1};
    g_popupShown = true;
  }
  if (notify && IsWindow(owner)) {
    SendMessageW(owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  return TRUE;
}

EXTERN_C BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

EXTERN_C void WinapiScriptMenuChoice(UINT command) { WinapiScriptMenuChoiceAfter(command, 0); }

EXTERN_C void WinapiScriptMenuChoiceAfter(UINT command, LONGLONG milliseconds) {
  Lock hold(g_lock);
  g_choices.push_back(ScriptedChoice{command, milliseconds});
}

EXTERN_C BOOL WinapiLastPopupMenu(WinapiPopupMenuRecord* record) {
  Lock hold(g_lock);
  if (!g_popupShown) return FALSE;
  if (record) *record = g_lastPopup;
  return TRUE;
}
