// pattix-manual: writes the Pattix user manual as a PDF from the manual's text, pictures and
// levels of the module's own rendering, its property pages and pattix's --help.
//
//   pattix-manual --module libpattix.so --text manual.txt --help-text help.txt --output x.pdf
//
// The text is paragraphs separated by blank lines (Pango markup), "# " the title, "% " the
// subtitle, "## " a section, and lines naming what the module supplies: "@patterns",
// "@levels", "@page main", "@page help" and "@help".

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "docs/manual/module_pictures.hpp"
#include "docs/manual/page_layout.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix::manual {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string escape(const std::string& text) {
    gchar* escaped = g_markup_escape_text(text.c_str(), -1);
    std::string out = escaped;
    g_free(escaped);
    return out;
}

// Thirteen pictures: the five bar patterns, then each ramp horizontal and vertical.
void patterns(PageLayout& layout, ModulePictures& module) {
    struct Shown {
        int pattern;
        int direction;
    };
    std::vector<Shown> shown;
    for (int p = 0; p < kFirstRampPattern; ++p) shown.push_back({p, 0});
    for (int p = kFirstRampPattern; p < kPatternCount; ++p) {
        shown.push_back({p, kDirectionHorizontal});
        shown.push_back({p, kDirectionVertical});
    }
    constexpr int kColumns = 3, kWidth = 320, kHeight = 180;
    const double cell = layout.width() / kColumns;
    const double scale = (cell - 10) / kWidth;
    for (std::size_t first = 0; first < shown.size(); first += kColumns) {
        layout.figure(kHeight * scale + 16, [&](cairo_t* cairo) {
            for (std::size_t i = first; i < shown.size() && i < first + kColumns; ++i) {
                const Shown& s = shown[i];
                cairo_surface_t* picture = module.picture(s.pattern, s.direction, kWidth, kHeight);
                cairo_save(cairo);
                cairo_translate(cairo, cell * static_cast<double>(i - first), 0);
                cairo_scale(cairo, scale, scale);
                cairo_set_source_surface(cairo, picture, 0, 0);
                cairo_paint(cairo);
                cairo_restore(cairo);
                cairo_surface_destroy(picture);
                std::string caption = std::to_string(s.pattern) + "  " +
                                      module.text(IDS_PATTERN_FIRST_VALUE + s.pattern);
                if (s.pattern >= kFirstRampPattern) {
                    caption += ", " + module.text(IDS_RAMP_DIRECTION_FIRST_VALUE + s.direction);
                }
                PangoLayout* text = pango_cairo_create_layout(cairo);
                pango_cairo_context_set_resolution(pango_layout_get_context(text), 72.0);
                PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 8");
                pango_layout_set_font_description(text, font);
                pango_font_description_free(font);
                pango_layout_set_text(text, caption.c_str(), -1);
                pango_layout_set_width(text, static_cast<int>((cell - 10) * PANGO_SCALE));
                pango_layout_set_ellipsize(text, PANGO_ELLIPSIZE_END);
                cairo_set_source_rgb(cairo, 0.1, 0.1, 0.1);
                cairo_move_to(cairo, cell * static_cast<double>(i - first), kHeight * scale + 3);
                pango_cairo_show_layout(cairo, text);
                g_object_unref(text);
            }
        });
    }
}

std::string triple(const std::array<int, 3>& rgb) {
    return std::to_string(rgb[0]) + ", " + std::to_string(rgb[1]) + ", " + std::to_string(rgb[2]);
}

// The values at the centre of each bar, read from 720 x 576 frames in both pixel formats.
void levels(PageLayout& layout, ModulePictures& module) {
    constexpr int kWidth = 720, kHeight = 576, kBar = kWidth / 8;
    const char* const names[] = {"white",   "yellow", "cyan", "green",
                                 "magenta", "red",    "blue", "black"};
    const auto cell = [&](int pattern, int bar, int r) {
        const int x = bar * kBar + kBar / 2;
        return triple(module.level(pattern, 8, x, r, kWidth, kHeight)) +
               "\n<span foreground='#666666'>" +
               triple(module.level(pattern, 16, x, r, kWidth, kHeight)) + "</span>";
    };
    std::vector<std::vector<std::string>> bars = {
        {"Bar", "EBU Bars", "75% Colour Bars", "100% Colour Bars"}};
    for (int bar = 0; bar < 8; ++bar) {
        bars.push_back({names[bar], cell(kPatternEbuBars, bar, kHeight - 1),
                        cell(kPattern75Bars, bar, kHeight - 1),
                        cell(kPattern100Bars, bar, kHeight - 1)});
    }
    layout.paragraph(
        "<b>Main bars</b>: R, G, B at 8 bits, and below in grey at 16 bits (16384 = 1.0).");
    layout.table(bars, {1, 2, 2, 2});

    // SMPTE's strips at picture row 160 (reverse bars) and row 0 (-I, white, +Q, black).
    const char* const bottom[] = {"-I", "white", "+Q", "black"};
    std::vector<std::vector<std::string>> strips = {
        {"Bar", "SMPTE reverse strip", "EIA and SMPTE bottom strip"}};
    for (int bar = 0; bar < 8; ++bar) {
        strips.push_back({std::to_string(bar + 1), cell(kPatternSmpteBars, bar, 160),
                          (bar < 4 ? std::string(bottom[bar]) + ":  " : std::string()) +
                              cell(kPatternSmpteBars, bar, 0)});
    }
    layout.paragraph("<b>SMPTE and EIA strips</b>, bar by bar from the left.");
    layout.table(strips, {0.6, 2.2, 2.6});
}

void page(PageLayout& layout, ModulePictures& module, const CLSID& clsid) {
    const auto size = module.pageSize(clsid);
    const double scale = std::min(1.0, layout.width() / size[0]);
    layout.figure(size[1] * scale, [&](cairo_t* cairo) {
        cairo_scale(cairo, scale, scale);
        module.drawPage(clsid, cairo);
    });
}

void build(const std::string& modulePath, const std::string& textPath, const std::string& helpPath,
           const std::string& output) {
    ModulePictures module(modulePath);
    const std::string text = readFile(textPath);
    const std::string help = readFile(helpPath);
    PageLayout layout(output, "Pattix user manual");
    std::string error;
    if (!layout.ok(error)) throw std::runtime_error("cannot write " + output + ": " + error);

    std::istringstream lines(text);
    std::string title, paragraph;
    const auto flush = [&] {
        if (!paragraph.empty()) layout.paragraph(paragraph);
        paragraph.clear();
    };
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("# ")) {
            title = line.substr(2);
        } else if (line.starts_with("% ")) {
            layout.title(escape(title), escape(line.substr(2)));
        } else if (line.starts_with("## ")) {
            flush();
            layout.heading(escape(line.substr(3)));
        } else if (line == "@patterns") {
            flush();
            patterns(layout, module);
        } else if (line == "@levels") {
            flush();
            levels(layout, module);
        } else if (line == "@page main" || line == "@page help") {
            flush();
            page(layout, module, line == "@page main" ? CLSID_BarsPPG : CLSID_HelpPPG);
        } else if (line == "@help") {
            flush();
            layout.preformatted(help);
        } else if (line.empty()) {
            flush();
        } else {
            paragraph += (paragraph.empty() ? "" : " ") + line;
        }
    }
    flush();
    layout.finish();
    if (!layout.ok(error)) throw std::runtime_error("cannot write " + output + ": " + error);
}

}  // namespace
}  // namespace pattix::manual

int main(int argc, char** argv) {
    std::string module, text, help, output;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        std::string* target = option == "--module"      ? &module
                              : option == "--text"      ? &text
                              : option == "--help-text" ? &help
                              : option == "--output"    ? &output
                                                        : nullptr;
        if (target == nullptr) {
            std::fprintf(stderr, "pattix-manual: unknown option '%s'\n", argv[i]);
            return 2;
        }
        *target = argv[i + 1];
    }
    if (module.empty() || text.empty() || help.empty() || output.empty()) {
        std::fprintf(
            stderr,
            "usage: pattix-manual --module libpattix.so --text manual.txt --help-text help.txt "
            "--output manual.pdf\n");
        return 2;
    }
    try {
        // Written under another name first, so a failed run leaves no half manual behind.
        const std::string partial = output + ".partial";
        pattix::manual::build(module, text, help, partial);
        if (std::rename(partial.c_str(), output.c_str()) != 0) {
            throw std::runtime_error("cannot rename " + partial + " to " + output);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pattix-manual: %s\n", error.what());
        return 1;
    }
    return 0;
}
