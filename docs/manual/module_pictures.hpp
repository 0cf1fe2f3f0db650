// What the manual shows of the module itself: patterns it renders, the levels it writes and its
// property pages as a host shows them. The module is loaded and driven as a host drives it.
#pragma once

#include <cairo.h>

#include <array>
#include <memory>
#include <string>

#include "sdk/host/image_effect.hpp"
#include "sdk/platform/loader.hpp"

namespace pattix::manual {

class ModulePictures {
public:
    // Loads and registers the module and makes one effect; throws std::runtime_error.
    explicit ModulePictures(const std::string& modulePath);
    ModulePictures(const ModulePictures&) = delete;
    ModulePictures& operator=(const ModulePictures&) = delete;
    ~ModulePictures();

    // Text `id` of the module's string table, as UTF-8.
    std::string text(UINT id) const;

    // The pattern rendered at 8 bits, upright; the caller destroys the surface.
    cairo_surface_t* picture(int pattern, int direction, int width, int height);
    // R, G and B of the pixel at column x, picture row r counted from the bottom, of the pattern
    // rendered at `depth` bits (8 or 16).
    std::array<int, 3> level(int pattern, int depth, int x, int r, int width, int height);

    // The page's dialog size in pixels.
    std::array<int, 2> pageSize(const CLSID& page);
    // Draws the page's dialog, just opened on the effect, with its top left at the origin.
    void drawPage(const CLSID& page, cairo_t* cairo);

private:
    sdk::host::HostImage* render(int pattern, int direction, int width, int height, int depth);

    std::unique_ptr<sdk::LoadedModule> m_Module;
    IDSImageEffect* m_Effect = nullptr;
};

}  // namespace pattix::manual
