// Host images: the frame buffers the host hands an effect, with their world geometry.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

#include "sdk/platform/unknown.hpp"

inline constexpr IID IID_IDSImage = sdk::guid("6A3E1B20-5D0C-4F7B-9A41-2C1E0F7D3B01");

struct IDSImage : IUnknown {
    // 0 when the buffer may be used.
    virtual HRESULT CheckAccess() = 0;
    virtual HRESULT GetSize(int* width, int* height) = 0;
    virtual HRESULT GetBuffer(void** buffer) = 0;
    virtual HRESULT GetPixelFormat(GUID* format) = 0;
    virtual HRESULT GetWorldSize(double* width, double* height) = 0;
    virtual HRESULT GetWorldOrigin(double* x, double* y) = 0;

protected:
    ~IDSImage() = default;
};

namespace sdk::host {

// An image the host allocates and clears to zero: height rows of width pixels of 4 bytes
// (MFIF_RGBA_RAW_32) or 8 bytes (MFIF_RGBA_S2_14), rows packed.
class SDK_API HostImage final : public IDSImage {
public:
    // Null when the format is not one of the two, a size is not positive, the size in bytes
    // passes 64 bits, or memory runs out.
    static HostImage* create(int width, int height, const GUID& format);

    // Bytes a pixel of the format takes, 0 for an unknown format.
    static std::size_t bytesPerPixel(const GUID& format);

    // Where the picture's rows lie in a buffer of the format: row y, counted from the bottom row
    // as host pixel coordinates count, starts `first + y * step` bytes into the buffer. 8-bit
    // buffers store the bottom row first, 16-bit ones the top row first.
    struct RowLayout {
        std::ptrdiff_t first;
        std::ptrdiff_t step;
    };
    static RowLayout rowLayout(const GUID& format, int width, int height);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT CheckAccess() override;
    HRESULT GetSize(int* width, int* height) override;
    HRESULT GetBuffer(void** buffer) override;
    HRESULT GetPixelFormat(GUID* format) override;
    HRESULT GetWorldSize(double* width, double* height) override;
    HRESULT GetWorldOrigin(double* x, double* y) override;

    void setWorldGeometry(double x, double y, double width, double height);

    int width() const { return m_Width; }
    int height() const { return m_Height; }
    const GUID& format() const { return m_Format; }
    std::byte* data() { return m_Buffer.get(); }
    const std::byte* data() const { return m_Buffer.get(); }
    std::size_t rowBytes() const {
        return static_cast<std::size_t>(m_Width) * bytesPerPixel(m_Format);
    }
    std::size_t sizeBytes() const { return rowBytes() * static_cast<std::size_t>(m_Height); }
    // Row y of the picture, 0 being the bottom row.
    std::byte* row(int y) { return data() + rowOffset(y); }
    const std::byte* row(int y) const { return data() + rowOffset(y); }

private:
    struct BufferRelease {
        void operator()(std::byte* buffer) const noexcept;
    };
    using Buffer = std::unique_ptr<std::byte[], BufferRelease>;

    HostImage(int width, int height, const GUID& format, Buffer buffer);
    ~HostImage() = default;

    std::ptrdiff_t rowOffset(int y) const {
        const RowLayout layout = rowLayout(m_Format, m_Width, m_Height);
        return layout.first + y * layout.step;
    }

    int m_Width;
    int m_Height;
    GUID m_Format;
    Buffer m_Buffer;
    double m_WorldX = 0, m_WorldY = 0, m_WorldWidth, m_WorldHeight;
    std::atomic<ULONG> m_cRef{1};
};

}  // namespace sdk::host
