// The interactive host's window: the viewer on the left (the effect's picture as a texture, the
// linked viewer tools drawn over it, the pen), the property pages and a status line on the
// right, undo and redo on the keyboard. Built with GLFW on an EGL context, since the overlay's
// font calls find their device context through EGL, and Dear ImGui for the pages.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apps/host/effect_instance.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix-view/picture_view.hpp"
#include "apps/pattix-view/view_command_line.hpp"

struct GLFWwindow;

namespace pattix::view {

class PropertyPages;
class RenderWorker;

class ViewerWindow {
public:
    // Opens the window, the pages and the viewer, and starts rendering. Throws RunFailure when
    // there is no display or the module refuses.
    ViewerWindow(const ViewOptions& options, const host::ModuleSession& session,
                 host::EffectInstance& effect, std::vector<std::string> patternNames);
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;
    // Stops rendering, closes the pages (popping the overlay) while the OpenGL context is
    // still there, then the window.
    ~ViewerWindow();

    // Runs until the window is closed, or the screenshot is saved.
    void run();

private:
    struct Place {
        float x, y, width, height;
        std::string value;
        bool operator==(const Place&) const = default;
    };
    class EffectListener;
    struct KeyPress {
        int key;
        int mods;
    };

    void close() noexcept;
    void drawFrame();
    void takeNewPicture();
    void handleViewerInput();
    void drawPanel();
    std::string statusText() const;
    void report();
    void saveScreenshot(int width, int height);
    // The viewer's part of the window, in window coordinates (the panel takes the rest).
    int viewerWidth() const;

    const ViewOptions& m_Options;
    host::EffectInstance& m_Effect;
    std::vector<std::string> m_PatternNames;
    GLFWwindow* m_Window = nullptr;
    bool m_ImGuiStarted = false;
    std::unique_ptr<sdk::host::Viewer> m_Viewer;
    std::unique_ptr<sdk::host::ViewerSurface> m_Surface;
    std::unique_ptr<PropertyPages> m_Pages;
    std::unique_ptr<EffectListener> m_Listener;
    std::unique_ptr<RenderWorker> m_Worker;
    ViewGeometry m_View;
    VWSurfaceInfo m_ViewerView{};
    PictureTexture m_Picture;
    std::atomic<bool> m_ParametersChanged{false};

    // What the picture shows: the frame last taken from the render thread.
    std::uint64_t m_ShownSerial = 0;
    long m_ShownPattern = -1;
    double m_RenderMilliseconds = 0.0;
    double m_ConvertMilliseconds = 0.0;
    double m_UploadMilliseconds = 0.0;
    std::string m_Failure;

    int m_FramesToDraw = 3;
    std::uint64_t m_FramesDrawn = 0;
    bool m_ScreenshotSaved = false;
    std::vector<KeyPress> m_KeyPresses;
    bool m_PenDown = false;
    bool m_Panning = false;
    std::string m_ReportedStatus;
    std::map<std::string, Place> m_Places;
    std::map<std::string, Place> m_PreviousPlaces;
    std::map<std::string, Place> m_ReportedPlaces;
};

}  // namespace pattix::view
