#include "sdk/host/image.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "sdk/host/pixel_formats.hpp"
#include "sdk/platform/call_log.hpp"

namespace sdk::host {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Frame buffers of a few megabytes go on 2 MiB boundaries with the advice to back them with
// huge pages: a 1080 frame spans over 4,000 small pages, more than the processor's TLB covers,
// and every render and every read of the frame would walk the page tables again.
std::byte* allocateCleared(std::size_t bytes) {
    if (bytes < kHugePage) return static_cast<std::byte*>(std::calloc(bytes, 1));
    if (bytes > SIZE_MAX - kHugePage) return nullptr;
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* buffer = std::aligned_alloc(kHugePage, rounded);
    if (buffer == nullptr) return nullptr;
    ::madvise(buffer, rounded, MADV_HUGEPAGE);  // advice only: small pages work as well
    std::memset(buffer, 0, bytes);
    return static_cast<std::byte*>(buffer);
}

}  // namespace

void HostImage::BufferRelease::operator()(std::byte* buffer) const noexcept {
    std::free(buffer);
}

std::size_t HostImage::bytesPerPixel(const GUID& format) {
    if (format == MFIF_RGBA_RAW_32) return 4;
    if (format == MFIF_RGBA_S2_14) return 8;
    return 0;
}

HostImage::RowLayout HostImage::rowLayout(const GUID& format, int width, int height) {
    const auto rowBytes =
        static_cast<std::ptrdiff_t>(width) * static_cast<std::ptrdiff_t>(bytesPerPixel(format));
    if (format == MFIF_RGBA_S2_14) return {(height - 1) * rowBytes, -rowBytes};
    return {0, rowBytes};
}

HostImage* HostImage::create(int width, int height, const GUID& format) {
    const std::size_t pixelBytes = bytesPerPixel(format);
    if (width <= 0 || height <= 0 || pixelBytes == 0) return nullptr;
    // Two 31-bit sides of 8-byte pixels can pass 64 bits and wrap to a small buffer.
    std::size_t pixels = 0, bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                               &pixels) ||
        __builtin_mul_overflow(pixels, pixelBytes, &bytes)) {
        return nullptr;
    }
    Buffer buffer(allocateCleared(bytes));
    if (!buffer) return nullptr;
    return new (std::nothrow) HostImage(width, height, format, std::move(buffer));
}

HostImage::HostImage(int width, int height, const GUID& format, Buffer buffer)
    : m_Width(width),
      m_Height(height),
      m_Format(format),
      m_Buffer(std::move(buffer)),
      m_WorldWidth(width),
      m_WorldHeight(height) {}

HRESULT HostImage::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDSImage) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IDSImage*>(this);
    return S_OK;
}

ULONG HostImage::AddRef() {
    return ++m_cRef;
}

ULONG HostImage::Release() {
    const ULONG left = --m_cRef;
    if (left == 0) delete this;
    return left;
}

HRESULT HostImage::CheckAccess() {
    if (auto failure = hostCall("IDSImage::CheckAccess")) return *failure;
    return S_OK;
}

HRESULT HostImage::GetSize(int* width, int* height) {
    if (auto failure = hostCall("IDSImage::GetSize")) return *failure;
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = m_Width;
    *height = m_Height;
    return S_OK;
}

HRESULT HostImage::GetBuffer(void** buffer) {
    if (auto failure = hostCall("IDSImage::GetBuffer")) return *failure;
    if (buffer == nullptr) return E_POINTER;
    *buffer = m_Buffer.get();
    return S_OK;
}

HRESULT HostImage::GetPixelFormat(GUID* format) {
    if (auto failure = hostCall("IDSImage::GetPixelFormat")) return *failure;
    if (format == nullptr) return E_POINTER;
    *format = m_Format;
    return S_OK;
}

HRESULT HostImage::GetWorldSize(double* width, double* height) {
    if (auto failure = hostCall("IDSImage::GetWorldSize")) return *failure;
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = m_WorldWidth;
    *height = m_WorldHeight;
    return S_OK;
}

HRESULT HostImage::GetWorldOrigin(double* x, double* y) {
    if (auto failure = hostCall("IDSImage::GetWorldOrigin")) return *failure;
    if (x == nullptr || y == nullptr) return E_POINTER;
    *x = m_WorldX;
    *y = m_WorldY;
    return S_OK;
}

void HostImage::setWorldGeometry(double x, double y, double width, double height) {
    m_WorldX = x;
    m_WorldY = y;
    m_WorldWidth = width;
    m_WorldHeight = height;
}

}  // namespace sdk::host
