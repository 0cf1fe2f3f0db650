// Running pattix-view in the test's display server: its --report lines read as they come, its
// window found, clicked and typed at with xdotool, read back from the screen and closed as a
// window manager closes it.
#pragma once

#include <sys/types.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "tests/apps/pattix_process.hpp"

namespace pattix::testing {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

using Rgb = std::array<int, 3>;

// What the window shows, the top row first.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    // The colour at a point of `area` given as fractions of its width and height from its
    // top-left corner.
    Rgb at(const Rect& area, double fx, double fy) const;
};

// Runs a program and answers its standard output; fails the test when it does not exit 0.
std::string runTool(const std::vector<std::string>& arguments);

class ViewProcess {
public:
    // Starts pattix-view --report with `arguments`.
    explicit ViewProcess(const std::vector<std::string>& arguments);
    ViewProcess(const ViewProcess&) = delete;
    ViewProcess& operator=(const ViewProcess&) = delete;
    ~ViewProcess();

    // Reads report lines until one began with each of `prefixes`, in whatever order they come.
    void waitFor(std::vector<std::string> prefixes);
    // Where the widget `name` was last reported, waiting for its first report.
    Rect widget(const std::string& name);
    // Waits for the next report of the widget `name` and answers where it is now.
    Rect moved(const std::string& name);

    // The window's X id (xdotool search --sync: waits for the window to be mapped).
    const std::string& window();
    void click(const std::string& widgetName);
    void key(const std::string& keys);
    Screenshot screenshot();
    // Asks the window to close (WM_DELETE_WINDOW), as a window manager's close button does.
    void close();

    // Reads the rest of the report and waits for the exit; the status as in RunResult.
    int finish();
    const std::vector<std::string>& lines() const { return m_Lines; }
    pid_t pid() const { return m_Pid; }
    std::string errors() const { return readFile(m_Streams / "err"); }

private:
    // The next report line; false once the program has closed its output.
    bool readLine(std::string& line);

    TempFolder m_Streams;
    pid_t m_Pid = -1;
    int m_Out = -1;
    std::string m_Buffer;
    std::vector<std::string> m_Lines;
    std::map<std::string, Rect> m_Widgets;
    std::string m_Window;
};

}  // namespace pattix::testing
