#include "tests/view/view_process.hpp"

// GoogleTest first: the X11 headers define None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <utility>

namespace pattix::testing {
namespace {

using Connection = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

Connection connect() {
    Connection connection(XOpenDisplay(nullptr), &XCloseDisplay);
    EXPECT_NE(connection, nullptr) << "no display";
    return connection;
}

}  // namespace

Rgb Screenshot::at(const Rect& area, double fx, double fy) const {
    const int x = area.x + static_cast<int>(fx * area.width);
    const int y = area.y + static_cast<int>(fy * area.height);
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    return pixels[static_cast<std::size_t>(y) * width + x];
}

std::string runTool(const std::vector<std::string>& arguments) {
    const RunResult result = runProgram(arguments, std::filesystem::current_path());
    EXPECT_EQ(result.status, 0) << arguments.front() << " failed: " << result.err;
    return result.out;
}

ViewProcess::ViewProcess(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{PATTIX_VIEW_BINARY, "--report"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    Pipe out;
    Launch launch;
    launch.out = out.write;
    launch.err = ::open((m_Streams / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
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
}

bool ViewProcess::readLine(std::string& line) {
    std::size_t end;
    while ((end = m_Buffer.find('\n')) == std::string::npos) {
        char buffer[4096];
        const ssize_t n = m_Out < 0 ? 0 : ::read(m_Out, buffer, sizeof buffer);
        if (n > 0) m_Buffer.append(buffer, static_cast<std::size_t>(n));
        if (n == 0 || (n < 0 && errno != EINTR)) {
            if (m_Out >= 0) ::close(std::exchange(m_Out, -1));
            return false;
        }
    }
    line = m_Lines.emplace_back(m_Buffer.substr(0, end));
    m_Buffer.erase(0, end + 1);
    Rect r;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "widget %d %d %d %d %n", &r.x, &r.y, &r.width, &r.height,
                    &consumed) == 4)
        m_Widgets[line.substr(static_cast<std::size_t>(consumed))] = r;
    return true;
}

void ViewProcess::waitFor(std::vector<std::string> prefixes) {
    for (std::string line; !prefixes.empty() && readLine(line);) {
        std::erase_if(prefixes, [&](const std::string& p) { return line.starts_with(p); });
    }
    for (const std::string& prefix : prefixes)
        ADD_FAILURE() << "pattix-view never reported '" << prefix << "'; standard error:\n"
                      << errors();
}

Rect ViewProcess::widget(const std::string& name) {
    for (std::string line; !m_Widgets.contains(name) && readLine(line);) {
    }
    EXPECT_TRUE(m_Widgets.contains(name)) << "widget '" << name << "' was not reported";
    return m_Widgets[name];
}

Rect ViewProcess::moved(const std::string& name) {
    m_Widgets.erase(name);
    return widget(name);
}

const std::string& ViewProcess::window() {
    if (m_Window.empty()) {
        std::istringstream(runTool(
            {"xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(m_Pid)})) >>
            m_Window;
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
    const Connection connection = connect();
    const Window id = std::stoul(window());
    XWindowAttributes attributes{};
    XImage* image = nullptr;
    if (connection && XGetWindowAttributes(connection.get(), id, &attributes))
        image = XGetImage(connection.get(), id, 0, 0, static_cast<unsigned>(attributes.width),
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
    const Connection connection = connect();
    if (!connection) return;
    Display* display = connection.get();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::stoul(window());
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);
}

int ViewProcess::finish() {
    for (std::string line; readLine(line);) {
    }
    return waitForPattix(std::exchange(m_Pid, -1));
}

}  // namespace pattix::testing
