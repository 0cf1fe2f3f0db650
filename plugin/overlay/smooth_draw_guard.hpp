// Switches on alpha blending and anti-aliasing for the length of one widget's drawing and puts
// back exactly what was on before.
#pragma once

namespace pattix {

class SmoothDrawGuard {
public:
    static constexpr unsigned kPoints = 1;
    static constexpr unsigned kLines = 2;
    static constexpr unsigned kPolygons = 4;
    static constexpr unsigned kAll = kPoints | kLines | kPolygons;

    explicit SmoothDrawGuard(unsigned mask);
    ~SmoothDrawGuard();
    SmoothDrawGuard(const SmoothDrawGuard&) = delete;
    SmoothDrawGuard& operator=(const SmoothDrawGuard&) = delete;

private:
    unsigned m_nMask;
    bool m_bBlendWasOn = false;
    int m_nBlendSource = 0;
    int m_nBlendDestination = 0;
    bool m_bWasOn[3] = {false, false, false};  // points, lines, polygons
    bool m_bActive = true;
};

}  // namespace pattix
