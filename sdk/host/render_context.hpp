// What the host hands an effect for one render besides its images: the coordinate manager
// that turns world geometry into pixel offsets, and the execution context that says whether
// work may go on.
#pragma once

#include <atomic>

#include "sdk/platform/unknown.hpp"

inline constexpr IID IID_IDSCoordinateManager = sdk::guid("6A3E1B21-5D0C-4F7B-9A41-2C1E0F7D3B01");
inline constexpr IID IID_IDSExecutionContext = sdk::guid("6A3E1B22-5D0C-4F7B-9A41-2C1E0F7D3B01");

struct IDSCoordinateManager : IUnknown {
    // World rectangle (origin, size) to pixels: x, y of the integer pixel offset, then the
    // pixel width and height.
    virtual HRESULT WorldToPixels(double x, double y, double width, double height, int* px, int* py,
                                  int* pwidth, int* pheight) = 0;

protected:
    ~IDSCoordinateManager() = default;
};

struct IDSExecutionContext : IUnknown {
    virtual HRESULT GetTime(double* time) = 0;
    // Non-zero while work may go on.
    virtual BOOL ShouldContinue() = 0;

protected:
    ~IDSExecutionContext() = default;
};

namespace sdk::host {

// Pixels are world units scaled by `pixelsPerUnit`; offsets truncate toward zero.
class SDK_API HostCoordinateManager final : public IDSCoordinateManager {
public:
    explicit HostCoordinateManager(double pixelsPerUnit = 1.0) : m_Scale(pixelsPerUnit) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override { return --m_cRef; }  // owned by the host, never deleted here
    HRESULT WorldToPixels(double x, double y, double width, double height, int* px, int* py,
                          int* pwidth, int* pheight) override;

private:
    double m_Scale;
    std::atomic<ULONG> m_cRef{1};
};

// Answers "go on" until a stop is requested, from any thread (a signal handler included).
class SDK_API HostExecutionContext final : public IDSExecutionContext {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override { return --m_cRef; }  // owned by the host, never deleted here
    HRESULT GetTime(double* time) override;
    BOOL ShouldContinue() override;

    void setTime(double time) { m_Time = time; }
    void requestStop() { m_Stop.store(true, std::memory_order_relaxed); }
    void reset() { m_Stop.store(false, std::memory_order_relaxed); }
    bool stopRequested() const { return m_Stop.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_Stop{false};
    double m_Time = 0.0;
    std::atomic<ULONG> m_cRef{1};
};

}  // namespace sdk::host
