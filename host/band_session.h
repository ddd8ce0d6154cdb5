// One band as the browser hosts it: created by class id through COM, handed
// its saved settings, sited in a toolbar row, laid out from its band
// information, shown, used through its own window messages, and closed.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "browser_objects.h"
#include "owners.h"

namespace host {

// HKEY_CURRENT_USER key of the browser's per-band settings values.
extern const char kBandSettingsKey[];
// HKEY_LOCAL_MACHINE key whose values name the toolbar's bands.
extern const char kToolbarListKey[];

class BandSession {
 public:
  BandSession() = default;
  BandSession(const BandSession&) = delete;
  BandSession& operator=(const BandSession&) = delete;
  ~BandSession();

  // Creates the band, loads its saved settings, sites it under a new toolbar
  // row, lays it out and shows it. On failure *error says which step failed.
  HRESULT Open(REFCLSID clsid, std::string* error);

  Browser* browser() const { return m_browser; }
  HWND toolbar() const { return m_toolbar; }
  HWND bandWindow() const;
  RECT bandRect() const { return m_bandRect; }
  // What the band's text window shows, and the font it was given.
  std::u16string Text() const;
  bool Font(LOGFONTW* font) const;

  // A right click on the band: the context menu opens and the user picks
  // `command` (0 dismisses it). Returns the menu that was shown, or null.
  HMENU RightClick(UINT command);
  // A left click on the band.
  void LeftClick();

  // The browser closing the band: CloseDW writes its settings; the site goes.
  void Close();

 private:
  daybander::com_ptr<IUnknown> m_band;
  daybander::com_ptr<IDeskBand> m_deskBand;
  daybander::com_ptr<IObjectWithSite> m_withSite;
  Browser* m_browser = nullptr;
  ToolbarSite* m_site = nullptr;
  HWND m_toolbar = nullptr;
  RECT m_bandRect{};
  bool m_open = false;
};

}  // namespace host
