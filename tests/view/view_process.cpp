#include "tests/view/view_process.hpp"

// GoogleTest first: the X11 headers define None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

#include "tests/apps/pattix_process.hpp"

namespace pattix::testing {
namespace {

struct DisplayConnection {
    DisplayConnection() : display(XOpenDisplay(nullptr)) {}
    ~DisplayConnection() {
        if (display != nullptr) XCloseDisplay(display);
    }
    Display* display;
};

}  // namespace

Rgb Screenshot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    return pixels[static_cast<std::size_t>(y) * width + x];
}

Rgb Screenshot::at(const Rect& area, double fx, double fy) const {
    return at(area.x + static_cast<int>(fx * area.width),
              area.y + static_cast<int>(fy * area.height));
}

std::string runTool(const std::vector<std::string>& arguments) {
    Pipe out;
    Launch launch;
    launch.out = out.write;
    const pid_t pid = startProgram(arguments, std::filesystem::current_path(), launch);
    out.closeWrite();
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out.read, buffer, sizeof buffer)) != 0;) {
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        if (n < 0 && errno != EINTR) break;
    }
    EXPECT_EQ(waitForPattix(pid), 0) << arguments.front() << " failed";
    return text;
}

ViewProcess::ViewProcess(const std::vector<std::string>& arguments) {
    m_ErrorFile = std::filesystem::temp_directory_path() /
                  ("pattix-view-errors-" + std::to_string(::getpid()));
    std::vector<std::string> command{PATTIX_VIEW_BINARY, "--report"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    Pipe out;
    Launch launch;
    launch.out = out.write;
    launch.err = ::open(m_ErrorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_Pid = startProgram(command, std::filesystem::current_path(), launch);
    ::close(launch.err);
    m_Out = std::exchange(out.read, -1);
}

ViewProcess::~ViewProcess() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGKILL);
        waitForPattix(m_Pid);
    }
    if (m_Out >= 0) ::close(m_Out);
    std::error_code ec;
    std::filesystem::remove(m_ErrorFile, ec);
}

bool ViewProcess::readLine(std::string& line) {
    for (;;) {
        if (const auto end = m_Buffer.find('\n'); end != std::string::npos) {
            line = m_Buffer.substr(0, end);
            m_Buffer.erase(0, end + 1);
            m_Lines.push_back(line);
            Rect rect;
            int consumed = 0;
            if (std::sscanf(line.c_str(), "widget %d %d %d %d %n", &rect.x, &rect.y, &rect.width,
                            &rect.height, &consumed) == 4) {
                m_Widgets[line.substr(static_cast<std::size_t>(consumed))] = rect;
            }
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_Deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || m_Out < 0) return false;
        pollfd ready{m_Out, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(m_Out, buffer, sizeof buffer);
        if (n > 0) m_Buffer.append(buffer, static_cast<std::size_t>(n));
        if (n <= 0) ::close(std::exchange(m_Out, -1));
    }
}

void ViewProcess::waitFor(std::vector<std::string> prefixes) {
    for (std::string line; !prefixes.empty() && readLine(line);) {
        std::erase_if(prefixes,
                      [&](const std::string& prefix) { return line.rfind(prefix, 0) == 0; });
    }
    for (const std::string& prefix : prefixes)
        ADD_FAILURE() << "pattix-view never reported '" << prefix << "'; standard error:\n"
                      << errors();
}

Rect ViewProcess::widget(const std::string& name) {
    for (std::string line; !m_Widgets.contains(name) && readLine(line);) {
    }
    EXPECT_TRUE(m_Widgets.contains(name)) << "no widget '" << name << "' was reported";
    return m_Widgets[name];
}

Rect ViewProcess::moved(const std::string& name) {
    const std::string suffix = " " + name;
    for (std::string line; readLine(line);) {
        if (line.rfind("widget ", 0) == 0 && line.ends_with(suffix)) return m_Widgets[name];
    }
    ADD_FAILURE() << "widget '" << name << "' was not reported again; the report ended with "
                  << (m_Lines.empty() ? std::string("nothing") : m_Lines.back());
    return {};
}

const std::string& ViewProcess::window() {
    if (m_Window.empty()) {
        std::istringstream found(runTool(
            {"xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(m_Pid)}));
        found >> m_Window;
    }
    return m_Window;
}

void ViewProcess::click(const std::string& widgetName) {
    const Rect r = widget(widgetName);
    runTool({"xdotool", "mousemove", "--window", window(), std::to_string(r.x + r.width / 2),
             std::to_string(r.y + r.height / 2), "click", "1"});
}

void ViewProcess::key(const std::string& keys) {
    runTool({"xdotool", "key", "--window", window(), keys});
}

Screenshot ViewProcess::screenshot() {
    Screenshot shot;
    const DisplayConnection connection;
    if (connection.display == nullptr) {
        ADD_FAILURE() << "no display to read the screen from";
        return shot;
    }
    const Window id = std::stoul(window());
    XWindowAttributes attributes;
    XGetWindowAttributes(connection.display, id, &attributes);
    XImage* image = XGetImage(connection.display, id, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        ADD_FAILURE() << "the window could not be read";
        return shot;
    }
    shot.width = attributes.width;
    shot.height = attributes.height;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            shot.pixels.push_back({static_cast<int>((pixel & image->red_mask) >> 16),
                                   static_cast<int>((pixel & image->green_mask) >> 8),
                                   static_cast<int>(pixel & image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return shot;
}

void ViewProcess::close() {
    const DisplayConnection connection;
    ASSERT_NE(connection.display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::stoul(window());
    event.xclient.message_type = XInternAtom(connection.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] =
        static_cast<long>(XInternAtom(connection.display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection.display, event.xclient.window, False, NoEventMask, &event);
    XSync(connection.display, False);
}

int ViewProcess::finish() {
    for (std::string line; readLine(line);) {
    }
    if (m_Out >= 0) {
        ADD_FAILURE() << "pattix-view did not exit";
        ::kill(m_Pid, SIGKILL);
    }
    const int status = waitForPattix(m_Pid);
    m_Pid = -1;
    return status;
}

std::string ViewProcess::errors() const {
    return readFile(m_ErrorFile);
}

}  // namespace pattix::testing
