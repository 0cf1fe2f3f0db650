#include "apps/pattix-view/viewer_window.hpp"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"
#include "apps/pattix-view/display_sync.hpp"
#include "apps/pattix-view/property_pages.hpp"
#include "apps/pattix-view/render_worker.hpp"
#include "apps/pattix/png_frame_writer.hpp"
#include "apps/pattix/staged_file.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/undo.hpp"

namespace pattix::view {
namespace {

std::string g_GlfwError;

void rememberGlfwError(int, const char* description) {
    g_GlfwError = description;
}

// ImGui's own window padding on either side of the pages.
constexpr float kPanelPadding = 8.0f;
// One wheel step zooms by a quarter, as image viewers commonly do.
constexpr double kWheelZoom = 1.25;

}  // namespace

// Tells the window when the effect's parameters change: a page, undo or redo wrote them.
class ViewerWindow::EffectListener final : public IDSPropertyListener {
public:
    explicit EffectListener(ViewerWindow& window) : m_Window(window) {}
    void OnPropertyChanged(REFGUID id) override {
        m_Window.m_ParametersChanged = true;
        if (m_Window.m_Viewer) m_Window.m_Viewer->propertyChanged(id, nullptr, nullptr);
        glfwPostEmptyEvent();
    }

private:
    ViewerWindow& m_Window;
};

ViewerWindow::ViewerWindow(const ViewOptions& options, const host::ModuleSession& session,
                           host::EffectInstance& effect, std::vector<std::string> patternNames)
    : m_Options(options),
      m_Effect(effect),
      m_PatternNames(std::move(patternNames)),
      m_View(options.size, options.worldSize()) {
    glfwSetErrorCallback(rememberGlfwError);
    if (!glfwInit()) throw host::RunFailure("cannot open a window: " + g_GlfwError);
    // The overlay draws with OpenGL 1.1 and builds its font through the current EGL context.
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_CONTEXT_CREATION_API, GLFW_EGL_CONTEXT_API);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    m_Window = glfwCreateWindow(options.window.width, options.window.height, "Pattix Viewer",
                                nullptr, nullptr);
    if (m_Window == nullptr) {
        glfwTerminate();
        throw host::RunFailure("cannot open a window: " + g_GlfwError);
    }
    glfwMakeContextCurrent(m_Window);
    glfwSwapInterval(1);

    try {
        int width = 0, height = 0;
        glfwGetFramebufferSize(m_Window, &width, &height);
        m_Viewer = std::make_unique<sdk::host::Viewer>(width, height);
        // The window's context stays current on this thread; the surface only checks that.
        m_Surface = std::make_unique<sdk::host::ViewerSurface>([this] {
            if (glfwGetCurrentContext() != m_Window) glfwMakeContextCurrent(m_Window);
            return glfwGetCurrentContext() == m_Window;
        });
        // Pages opened from now on push the effect's tool into this viewer.
        sdk::host::setCurrentViewer(m_Viewer.get());
        m_Pages = std::make_unique<PropertyPages>(session.module(), &effect.effect(),
                                                  effect.host().PropertyPages());

        IMGUI_CHECKVERSION();
        ImGui::CreateContext();
        m_ImGuiStarted = true;
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        ImGui::StyleColorsLight();
        ImGui::GetStyle().FramePadding.y = 2.0f;
        // The pages' own font, so their texts fit where their templates put them.
        if (!m_Pages->fontFile().empty() && m_Pages->fontPixels() > 0)
            io.Fonts->AddFontFromFileTTF(m_Pages->fontFile().c_str(),
                                         static_cast<float>(m_Pages->fontPixels()));
        // Key presses are queued, since a press and its release can arrive between two frames,
        // where this ImGui would not see the key down. ImGui's callbacks call this one first.
        glfwSetWindowUserPointer(m_Window, this);
        glfwSetKeyCallback(m_Window, [](GLFWwindow* window, int key, int, int action, int mods) {
            if (action == GLFW_PRESS)
                static_cast<ViewerWindow*>(glfwGetWindowUserPointer(window))
                    ->m_KeyPresses.push_back({key, mods});
        });
        // A button pressed and released between two frames takes ImGui two frames to make a
        // click (down, then up). Events taken while frames were still due would otherwise be
        // left half done when the loop goes back to sleep, and the click lost.
        glfwSetMouseButtonCallback(m_Window, [](GLFWwindow* window, int, int, int) {
            auto* self = static_cast<ViewerWindow*>(glfwGetWindowUserPointer(window));
            self->m_FramesToDraw = std::max(self->m_FramesToDraw, 3);
        });
        ImGui_ImplGlfw_InitForOpenGL(m_Window, true);
        ImGui_ImplOpenGL2_Init();

        const int panel = m_Pages->width() + static_cast<int>(2 * kPanelPadding);
        glfwSetWindowSizeLimits(m_Window, panel + 160, m_Pages->height() + 160, GLFW_DONT_CARE,
                                GLFW_DONT_CARE);

        m_Listener = std::make_unique<EffectListener>(*this);
        effect.host().AddPropertyListener(m_Listener.get());
        m_Worker = std::make_unique<RenderWorker>(effect, host::renderSettings(options),
                                                  [] { glfwPostEmptyEvent(); });
    } catch (...) {
        close();
        throw;
    }
}

ViewerWindow::~ViewerWindow() {
    close();
}

void ViewerWindow::close() noexcept {
    if (m_Window == nullptr) return;
    glfwMakeContextCurrent(m_Window);
    m_Worker.reset();
    if (m_Listener) m_Effect.host().RemovePropertyListener(m_Listener.get());
    m_Listener.reset();
    m_Pages.reset();
    sdk::host::setCurrentViewer(nullptr);
    m_Viewer.reset();
    m_Surface.reset();
    if (m_ImGuiStarted) {
        ImGui_ImplOpenGL2_Shutdown();
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        m_ImGuiStarted = false;
    }
    m_Picture.release();
    glfwDestroyWindow(m_Window);
    m_Window = nullptr;
    glfwTerminate();
}

int ViewerWindow::viewerWidth() const {
    int width = 0, height = 0;
    glfwGetWindowSize(m_Window, &width, &height);
    return std::max(1, width - m_Pages->width() - static_cast<int>(2 * kPanelPadding));
}

void ViewerWindow::run() {
    while (!glfwWindowShouldClose(m_Window)) {
        const bool pending = m_FramesToDraw > 0 || !m_Options.screenshotPath.empty() ||
                             m_Viewer->needsRedraw() || m_ParametersChanged ||
                             (m_Worker->latest() && m_Worker->latest()->serial != m_ShownSerial);
        if (pending) {
            glfwPollEvents();
        } else {
            glfwWaitEvents();
            // ImGui settles hover and click states over the frames after an event.
            m_FramesToDraw = 3;
        }
        if (m_ParametersChanged.exchange(false)) m_Worker->request();
        drawFrame();
        if (m_FramesToDraw > 0) --m_FramesToDraw;
        if (m_ScreenshotSaved) break;
        if (!m_Options.screenshotPath.empty() && !m_Failure.empty())
            throw host::RunFailure(m_Failure);
    }
}

void ViewerWindow::takeNewPicture() {
    m_Failure = m_Worker->failure();
    const std::shared_ptr<const DisplayFrame> frame = m_Worker->latest();
    if (!frame || frame->serial == m_ShownSerial) return;
    const auto start = std::chrono::steady_clock::now();
    m_Picture.upload(*frame);
    m_UploadMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    m_ShownSerial = frame->serial;
    m_ShownPattern = frame->pattern;
    m_RenderMilliseconds = frame->renderMilliseconds;
    m_ConvertMilliseconds = frame->convertMilliseconds;
}

void ViewerWindow::handleViewerInput() {
    ImGuiIO& io = ImGui::GetIO();
    int windowWidth = 0, windowHeight = 0, fbWidth = 0, fbHeight = 0;
    glfwGetWindowSize(m_Window, &windowWidth, &windowHeight);
    glfwGetFramebufferSize(m_Window, &fbWidth, &fbHeight);
    // Pointer positions in framebuffer pixels, which is what the viewport counts in.
    const double scale = windowWidth > 0 ? static_cast<double>(fbWidth) / windowWidth : 1.0;
    const double x = io.MousePos.x * scale, y = io.MousePos.y * scale;
    const bool overViewer = !io.WantCaptureMouse && io.MousePos.x >= 0 && io.MousePos.y >= 0 &&
                            io.MousePos.x < viewerWidth() && io.MousePos.y < windowHeight;

    if (overViewer && io.MouseWheel != 0.0f)
        m_View.zoomAbout(std::pow(kWheelZoom, io.MouseWheel), x, y);
    // A move and the release can come in one frame: the move still belongs to the drag.
    if (overViewer && io.MouseClicked[ImGuiMouseButton_Middle]) m_Panning = true;
    if (m_Panning) m_View.pan(io.MouseDelta.x * scale, io.MouseDelta.y * scale);
    if (!io.MouseDown[ImGuiMouseButton_Middle]) m_Panning = false;

    for (const KeyPress& press : m_KeyPresses) {
        if (io.WantCaptureKeyboard) break;
        const bool control = (press.mods & GLFW_MOD_CONTROL) != 0;
        const bool shift = (press.mods & GLFW_MOD_SHIFT) != 0;
        if (press.key == GLFW_KEY_F && !control) m_View.fit();
        if ((press.key == GLFW_KEY_1 || press.key == GLFW_KEY_KP_1) && !control)
            m_View.actualPixels();
        if (press.key == GLFW_KEY_F1) m_Pages->help();
        if (press.key == GLFW_KEY_Z && control && !shift) sdk::host::undoStack().undo();
        if ((press.key == GLFW_KEY_Z && control && shift) || (press.key == GLFW_KEY_Y && control))
            sdk::host::undoStack().redo();
    }
    m_KeyPresses.clear();

    // The main button is the pen; the tools see every move over the viewer.
    if (overViewer && io.MouseClicked[ImGuiMouseButton_Left]) {
        m_PenDown = true;
        m_Viewer->penDown(m_Viewer->penAt(1, x, y));
    } else if ((m_PenDown || overViewer) && (io.MouseDelta.x != 0.0f || io.MouseDelta.y != 0.0f)) {
        m_Viewer->penMove(m_Viewer->penAt(m_PenDown ? 1 : 0, x, y));
    }
    if (m_PenDown && !io.MouseDown[ImGuiMouseButton_Left]) {
        m_PenDown = false;
        m_Viewer->penUp(m_Viewer->penAt(1, x, y));
    }
}

std::string ViewerWindow::statusText() const {
    const std::string pattern =
        m_ShownPattern >= 0 && m_ShownPattern < static_cast<long>(m_PatternNames.size())
            ? m_PatternNames[static_cast<std::size_t>(m_ShownPattern)]
            : "pattern " + std::to_string(m_ShownPattern);
    return pattern + ", " + std::to_string(m_Options.size.width) + "x" +
           std::to_string(m_Options.size.height) + ", " + std::to_string(m_Options.depth) + "-bit";
}

void ViewerWindow::drawPanel() {
    int windowWidth = 0, windowHeight = 0;
    glfwGetWindowSize(m_Window, &windowWidth, &windowHeight);
    const float left = static_cast<float>(viewerWidth());
    ImGui::SetNextWindowPos({left, 0.0f});
    ImGui::SetNextWindowSize(
        {static_cast<float>(windowWidth) - left, static_cast<float>(windowHeight)});
    ImGui::Begin("##panel", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);
    m_Pages->draw([this](const std::string& name, float x, float y, float width, float height,
                         const std::string& value) {
        m_Places[name] = {x, y, width, height, value};
    });

    ImGui::Separator();
    if (m_ShownSerial == 0) {
        ImGui::TextUnformatted("Rendering...");
    } else {
        ImGui::TextUnformatted(statusText().c_str());
        ImGui::Text("Rendered in %.1f ms (display: %.1f ms conversion, %.1f ms upload)",
                    m_RenderMilliseconds, m_ConvertMilliseconds, m_UploadMilliseconds);
    }
    ImGui::Text("Zoom %.0f%%%s", m_View.zoomPercent(), m_View.fitted() ? " (fit)" : "");
    ImGui::TextDisabled("Wheel: zoom, middle drag: pan, F: fit, 1: 1:1");
    ImGui::TextDisabled("Ctrl+Z: undo, Ctrl+Shift+Z: redo, F1: help");
    if (!m_Failure.empty()) ImGui::TextColored({0.8f, 0.0f, 0.0f, 1.0f}, "%s", m_Failure.c_str());
    ImGui::End();
}

void ViewerWindow::drawFrame() {
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    takeNewPicture();

    int fbWidth = 0, fbHeight = 0, windowWidth = 0, windowHeight = 0;
    glfwGetFramebufferSize(m_Window, &fbWidth, &fbHeight);
    glfwGetWindowSize(m_Window, &windowWidth, &windowHeight);
    const int viewportWidth = windowWidth > 0 ? viewerWidth() * fbWidth / windowWidth : fbWidth;
    m_View.setViewport(viewportWidth, fbHeight);
    handleViewerInput();
    m_Places.clear();
    drawPanel();
    ImGui::Render();

    const VWSurfaceInfo view = m_View.surface();
    {
        // Where the picture lies, in window pixels.
        const double scale = fbWidth > 0 ? static_cast<double>(windowWidth) / fbWidth : 1.0;
        const auto world = m_Options.worldSize();
        const double left = -view.left / view.width * viewportWidth * scale;
        const double top =
            (view.bottom + view.height - world.height) / view.height * fbHeight * scale;
        m_Places["picture"] = {static_cast<float>(left), static_cast<float>(top),
                               static_cast<float>(world.width / view.width * viewportWidth * scale),
                               static_cast<float>(world.height / view.height * fbHeight * scale),
                               ""};
    }
    if (std::memcmp(&view, &m_ViewerView, sizeof view) != 0) {
        m_Viewer->setView(view);
        m_ViewerView = view;
    }
    glViewport(0, 0, fbWidth, fbHeight);
    glClearColor(0.94f, 0.94f, 0.94f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, viewportWidth, fbHeight);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, viewportWidth, fbHeight);
    glClearColor(0.18f, 0.18f, 0.18f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    m_Picture.draw(view, m_Options.worldSize().width, m_Options.worldSize().height);
    m_Viewer->render(*m_Surface);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, fbWidth, fbHeight);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());

    // The screenshot waits for the newest picture and for ImGui's layout to settle (a tab
    // bar, for one, takes a frame to measure its tabs).
    ++m_FramesDrawn;
    if (!m_Options.screenshotPath.empty() && m_ShownSerial != 0 && m_FramesDrawn > 3 &&
        m_Worker->idle() && m_Worker->latest()->serial == m_ShownSerial) {
        saveScreenshot(fbWidth, fbHeight);
        m_ScreenshotSaved = true;
    }
    glfwSwapBuffers(m_Window);
    if (m_Options.report) report();
}

void ViewerWindow::report() {
    std::string lines;
    const std::string status = m_ShownSerial != 0 ? statusText() : std::string();
    if (status != m_ReportedStatus) {
        lines += "shown: " + status + "\n";
        m_ReportedStatus = status;
    }
    // A widget that went (a closed list's items) is reported again when it comes back. One
    // that moved or appeared is reported once it stays put for a frame: ImGui lays a new popup
    // out in a hidden frame first, and a click meant for it before it shows would close it.
    std::erase_if(m_ReportedPlaces,
                  [this](const auto& entry) { return !m_Places.contains(entry.first); });
    for (const auto& [name, place] : m_Places) {
        const auto previous = m_PreviousPlaces.find(name);
        if (previous == m_PreviousPlaces.end() || !(previous->second == place)) {
            m_FramesToDraw = std::max(m_FramesToDraw, 2);
            continue;
        }
        const auto it = m_ReportedPlaces.find(name);
        const bool known = it != m_ReportedPlaces.end();
        if (!known || it->second.x != place.x || it->second.y != place.y ||
            it->second.width != place.width || it->second.height != place.height) {
            char line[80];
            std::snprintf(line, sizeof line, "widget %.0f %.0f %.0f %.0f ", place.x, place.y,
                          place.width, place.height);
            lines += line + name + "\n";
        }
        if (!place.value.empty() && (!known || it->second.value != place.value))
            lines += "value " + name + " = " + place.value + "\n";
        m_ReportedPlaces[name] = place;
    }
    m_PreviousPlaces = m_Places;
    if (lines.empty()) return;
    // Whoever reads this may look at the screen next: the frame must be there by then.
    waitForDisplay();
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
}

void ViewerWindow::saveScreenshot(int width, int height) {
    host::ComPtr<sdk::host::HostImage> image(
        sdk::host::HostImage::create(width, height, MFIF_RGBA_RAW_32));
    if (!image) throw host::RunFailure("not enough memory for the screenshot");
    // OpenGL reads the bottom row first, as the host's 8-bit images keep their rows.
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image->data());
    cli::StagedFile file(m_Options.screenshotPath);
    cli::writePng(file.fd(), host::quote(m_Options.screenshotPath), *image);
    file.commit();
}

}  // namespace pattix::view
