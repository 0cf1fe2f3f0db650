// The GDI and WGL font calls with which the overlay builds its bitmap font: a font is made by
// face name, height and weight (fontconfig picks the file), selected into the device context of
// the current OpenGL context, and FreeType rasterises its characters into glBitmap display lists.
#pragma once

#include <string>

#include "sdk/platform/gdi.hpp"
#include "sdk/platform/types.hpp"

using LPCSTR = const char*;

namespace sdk {

// A logical font: what CreateFontA was asked for, and the face fontconfig resolved it to.
struct SDK_API Font final : GdiObject {
    int height = 0;  // > 0: cell height in pixels; < 0: character (em) height; 0: default
    int width = 0;   // asked average width; the face keeps its own proportions
    int weight = 0;  // 100 to 900, 400 normal, 700 bold; 0 normal
    bool italic = false;
    std::string faceName;  // as asked

    std::string family;  // as resolved
    std::string file;
    int faceIndex = 0;
    bool embolden = false;  // no face of the asked weight exists: FreeType thickens the glyphs

    bool stock = false;  // the device context's initial font, never deleted
    int selections = 0;  // device contexts it is selected into

    bool deletable() const override { return !stock && selections == 0; }
};

// The device context of an OpenGL context: what wglUseFontBitmapsW reads its font from.
struct SDK_API DeviceContext {
    Font* font = nullptr;  // the selected font; a stock font at first
};

// A face's text metrics at an em height in pixels, as GDI reports them: ascent and descent from
// the face's Windows metrics (OS/2 table), and the width of the 52 Latin letters A-Z a-z laid
// side by side, which dialogs average into their horizontal base unit.
struct TextMetrics {
    int ascent = 0;
    int descent = 0;
    int height = 0;  // ascent + descent
    int alphabetWidth = 0;
    std::string family;  // as resolved by fontconfig
    std::string file;
    int faceIndex = 0;
};

// False when no face can be found or read.
SDK_API bool measureFont(const std::string& faceName, int emPixels, int weight, bool italic,
                         TextMetrics& metrics);

// The face name Windows would substitute for an alias ("helv" -> "Helvetica"), else the name.
SDK_API std::string substituteFaceName(const std::string& faceName);

}  // namespace sdk

using HFONT = sdk::Font*;
using HDC = sdk::DeviceContext*;

inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;

extern "C" {
// Null when no face can be found for the name (fontconfig falls back to a default face, so in
// practice only an empty font set fails). The caller frees the font with DeleteObject.
SDK_API HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                          DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                          DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                          DWORD pitchAndFamily, LPCSTR faceName);

// Selects a font into the device context and answers the font it replaces; null for a null
// context or object, or an object that is not a font.
SDK_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// The device context of the OpenGL context current on this thread; null when none is current.
SDK_API HDC wglGetCurrentDC();

// Fills display lists listBase .. listBase + count - 1 with glBitmap calls drawing the
// characters first .. first + count - 1 (Unicode) of the context's selected font. Needs a
// current OpenGL context.
SDK_API BOOL wglUseFontBitmapsW(HDC dc, DWORD first, DWORD count, DWORD listBase);
}
