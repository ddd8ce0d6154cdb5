#include "toolbar_png.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>

#include "text.h"

namespace host {
namespace {

// The default height of a font asked for with height 0, in pixels.
constexpr double kDefaultCellHeight = 16.0;

// Text in Arabic presentation forms is stored in visual order: it is drawn as
// it stands, left to right, without bidirectional reordering. Text in ordinary
// Arabic letters is in logical order and is shaped and reordered.
bool IsVisualOrder(const std::u16string& text) {
  for (char16_t c : text) {
    if (c >= 0xFB50 && c <= 0xFEFF) return true;
  }
  return false;
}

struct LayoutDeleter {
  void operator()(PangoLayout* p) const { g_object_unref(p); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* p) const { pango_font_description_free(p); }
};

// Windows' height rule: a negative height is the character height (the em),
// a positive one the cell height (ascent plus descent), which is met by
// scaling the em by the font's own ratio.
void ApplyHeight(PangoLayout* layout, PangoFontDescription* font, LONG height) {
  const double cell = height == 0 ? kDefaultCellHeight : static_cast<double>(height < 0 ? -height : height);
  pango_font_description_set_absolute_size(font, cell * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  if (height < 0) return;
  PangoContext* context = pango_layout_get_context(layout);
  PangoFontMetrics* metrics = pango_context_get_metrics(context, font, nullptr);
  const double ascentDescent =
      static_cast<double>(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics)) /
      PANGO_SCALE;
  pango_font_metrics_unref(metrics);
  if (ascentDescent > 0) {
    pango_font_description_set_absolute_size(font, cell * cell / ascentDescent * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
  }
}

}  // namespace

bool CanWriteToolbarPng() { return true; }

bool WriteToolbarPng(const ToolbarPicture& picture, const std::string& path, std::string* error) {
  if (picture.width <= 0 || picture.height <= 0) {
    *error = "the toolbar has no size";
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height);
  cairo_t* cr = cairo_create(surface);

  // The toolbar row, and the band's transparent toolbar window on it.
  cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
  cairo_paint(cr);
  const RECT& band = picture.band;
  const int bandWidth = band.right - band.left;
  const int bandHeight = band.bottom - band.top;
  cairo_set_source_rgb(cr, 0.80, 0.80, 0.80);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, band.left + 0.5, band.top + 0.5, bandWidth - 1.0, bandHeight - 1.0);
  cairo_stroke(cr);

  // The text child fills the band; the text is centred and drawn from its top.
  cairo_rectangle(cr, band.left, band.top, bandWidth, bandHeight);
  cairo_clip(cr);
  std::unique_ptr<PangoLayout, LayoutDeleter> layout(pango_cairo_create_layout(cr));
  std::unique_ptr<PangoFontDescription, FontDeleter> font(pango_font_description_new());
  pango_font_description_set_family(font.get(), picture.fontFace.empty() ? "Times New Roman" : picture.fontFace.c_str());
  ApplyHeight(layout.get(), font.get(), picture.fontHeight);

  std::string text = ToUtf8(picture.text);
  if (IsVisualOrder(picture.text)) {
    text = "\u202D" + text + "\u202C";  // left-to-right override: no reordering
    pango_layout_set_auto_dir(layout.get(), FALSE);
  }
  pango_layout_set_text(layout.get(), text.c_str(), -1);
  int textWidth = 0, textHeight = 0;
  pango_layout_get_pixel_size(layout.get(), &textWidth, &textHeight);
  cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
  cairo_move_to(cr, band.left + (bandWidth - textWidth) / 2.0, band.top);
  pango_cairo_show_layout(cr, layout.get());
  layout.reset();

  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
    return false;
  }
  return true;
}

}  // namespace host

// fontconfig keeps its configuration and caches until the process ends, by
// design; LeakSanitizer (in the sanitizer build) is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
