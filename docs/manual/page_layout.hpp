// A simple flowing layout for the manual: blocks of text, pictures, tables and preformatted
// lines placed down A4 pages of a PDF, with a new page wherever the next block does not fit.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <functional>
#include <string>
#include <vector>

namespace pattix::manual {

class PageLayout {
public:
    // Opens the PDF; `title` goes into its metadata and every page's footer.
    PageLayout(const std::string& file, const std::string& title);
    PageLayout(const PageLayout&) = delete;
    PageLayout& operator=(const PageLayout&) = delete;
    ~PageLayout();

    // False when cairo could not make the file; `error` says why.
    bool ok(std::string& error) const;

    double width() const { return kPageWidth - 2 * kMargin; }

    void title(const std::string& text, const std::string& subtitle);
    void heading(const std::string& text);
    // A paragraph in Pango markup.
    void paragraph(const std::string& markup);
    // Lines of fixed-width text, kept whole per line across pages.
    void preformatted(const std::string& text);
    // A table with a bold header row; the columns share the width by `weights`.
    void table(const std::vector<std::vector<std::string>>& rows,
               const std::vector<double>& weights);
    // Room of `height` points drawn by `draw` with the origin at the block's top left.
    void figure(double height, const std::function<void(cairo_t*)>& draw);
    void space(double points);

    // Finishes the PDF.
    void finish();

private:
    static constexpr double kPageWidth = 595.0;  // A4 in points
    static constexpr double kPageHeight = 842.0;
    static constexpr double kMargin = 56.0;
    static constexpr double kFooter = 30.0;

    PangoLayout* layout(const std::string& markup, const char* font, double width);
    double bottom() const { return kPageHeight - kMargin - kFooter; }
    // Makes room for a block of `height` and the heading waiting to go above it, then draws
    // that heading: a heading always stands on the page of what follows it.
    void ensureRoom(double height);
    void newPage();
    void footer();

    std::string m_Title;
    cairo_surface_t* m_Surface;
    cairo_t* m_Cairo;
    double m_Y = kMargin;
    int m_Page = 1;
    bool m_Finished = false;
    PangoLayout* m_PendingHeading = nullptr;
};

}  // namespace pattix::manual
