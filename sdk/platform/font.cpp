#include "sdk/platform/font.hpp"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/platform/call_log.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define PATTIX_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PATTIX_LEAK_CHECKS 1
#endif
#endif
#ifdef PATTIX_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace sdk {
namespace {

// Windows' own aliases for its old raster faces (the FontSubstitutes registry key), mapped to
// the families fontconfig knows metric-compatible substitutes for.
struct FaceSubstitute {
    const char* alias;
    const char* face;
};
constexpr FaceSubstitute kFaceSubstitutes[] = {
    {"helv", "Helvetica"},
    {"tms rmn", "Times"},
    {"courier", "Courier"},
};

bool equalIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// fontconfig loads its configuration once per process and keeps it to the end, losing a few
// blocks as it parses it; a leak checker is told not to count those against the program.
void loadFontconfig() {
    static const bool loaded = [] {
#ifdef PATTIX_LEAK_CHECKS
        __lsan_disable();
#endif
        const bool ok = FcInit() == FcTrue;
#ifdef PATTIX_LEAK_CHECKS
        __lsan_enable();
#endif
        return ok;
    }();
    (void)loaded;
}

// Asks fontconfig for the face that best serves the font's name, weight and slant.
bool resolveFace(Font& font) {
    loadFontconfig();
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    const std::string family = substituteFaceName(font.faceName);
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const int weight = font.weight > 0 ? std::clamp(font.weight, 1, 1000) : FW_NORMAL;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;

    bool found = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        font.file = reinterpret_cast<const char*>(file);
        found = true;
    }
    FcChar8* matchedFamily = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch)
        font.family = reinterpret_cast<const char*>(matchedFamily);
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) font.faceIndex = index;
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
        font.embolden = embolden == FcTrue;
    FcPatternDestroy(match);
    return found;
}

Font& stockFont() {
    static Font* font = [] {
        auto* f = new Font();
        f->faceName = "System";
        f->height = 16;
        f->weight = FW_BOLD;
        f->stock = true;
        resolveFace(*f);
        return f;
    }();
    return *font;
}

// One device context per OpenGL context, as each Windows GL context renders to one window DC.
struct DeviceContexts {
    std::mutex mutex;
    std::map<EGLContext, std::unique_ptr<DeviceContext>> byContext;
};

DeviceContexts& deviceContexts() {
    static DeviceContexts* instance = new DeviceContexts();
    return *instance;
}

// FreeType's library object is not thread-safe; every rasterisation holds this lock.
struct Rasteriser {
    std::mutex mutex;
    FT_Library library = nullptr;
    bool initialised = false;
};

Rasteriser& rasteriser() {
    static Rasteriser* instance = new Rasteriser();
    return *instance;
}

bool setPixelSize(FT_Face face, const Font& font) {
    FT_Size_RequestRec request{};
    if (font.height > 0) {
        // Windows reads a positive height as the cell height (ascent plus descent).
        request.type = FT_SIZE_REQUEST_TYPE_CELL;
        request.height = static_cast<FT_Long>(font.height) * 64;
    } else {
        request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
        request.height = static_cast<FT_Long>(font.height < 0 ? -font.height : 12) * 64;
    }
    return FT_Request_Size(face, &request) == 0;
}

// Compiles one character as a glBitmap into the display list already opened. glBitmap wants
// rows bottom first with the origin measured from the lower left corner; FreeType gives rows
// top first with the top measured up from the baseline.
void compileGlyph(FT_Face face, FT_ULong character, bool embolden) {
    if (FT_Load_Char(face, character, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return;
    FT_GlyphSlot slot = face->glyph;
    if (embolden) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return;
    const FT_Bitmap& bitmap = slot->bitmap;
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);
    const int rowBytes = (width + 7) / 8;
    std::vector<GLubyte> bits(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const unsigned char* source =
            bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        std::copy_n(source, rowBytes,
                    bits.begin() + static_cast<std::ptrdiff_t>(rows - 1 - row) * rowBytes);
    }
    const float advance = static_cast<float>((slot->advance.x + 32) >> 6);
    glBitmap(width, rows, static_cast<float>(-slot->bitmap_left),
             static_cast<float>(rows - slot->bitmap_top), advance, 0.0f,
             bits.empty() ? nullptr : bits.data());
}

// Rounds a length in font units scaled to `emPixels` to whole pixels, as GDI does.
int scaledPixels(long fontUnits, int emPixels, int unitsPerEm) {
    return static_cast<int>(std::lround(static_cast<double>(fontUnits) * emPixels / unitsPerEm));
}

}  // namespace

bool measureFont(const std::string& faceName, int emPixels, int weight, bool italic,
                 TextMetrics& metrics) {
    Font font;
    font.faceName = faceName;
    font.height = -emPixels;
    font.weight = weight;
    font.italic = italic;
    if (emPixels <= 0 || !resolveFace(font)) return false;

    Rasteriser& r = rasteriser();
    std::lock_guard lock(r.mutex);
    if (!r.initialised) {
        if (FT_Init_FreeType(&r.library) != 0) return false;
        r.initialised = true;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(r.library, font.file.c_str(), font.faceIndex, &face) != 0) return false;
    bool ok = setPixelSize(face, font);
    if (ok) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && face->units_per_EM > 0) {
            metrics.ascent = scaledPixels(os2->usWinAscent, emPixels, face->units_per_EM);
            metrics.descent = scaledPixels(os2->usWinDescent, emPixels, face->units_per_EM);
        } else {
            metrics.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
            metrics.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
        }
        metrics.height = metrics.ascent + metrics.descent;
        // Hinted advances, rounded to whole pixels per letter as GDI lays text out.
        metrics.alphabetWidth = 0;
        for (const char* letters : {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"}) {
            for (const char* c = letters; *c != '\0' && ok; ++c) {
                ok = FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_DEFAULT) == 0;
                if (ok)
                    metrics.alphabetWidth += static_cast<int>((face->glyph->advance.x + 32) >> 6);
            }
        }
        metrics.family = font.family;
        metrics.file = font.file;
        metrics.faceIndex = font.faceIndex;
    }
    FT_Done_Face(face);
    return ok;
}

std::string substituteFaceName(const std::string& faceName) {
    for (const FaceSubstitute& substitute : kFaceSubstitutes) {
        if (equalIgnoringCase(faceName, substitute.alias)) return substitute.face;
    }
    return faceName;
}

}  // namespace sdk

extern "C" {

HFONT CreateFontA(int height, int width, int /*escapement*/, int /*orientation*/, int weight,
                  DWORD italic, DWORD /*underline*/, DWORD /*strikeOut*/, DWORD /*charSet*/,
                  DWORD /*outPrecision*/, DWORD /*clipPrecision*/, DWORD /*quality*/,
                  DWORD /*pitchAndFamily*/, LPCSTR faceName) {
    if (sdk::hostCall("CreateFontA")) return nullptr;
    auto font = std::make_unique<sdk::Font>();
    font->height = height;
    font->width = width;
    font->weight = weight;
    font->italic = italic != 0;
    font->faceName = faceName != nullptr ? faceName : "";
    if (!sdk::resolveFace(*font)) return nullptr;
    return font.release();
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (sdk::hostCall("SelectObject")) return nullptr;
    if (dc == nullptr || object == nullptr) return nullptr;
    auto* font = dynamic_cast<sdk::Font*>(object);
    if (font == nullptr) return nullptr;
    sdk::Font* previous = dc->font;
    if (previous != nullptr) --previous->selections;
    ++font->selections;
    dc->font = font;
    return previous;
}

HDC wglGetCurrentDC() {
    if (sdk::hostCall("wglGetCurrentDC")) return nullptr;
    const EGLContext context = eglGetCurrentContext();
    if (context == EGL_NO_CONTEXT) return nullptr;
    sdk::DeviceContexts& contexts = sdk::deviceContexts();
    std::lock_guard lock(contexts.mutex);
    std::unique_ptr<sdk::DeviceContext>& dc = contexts.byContext[context];
    if (!dc) {
        dc = std::make_unique<sdk::DeviceContext>();
        dc->font = &sdk::stockFont();
        ++dc->font->selections;
    }
    return dc.get();
}

BOOL wglUseFontBitmapsW(HDC dc, DWORD first, DWORD count, DWORD listBase) {
    if (sdk::hostCall("wglUseFontBitmapsW")) return FALSE;
    if (dc == nullptr || dc->font == nullptr || dc->font->file.empty()) return FALSE;
    if (eglGetCurrentContext() == EGL_NO_CONTEXT) return FALSE;
    const sdk::Font& font = *dc->font;

    sdk::Rasteriser& r = sdk::rasteriser();
    std::lock_guard lock(r.mutex);
    if (!r.initialised) {
        if (FT_Init_FreeType(&r.library) != 0) return FALSE;
        r.initialised = true;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(r.library, font.file.c_str(), font.faceIndex, &face) != 0) return FALSE;
    if (!sdk::setPixelSize(face, font)) {
        FT_Done_Face(face);
        return FALSE;
    }
    // A weight above the face's own is thickened, as Windows does for a missing bold face.
    const bool embolden =
        font.embolden || (font.weight >= FW_BOLD && !(face->style_flags & FT_STYLE_FLAG_BOLD));

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    for (DWORD i = 0; i < count; ++i) {
        glNewList(listBase + i, GL_COMPILE);
        sdk::compileGlyph(face, first + i, embolden);
        glEndList();
    }
    glPopClientAttrib();
    FT_Done_Face(face);
    return TRUE;
}

}  // extern "C"
