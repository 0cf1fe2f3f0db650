// The effect's property pages as a host's property frame holds them: made through the module's
// page factories, given the effect, activated into a frame window of their own, shown one at a
// time, and drawn control by control from the dialogs the sdk built from the module's templates.
// Every click goes to the sdk's controls (sdk::clickButton, sdk::selectComboItem), so it runs
// the page's own code and the host page machinery.
#pragma once

#include <GL/gl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sdk/host/property_page.hpp"
#include "sdk/platform/loader.hpp"

namespace pattix::view {

class PropertyPages {
public:
    // Opens every page in `pages` on `effect`, the first shown. Throws RunFailure when the
    // module refuses one.
    PropertyPages(const sdk::LoadedModule& module, IUnknown* effect,
                  const std::vector<CLSID>& pages);
    PropertyPages(const PropertyPages&) = delete;
    PropertyPages& operator=(const PropertyPages&) = delete;
    // Deactivates and releases every page (which pops the effect's overlay) and frees the
    // textures of their bitmaps: the OpenGL context must still be current.
    ~PropertyPages();

    // The dialog font of the first page: its face file and pixel size ("" when it has none).
    std::string fontFile() const;
    int fontPixels() const;
    // The size the pages need, in pixels: the largest of them.
    int width() const;
    int height() const;

    // What a property frame's Help button does: the page in front opens its help.
    void help();

    // Draws the pages as tabs into the current ImGui window. `placed` is told where each
    // widget went: a name ("tab:<title>", "<title>:<control id>", "<title>:<combo id>:<item>"),
    // its rectangle in window pixels and what it shows (a combo's text, a check box's
    // "checked" or "unchecked"; empty for the others).
    using PlaceSink = std::function<void(const std::string& name, float x, float y, float width,
                                         float height, const std::string& value)>;
    void draw(const PlaceSink& placed);

private:
    struct Page {
        IPropertyPage* page = nullptr;
        HWND frame = nullptr;
        std::string title;
        SIZE size;
        const sdk::Dialog* dialog = nullptr;
    };
    void open(const sdk::LoadedModule& module, IUnknown* effect, const std::vector<CLSID>& pages);
    void close() noexcept;
    void drawControl(const Page& page, HWND control, const PlaceSink& placed);
    GLuint bitmapTexture(const sdk::Bitmap& bitmap);

    std::vector<Page> m_Pages;
    std::size_t m_Shown = 0;
    std::map<const sdk::Bitmap*, GLuint> m_Bitmaps;
};

}  // namespace pattix::view
