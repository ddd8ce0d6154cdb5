#include "contained_window.h"

#include "module_instance.h"

namespace {

constexpr char SuperclassPrefix[] = "Daybander:";
constexpr int MaxSuperclasses = 4;
constexpr int MaxClassName = 256;

// One superclass of a system class, registered in the library's instance.
struct Superclass {
  char name[MaxClassName];
  WNDPROC baseProc;
  bool registered;
};

// A window being created, from the call of CreateWindowExA until its first
// message binds it (or the call returns without a window).
struct CreationEntry {
  DWORD threadId;
  CContainedWindow* window;
  CreationEntry* next;
};

bool CopyText(char* target, int capacity, int at, LPCSTR text) {
  for (; *text; ++text, ++at) {
    if (at >= capacity - 1) return false;
    target[at] = *text;
  }
  target[at] = '\0';
  return true;
}

// The window framework's module-wide records: the superclasses registered so
// far and the windows being created, both under one critical section, and the
// count of objects with a contained window. Built by static construction.
//
// Static destruction runs under the loader lock (inside the entry point, on
// Windows), where no User32 function may be called: the superclasses are
// unregistered before that, when the last object goes and when the library
// may be unloaded.
class CWindowModule {
 public:
  CWindowModule() { m_initialised = InitializeCriticalSectionAndSpinCount(&m_lock, 0) != FALSE; }
  CWindowModule(const CWindowModule&) = delete;
  CWindowModule& operator=(const CWindowModule&) = delete;
  ~CWindowModule() {
    if (m_initialised) DeleteCriticalSection(&m_lock);
    m_initialised = false;
  }

  void AddObject() { InterlockedIncrement(&m_objects); }
  void RemoveObject() {
    if (InterlockedDecrement(&m_objects) == 0) UnregisterUnused();
  }

  // Unregisters every superclass that no window uses any more; one that still
  // has windows stays registered for a later call.
  void UnregisterUnused() {
    if (!m_initialised) return;
    EnterCriticalSection(&m_lock);
    for (int i = 0; i < m_count; ++i) {
      if (m_classes[i].registered && UnregisterClassA(m_classes[i].name, GetModuleInstance())) {
        m_classes[i].registered = false;
      }
    }
    LeaveCriticalSection(&m_lock);
  }

  // The superclass of baseName, registered the first time it is asked for.
  // startProc is the new class's window procedure.
  const Superclass* Register(LPCSTR baseName, WNDPROC startProc) {
    if (!m_initialised || !baseName) return nullptr;
    EnterCriticalSection(&m_lock);
    const Superclass* found = RegisterLocked(baseName, startProc);
    LeaveCriticalSection(&m_lock);
    return found;
  }

  bool AddCreating(CreationEntry* entry) {
    if (!m_initialised) return false;
    EnterCriticalSection(&m_lock);
    entry->next = m_creating;
    m_creating = entry;
    LeaveCriticalSection(&m_lock);
    return true;
  }

  // Takes out the most recent entry of the calling thread.
  CContainedWindow* TakeCreating() {
    if (!m_initialised) return nullptr;
    const DWORD threadId = GetCurrentThreadId();
    CContainedWindow* window = nullptr;
    EnterCriticalSection(&m_lock);
    for (CreationEntry** link = &m_creating; *link; link = &(*link)->next) {
      if ((*link)->threadId == threadId) {
        window = (*link)->window;
        *link = (*link)->next;
        break;
      }
    }
    LeaveCriticalSection(&m_lock);
    return window;
  }

  // Removes the entry if no message took it out (the window was never made).
  void RemoveCreating(CreationEntry* entry) {
    EnterCriticalSection(&m_lock);
    for (CreationEntry** link = &m_creating; *link; link = &(*link)->next) {
      if (*link == entry) {
        *link = entry->next;
        break;
      }
    }
    LeaveCriticalSection(&m_lock);
  }

 private:
  const Superclass* RegisterLocked(LPCSTR baseName, WNDPROC startProc);

  CRITICAL_SECTION m_lock;
  bool m_initialised = false;
  CreationEntry* m_creating = nullptr;
  Superclass m_classes[MaxSuperclasses];
  int m_count = 0;
  LONG m_objects = 0;
};

CWindowModule g_windowModule;

}  // namespace

const Superclass* CWindowModule::RegisterLocked(LPCSTR baseName, WNDPROC startProc) {
  char name[MaxClassName];
  if (!CopyText(name, MaxClassName, 0, SuperclassPrefix) ||
      !CopyText(name, MaxClassName, sizeof(SuperclassPrefix) - 1, baseName)) {
    return nullptr;
  }
  const HINSTANCE instance = GetModuleInstance();
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof(existing);
  int slot = 0;
  while (slot < m_count && lstrcmpiA(m_classes[slot].name, name) != 0) ++slot;
  if (slot < m_count) {
    // Found and reused, as long as the class is still there to be found.
    if (GetClassInfoExA(instance, name, &existing)) return &m_classes[slot];
  } else if (m_count == MaxSuperclasses) {
    return nullptr;
  }

  // A system class first, then one of the library's own.
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExA(nullptr, baseName, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExA(instance, baseName, &wc)) return nullptr;
  }
  Superclass& entry = m_classes[slot];
  CopyText(entry.name, MaxClassName, 0, name);
  entry.baseProc = wc.lpfnWndProc;
  entry.registered = false;
  if (!GetClassInfoExA(instance, entry.name, &existing)) {
    wc.hInstance = instance;
    wc.lpszClassName = entry.name;
    wc.lpfnWndProc = startProc;
    wc.style &= ~CS_GLOBALCLASS;
    if (!RegisterClassExA(&wc)) return nullptr;
    entry.registered = true;
  }
  if (slot == m_count) ++m_count;
  return &entry;
}

CContainedWindow::CContainedWindow(LPCSTR lpszBaseClassName, CMessageMap* pObject, DWORD dwMsgMapID)
    : m_hWnd(nullptr),
      m_pfnSuperWindowProc(nullptr),
      m_pObject(pObject),
      m_dwMsgMapID(dwMsgMapID),
      m_lpszBaseClassName(lpszBaseClassName) {
  g_windowModule.AddObject();
}

CContainedWindow::~CContainedWindow() {
  // A window that outlives its object goes back to the base class's procedure;
  // its messages must never reach the object again.
  if (m_hWnd && IsWindow(m_hWnd) &&
      GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
  }
  g_windowModule.RemoveObject();
}

void CContainedWindow::UnregisterUnusedSuperclasses() { g_windowModule.UnregisterUnused(); }

HWND CContainedWindow::Create(HWND hWndParent, int x, int y, int nWidth, int nHeight, LPCSTR lpszWindowName,
                              DWORD dwStyle, DWORD dwExStyle, HMENU hMenu, LPVOID lpCreateParam) {
  const Superclass* superclass = g_windowModule.Register(m_lpszBaseClassName, &StartWindowProc);
  if (!superclass) return nullptr;
  m_pfnSuperWindowProc = superclass->baseProc;

  CreationEntry entry = {GetCurrentThreadId(), this, nullptr};
  if (!g_windowModule.AddCreating(&entry)) return nullptr;
  const HWND hWnd = CreateWindowExA(dwExStyle, superclass->name, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                    hWndParent, hMenu, GetModuleInstance(), lpCreateParam);
  g_windowModule.RemoveCreating(&entry);
  return hWnd;
}

// The superclass's window procedure. The first message of a new window binds it
// to the object that is creating it on this thread; from then on every message
// is offered to that object's map and, unhandled, to the base class.
LRESULT CALLBACK CContainedWindow::StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CContainedWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (!self) {
    self = g_windowModule.TakeCreating();
    if (!self) return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    self->m_hWnd = hWnd;
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }

  // A handler may end the object's life: what is needed afterwards is taken now.
  const WNDPROC superProc = self->m_pfnSuperWindowProc;
  LRESULT lResult = 0;
  if (!self->m_pObject->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, self->m_dwMsgMapID)) {
    lResult = CallWindowProcA(superProc, hWnd, uMsg, wParam, lParam);
  }
  if (uMsg == WM_NCDESTROY) {
    self = reinterpret_cast<CContainedWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self) {
      self->m_hWnd = nullptr;
      SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
    }
  }
  return lResult;
}
