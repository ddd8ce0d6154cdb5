#include "band_session.h"

#include <ocidl.h>
#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "winapi_control.h"

namespace host {

const char kBandSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
const char kToolbarListKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";

namespace {

const char kToolbarClass[] = "DaybanderHostToolbar";
// Space the toolbar row leaves around the band.
constexpr int kMargin = 2;

LRESULT CALLBACK ToolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterToolbarClass() {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(GetModuleHandleA(nullptr), kToolbarClass, &existing)) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ToolbarProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kToolbarClass;
  return RegisterClassExA(&wc) != 0;
}

std::string ClassIdText(REFCLSID clsid) {
  OLECHAR wide[40];
  StringFromGUID2(clsid, wide, 40);
  char text[40];
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
  return text;
}

// The settings the browser keeps for a band: the class id, then the bytes the
// band's stream holds. Anything else in the value is not this band's.
std::vector<BYTE> SavedSettings(REFCLSID clsid) {
  std::vector<BYTE> settings;
  daybander::unique_hkey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kBandSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return settings;
  const std::string name = ClassIdText(clsid);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY || size <= sizeof(CLSID)) {
    return settings;
  }
  std::vector<BYTE> value(size);
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, value.data(), &size) != ERROR_SUCCESS ||
      std::memcmp(value.data(), &clsid, sizeof(CLSID)) != 0) {
    return settings;
  }
  settings.assign(value.begin() + sizeof(CLSID), value.begin() + size);
  return settings;
}

}  // namespace

BandSession::~BandSession() {
  Close();
  if (m_toolbar) DestroyWindow(m_toolbar);
  if (m_site) m_site->Release();
  if (m_browser) m_browser->Release();
}

HRESULT BandSession::Open(REFCLSID clsid, std::string* error) {
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, m_band.put_void());
  if (FAILED(hr)) {
    *error = "cannot create the band " + ClassIdText(clsid);
    return hr;
  }
  if (FAILED(hr = m_band.query(IID_IDeskBand, &m_deskBand)) ||
      FAILED(hr = m_band.query(IID_IObjectWithSite, &m_withSite))) {
    *error = "the object is not a band";
    return hr;
  }

  // The browser keeps the key of its bands' settings, whether or not any
  // band has saved something yet.
  daybander::unique_hkey settingsKey;
  RegCreateKeyExA(HKEY_CURRENT_USER, kBandSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                  settingsKey.put(), nullptr);

  const std::vector<BYTE> settings = SavedSettings(clsid);
  daybander::com_ptr<IPersistStream> persist;
  if (!settings.empty() && SUCCEEDED(m_band.query(IID_IPersistStream, &persist))) {
    daybander::com_ptr<IStream> stream;
    stream.attach(SHCreateMemStream(settings.data(), static_cast<UINT>(settings.size())));
    if (stream) persist->Load(stream.get());
  }

  if (!RegisterToolbarClass()) {
    *error = "cannot register the toolbar's window class";
    return HRESULT_FROM_WIN32(GetLastError());
  }
  m_toolbar = CreateWindowExA(0, kToolbarClass, "", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  m_browser = new Browser();
  m_site = new ToolbarSite(m_toolbar, m_browser);
  if (FAILED(hr = m_withSite->SetSite(static_cast<IOleWindow*>(m_site)))) {
    *error = "the band refused its site";
    return hr;
  }
  m_open = true;

  // The band asks for a fixed size; the row gives it its minimum width, or
  // the actual width when that is larger, and its minimum height.
  DESKBANDINFO info{};
  info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                DBIM_BKCOLOR;
  if (FAILED(hr = m_deskBand->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info))) {
    *error = "the band gave no band information";
    return hr;
  }
  const LONG width = info.ptActual.x > info.ptMinSize.x ? info.ptActual.x : info.ptMinSize.x;
  const LONG height = info.ptMinSize.y;
  m_bandRect = RECT{kMargin, kMargin, kMargin + width, kMargin + height};
  MoveWindow(m_toolbar, 0, 0, width + 2 * kMargin, height + 2 * kMargin, TRUE);
  MoveWindow(bandWindow(), m_bandRect.left, m_bandRect.top, width, height, TRUE);
  m_deskBand->ShowDW(TRUE);
  return S_OK;
}

HWND BandSession::bandWindow() const {
  HWND window = nullptr;
  if (m_deskBand) m_deskBand->GetWindow(&window);
  return window;
}

std::u16string BandSession::Text() const {
  HWND text = GetWindow(bandWindow(), GW_CHILD);
  if (!text) return std::u16string();
  const int length = GetWindowTextLengthW(text);
  std::u16string value(static_cast<size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(text, &value[0], length + 1);
  value.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return value;
}

bool BandSession::Font(LOGFONTW* font) const {
  HWND text = GetWindow(bandWindow(), GW_CHILD);
  if (!text) return false;
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
  return handle && GetObjectW(handle, sizeof(*font), font) == sizeof(*font);
}

HMENU BandSession::RightClick(UINT command) {
  HWND band = bandWindow();
  if (!band) return nullptr;
  // Screen position of the band's centre, as a mouse click would give it.
  POINT at{(m_bandRect.left + m_bandRect.right) / 2, (m_bandRect.top + m_bandRect.bottom) / 2};
  WinapiScriptMenuChoice(command);
  WinapiPopupMenuRecord before{};
  const BOOL hadMenu = WinapiLastPopupMenu(&before);
  SendMessageW(band, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(band), MAKELPARAM(at.x, at.y));
  WinapiPopupMenuRecord after{};
  if (!WinapiLastPopupMenu(&after) || (hadMenu && after.shown == before.shown)) return nullptr;
  return after.menu;
}

void BandSession::LeftClick() {
  HWND band = bandWindow();
  if (!band) return;
  const LONG x = (m_bandRect.right - m_bandRect.left) / 2;
  const LONG y = (m_bandRect.bottom - m_bandRect.top) / 2;
  SendMessageW(band, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(band, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void BandSession::Close() {
  if (!m_open) return;
  m_open = false;
  m_deskBand->CloseDW(0);
  m_withSite->SetSite(nullptr);
  m_withSite.reset();
  m_deskBand.reset();
  m_band.reset();
}

}  // namespace host
