#include "docs/manual/module_pictures.hpp"

#include <pango/pangocairo.h>

#include <cstring>
#include <stdexcept>

#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/image.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/project.hpp"
#include "sdk/host/property_page.hpp"
#include "sdk/host/render_context.hpp"
#include "sdk/platform/com.hpp"
#include "sdk/platform/dialog.hpp"
#include "sdk/platform/wide_text.hpp"

namespace pattix::manual {
namespace {

void check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw std::runtime_error(std::string("the module refused ") + what);
}

void setValue(IDSImageEffect* effect, const GUID& id, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    check(sdk::host::effectBase(effect)->SetPlainProperty(id, v), "a parameter");
}

// --- drawing a dialog's controls as the host's widgets look --------------------------------

void setColour(cairo_t* cairo, std::uint32_t rgb) {
    cairo_set_source_rgb(cairo, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
}

void box(cairo_t* cairo, const RECT& r, std::uint32_t fill, std::uint32_t edge) {
    cairo_rectangle(cairo, r.left + 0.5, r.top + 0.5, r.right - r.left - 1, r.bottom - r.top - 1);
    setColour(cairo, fill);
    cairo_fill_preserve(cairo);
    setColour(cairo, edge);
    cairo_set_line_width(cairo, 1.0);
    cairo_stroke(cairo);
}

// Text in the dialog's font, placed in `r`: wrapped from the top left, or centred on one line.
void label(cairo_t* cairo, const sdk::Dialog& dialog, const std::wstring& text, const RECT& r,
           bool centred) {
    if (text.empty()) return;
    PangoLayout* layout = pango_cairo_create_layout(cairo);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, sdk::toUtf8(dialog.font.typeface).c_str());
    pango_font_description_set_absolute_size(font, dialog.font.emPixels * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, sdk::toUtf8(text).c_str(), -1);
    pango_layout_set_width(layout, static_cast<int>((r.right - r.left) * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    if (centred) pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    setColour(cairo, 0x000000);
    cairo_move_to(cairo, r.left, centred ? (r.top + r.bottom - height) / 2.0 : r.top);
    pango_cairo_show_layout(cairo, layout);
    g_object_unref(layout);
}

void drawBitmap(cairo_t* cairo, const sdk::Bitmap& bitmap, const RECT& r) {
    // Bitmaps keep 0xAARRGGBB words top row first: cairo's own layout for opaque pixels.
    cairo_surface_t* image =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height);
    cairo_surface_flush(image);
    for (int y = 0; y < bitmap.height; ++y) {
        std::memcpy(cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image),
                    bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.width,
                    static_cast<std::size_t>(bitmap.width) * 4);
    }
    cairo_surface_mark_dirty(image);
    cairo_set_source_surface(cairo, image, r.left, r.top);
    cairo_paint(cairo);
    cairo_surface_destroy(image);
}

void drawControl(cairo_t* cairo, const sdk::Dialog& dialog, HWND control) {
    const RECT& r = control->rect;
    // A control draws inside its own rectangle only, as on Windows.
    cairo_save(cairo);
    cairo_rectangle(cairo, r.left - 1, r.top - 1, r.right - r.left + 2, r.bottom - r.top + 2);
    cairo_clip(cairo);
    if (const auto* combo = dynamic_cast<const sdk::ComboBox*>(control)) {
        box(cairo, r, 0xFFFFFF, 0x7A7A7A);
        const LONG button = r.bottom - r.top;
        box(cairo, {r.right - button, r.top, r.right, r.bottom}, 0xE1E1E1, 0x7A7A7A);
        const double cx = r.right - button / 2.0, cy = (r.top + r.bottom) / 2.0;
        cairo_move_to(cairo, cx - 4, cy - 2);
        cairo_line_to(cairo, cx + 4, cy - 2);
        cairo_line_to(cairo, cx, cy + 3);
        setColour(cairo, 0x202020);
        cairo_fill(cairo);
        label(cairo, dialog, combo->text, {r.left + 3, r.top, r.right - button, r.bottom}, false);
    } else if (const auto* button = dynamic_cast<const sdk::Button*>(control)) {
        switch (button->kind()) {
            case sdk::Button::Kind::GroupBox:
                box(cairo, r, 0xF0F0F0, 0xB0B0B0);
                break;
            case sdk::Button::Kind::CheckBox:
            case sdk::Button::Kind::AutoCheckBox: {
                const LONG side = 13, top = (r.top + r.bottom - side) / 2;
                box(cairo, {r.left, top, r.left + side, top + side}, 0xFFFFFF, 0x333333);
                if (button->check == BST_CHECKED) {
                    cairo_move_to(cairo, r.left + 3, top + 7);
                    cairo_line_to(cairo, r.left + 5.5, top + 10);
                    cairo_line_to(cairo, r.left + 10, top + 3);
                    cairo_set_line_width(cairo, 1.8);
                    cairo_stroke(cairo);
                }
                label(cairo, dialog, button->text, {r.left + side + 5, r.top, r.right, r.bottom},
                      false);
                break;
            }
            default:
                box(cairo, r, 0xE1E1E1, 0xADADAD);
                label(cairo, dialog, button->text, r, true);
        }
    } else if (const auto* picture = dynamic_cast<const sdk::Static*>(control)) {
        if (picture->showsBitmap() && picture->image != nullptr) {
            drawBitmap(cairo, *picture->image, r);
            if ((picture->style & WS_BORDER) != 0) {
                cairo_rectangle(cairo, r.left - 0.5, r.top - 0.5, r.right - r.left + 1,
                                r.bottom - r.top + 1);
                setColour(cairo, 0x000000);
                cairo_set_line_width(cairo, 1.0);
                cairo_stroke(cairo);
            }
        } else {
            label(cairo, dialog, picture->text, r, false);
        }
    }
    cairo_restore(cairo);
}

// A property frame holding one page, opened on an effect.
class Frame {
public:
    Frame(const sdk::LoadedModule& module, const CLSID& clsid, IUnknown* object) {
        m_Window = sdk::createWindow(nullptr, std::make_unique<sdk::Window>());
        m_Window->style = WS_VISIBLE;
        IClassFactory* factory = nullptr;
        check(module.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              "a page factory");
        const HRESULT made =
            factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&m_Page));
        factory->Release();
        check(made, "a page");
        check(m_Page->SetObjects(1, &object), "the page's object");
        check(m_Page->Activate(m_Window, nullptr, FALSE), "to open the page");
        check(m_Page->Show(SW_SHOW), "to show the page");
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    ~Frame() {
        m_Page->Deactivate();
        m_Page->SetObjects(0, nullptr);
        m_Page->Release();
        DestroyWindow(m_Window);
    }
    const sdk::Dialog& dialog() const {
        return dynamic_cast<const sdk::Dialog&>(*m_Window->children.back());
    }

private:
    HWND m_Window = nullptr;
    IPropertyPage* m_Page = nullptr;
};

}  // namespace

ModulePictures::ModulePictures(const std::string& modulePath) {
    std::string error;
    m_Module = sdk::LoadedModule::load(modulePath, error);
    if (!m_Module) throw std::runtime_error(error);
    check(m_Module->registerServer(), "registration");
    sdk::host::setProjectFrame(720, 576);
    IClassFactory* factory = nullptr;
    check(
        m_Module->getClassObject(CLSID_Bars, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        "the effect's factory");
    const HRESULT made =
        factory->CreateInstance(nullptr, IID_IDSImageEffect, reinterpret_cast<void**>(&m_Effect));
    factory->Release();
    check(made, "an effect");
    DSEffectInfo info{};
    check(m_Effect->GetInfo(&info), "its information");
    DSImageEffectInfo imageInfo{};
    imageInfo.category = DSCATEGORY_GENERATOR;
    check(m_Effect->GetImageEffectInfo(&imageInfo), "its image-effect information");
}

ModulePictures::~ModulePictures() {
    if (m_Effect != nullptr) m_Effect->Release();
}

std::string ModulePictures::text(UINT id) const {
    WCHAR buffer[256];
    return LoadStringW(m_Module->handle(), id, buffer, 256) > 0 ? sdk::toUtf8(buffer)
                                                                : std::string();
}

sdk::host::HostImage* ModulePictures::render(int pattern, int direction, int width, int height,
                                             int depth) {
    sdk::host::setProjectFrame(width, height);
    setValue(m_Effect, PARAM_PATTERN, pattern);
    setValue(m_Effect, PARAM_RAMP_DIRECTION, direction);
    auto* image = sdk::host::HostImage::create(width, height,
                                               depth == 8 ? MFIF_RGBA_RAW_32 : MFIF_RGBA_S2_14);
    if (image == nullptr) throw std::runtime_error("no memory for a picture");
    sdk::host::HostCoordinateManager coordinates;
    sdk::host::HostExecutionContext context;
    DSRenderData data;
    data.output = image;
    data.coordinates = &coordinates;
    data.context = &context;
    sdk::host::effectBase(m_Effect)->SetRenderData(data);
    const HRESULT hr = m_Effect->Execute(0.0);
    sdk::host::effectBase(m_Effect)->SetRenderData({});
    if (FAILED(hr)) {
        image->Release();
        check(hr, "to render");
    }
    return image;
}

cairo_surface_t* ModulePictures::picture(int pattern, int direction, int width, int height) {
    sdk::host::HostImage* image = render(pattern, direction, width, height, 8);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    // The host's 8-bit buffers hold the bottom row first, bytes R, G, B, A.
    for (int y = 0; y < height; ++y) {
        const std::byte* source =
            image->data() + static_cast<std::size_t>(height - 1 - y) * image->rowBytes();
        auto* target = reinterpret_cast<std::uint32_t*>(pixels + y * stride);
        for (int x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(source) + x * 4;
            target[x] = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
    }
    cairo_surface_mark_dirty(surface);
    image->Release();
    return surface;
}

std::array<int, 3> ModulePictures::level(int pattern, int depth, int x, int r, int width,
                                         int height) {
    sdk::host::HostImage* image = render(pattern, 0, width, height, depth);
    // 8-bit rows are stored bottom first, 16-bit rows top first.
    const int row = depth == 8 ? r : height - 1 - r;
    const std::byte* p = image->data() + static_cast<std::size_t>(row) * image->rowBytes();
    std::array<int, 3> rgb{};
    for (int c = 0; c < 3; ++c) {
        if (depth == 8) {
            rgb[c] = static_cast<int>(p[x * 4 + c]);
        } else {
            std::int16_t v;
            std::memcpy(&v, p + x * 8 + c * 2, 2);
            rgb[c] = v;
        }
    }
    image->Release();
    return rgb;
}

std::array<int, 2> ModulePictures::pageSize(const CLSID& page) {
    Frame frame(*m_Module, page, m_Effect);
    const RECT& r = frame.dialog().rect;
    return {r.right - r.left, r.bottom - r.top};
}

void ModulePictures::drawPage(const CLSID& page, cairo_t* cairo) {
    setValue(m_Effect, PARAM_PATTERN, 0);
    setValue(m_Effect, PARAM_RAMP_DIRECTION, 0);
    Frame frame(*m_Module, page, m_Effect);
    const sdk::Dialog& dialog = frame.dialog();
    box(cairo, {0, 0, dialog.rect.right - dialog.rect.left, dialog.rect.bottom - dialog.rect.top},
        0xF0F0F0, 0xA0A0A0);
    for (HWND control : dialog.children) {
        if (control->visible()) drawControl(cairo, dialog, control);
    }
}

}  // namespace pattix::manual
