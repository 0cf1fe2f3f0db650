#include "docs/manual/page_layout.hpp"

#include <cairo-pdf.h>

#include <algorithm>
#include <numeric>
#include <sstream>

namespace pattix::manual {
namespace {

constexpr const char* kBodyFont = "DejaVu Sans 10";
constexpr const char* kBoldFont = "DejaVu Sans Bold 9.5";
constexpr const char* kFixedFont = "DejaVu Sans Mono 7.5";
constexpr double kParagraphGap = 7.0;

double heightOf(PangoLayout* layout) {
    int width = 0, height = 0;
    pango_layout_get_size(layout, &width, &height);
    return static_cast<double>(height) / PANGO_SCALE;
}

}  // namespace

PageLayout::PageLayout(const std::string& file, const std::string& title)
    : m_Title(title),
      m_Surface(cairo_pdf_surface_create(file.c_str(), kPageWidth, kPageHeight)),
      m_Cairo(cairo_create(m_Surface)) {
    cairo_pdf_surface_set_metadata(m_Surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
    cairo_pdf_surface_set_metadata(m_Surface, CAIRO_PDF_METADATA_CREATOR, "pattix-manual");
}

PageLayout::~PageLayout() {
    finish();
    cairo_destroy(m_Cairo);
    cairo_surface_destroy(m_Surface);
}

bool PageLayout::ok(std::string& error) const {
    const cairo_status_t status = cairo_surface_status(m_Surface);
    if (status == CAIRO_STATUS_SUCCESS) return true;
    error = cairo_status_to_string(status);
    return false;
}

PangoLayout* PageLayout::layout(const std::string& markup, const char* font, double width) {
    PangoLayout* made = pango_cairo_create_layout(m_Cairo);
    // Point sizes are points of the page, not of a 96-pixels-per-inch screen.
    pango_cairo_context_set_resolution(pango_layout_get_context(made), 72.0);
    pango_layout_context_changed(made);
    PangoFontDescription* description = pango_font_description_from_string(font);
    pango_layout_set_font_description(made, description);
    pango_font_description_free(description);
    pango_layout_set_width(made, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(made, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_markup(made, markup.c_str(), -1);
    return made;
}

void PageLayout::ensureRoom(double height) {
    const double heading = m_PendingHeading != nullptr ? heightOf(m_PendingHeading) + 14 : 0.0;
    if (m_Y + heading + height > bottom() && m_Y > kMargin) newPage();
    if (m_PendingHeading == nullptr) return;
    m_Y += 8;
    cairo_set_source_rgb(m_Cairo, 0.05, 0.2, 0.45);
    cairo_move_to(m_Cairo, kMargin, m_Y);
    pango_cairo_show_layout(m_Cairo, m_PendingHeading);
    m_Y += heightOf(m_PendingHeading) + 6;
    g_object_unref(m_PendingHeading);
    m_PendingHeading = nullptr;
}

void PageLayout::footer() {
    std::ostringstream text;
    text << m_Title << "  \u2014  page " << m_Page;
    PangoLayout* made = layout(text.str(), "DejaVu Sans 8", width());
    pango_layout_set_alignment(made, PANGO_ALIGN_CENTER);
    cairo_set_source_rgb(m_Cairo, 0.4, 0.4, 0.4);
    cairo_move_to(m_Cairo, kMargin, kPageHeight - kMargin);
    pango_cairo_show_layout(m_Cairo, made);
    g_object_unref(made);
}

void PageLayout::newPage() {
    footer();
    cairo_show_page(m_Cairo);
    ++m_Page;
    m_Y = kMargin;
}

void PageLayout::title(const std::string& text, const std::string& subtitle) {
    PangoLayout* big = layout("<b>" + text + "</b>", "DejaVu Sans 36", width());
    cairo_set_source_rgb(m_Cairo, 0.1, 0.1, 0.1);
    cairo_move_to(m_Cairo, kMargin, m_Y);
    pango_cairo_show_layout(m_Cairo, big);
    m_Y += heightOf(big) + 2;
    g_object_unref(big);
    PangoLayout* small = layout(subtitle, "DejaVu Sans 16", width());
    cairo_move_to(m_Cairo, kMargin, m_Y);
    pango_cairo_show_layout(m_Cairo, small);
    m_Y += heightOf(small) + 18;
    g_object_unref(small);
}

void PageLayout::heading(const std::string& text) {
    if (m_PendingHeading != nullptr) ensureRoom(0);
    m_PendingHeading = layout("<b>" + text + "</b>", "DejaVu Sans 16", width());
}

void PageLayout::paragraph(const std::string& markup) {
    PangoLayout* made = layout(markup, kBodyFont, width());
    ensureRoom(heightOf(made));
    cairo_set_source_rgb(m_Cairo, 0.1, 0.1, 0.1);
    cairo_move_to(m_Cairo, kMargin, m_Y);
    pango_cairo_show_layout(m_Cairo, made);
    m_Y += heightOf(made) + kParagraphGap;
    g_object_unref(made);
}

void PageLayout::preformatted(const std::string& text) {
    std::istringstream lines(text);
    cairo_set_source_rgb(m_Cairo, 0.1, 0.1, 0.1);
    for (std::string line; std::getline(lines, line);) {
        gchar* escaped = g_markup_escape_text(line.empty() ? " " : line.c_str(), -1);
        PangoLayout* made = layout(escaped, kFixedFont, width());
        g_free(escaped);
        ensureRoom(heightOf(made));
        cairo_move_to(m_Cairo, kMargin, m_Y);
        pango_cairo_show_layout(m_Cairo, made);
        m_Y += heightOf(made);
        g_object_unref(made);
    }
    m_Y += kParagraphGap;
}

void PageLayout::table(const std::vector<std::vector<std::string>>& rows,
                       const std::vector<double>& weights) {
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    constexpr double kPad = 3.0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<PangoLayout*> cells;
        double height = 0;
        for (std::size_t c = 0; c < rows[r].size() && c < weights.size(); ++c) {
            const double cellWidth = width() * weights[c] / total - 2 * kPad;
            cells.push_back(layout(rows[r][c], r == 0 ? kBoldFont : "DejaVu Sans 9", cellWidth));
            height = std::max(height, heightOf(cells.back()) + 2 * kPad);
        }
        ensureRoom(height);
        double x = kMargin;
        if (r == 0) {
            cairo_set_source_rgb(m_Cairo, 0.88, 0.91, 0.96);
            cairo_rectangle(m_Cairo, kMargin, m_Y, width(), height);
            cairo_fill(m_Cairo);
        }
        cairo_set_source_rgb(m_Cairo, 0.1, 0.1, 0.1);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            cairo_move_to(m_Cairo, x + kPad, m_Y + kPad);
            pango_cairo_show_layout(m_Cairo, cells[c]);
            x += width() * weights[c] / total;
            g_object_unref(cells[c]);
        }
        m_Y += height;
        cairo_set_source_rgb(m_Cairo, 0.7, 0.7, 0.7);
        cairo_set_line_width(m_Cairo, 0.5);
        cairo_move_to(m_Cairo, kMargin, m_Y);
        cairo_line_to(m_Cairo, kMargin + width(), m_Y);
        cairo_stroke(m_Cairo);
    }
    m_Y += kParagraphGap + 4;
}

void PageLayout::figure(double height, const std::function<void(cairo_t*)>& draw) {
    ensureRoom(height);
    cairo_save(m_Cairo);
    cairo_translate(m_Cairo, kMargin, m_Y);
    draw(m_Cairo);
    cairo_restore(m_Cairo);
    m_Y += height + kParagraphGap;
}

void PageLayout::space(double points) {
    m_Y += points;
}

void PageLayout::finish() {
    if (m_Finished) return;
    m_Finished = true;
    if (m_PendingHeading != nullptr) ensureRoom(0);
    footer();
    cairo_show_page(m_Cairo);
    cairo_surface_finish(m_Surface);
}

}  // namespace pattix::manual
