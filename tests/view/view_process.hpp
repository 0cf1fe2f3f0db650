// Running pattix-view in the test's display server: its --report lines read as they come, its
// window found, clicked and typed at with xdotool, read back from the screen and closed as a
// window manager closes it.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pattix::testing {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

using Rgb = std::array<int, 3>;

// What the window shows, as the display server has it.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // the top row first

    Rgb at(int x, int y) const;
    // The colour at a point of `area` given as fractions of its width and height from its
    // top-left corner.
    Rgb at(const Rect& area, double fx, double fy) const;
};

// Runs a program and answers its standard output; fails the test when it does not exit 0.
std::string runTool(const std::vector<std::string>& arguments);

class ViewProcess {
public:
    // Starts pattix-view --report with `arguments`, its standard error kept in a file.
    explicit ViewProcess(const std::vector<std::string>& arguments);
    ViewProcess(const ViewProcess&) = delete;
    ViewProcess& operator=(const ViewProcess&) = delete;
    // Kills the program if it still runs.
    ~ViewProcess();

    // Reads report lines until one began with each of `prefixes`, in whatever order they come;
    // fails the test when the program ends or a minute passes first.
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

    // Reads the rest of the report and waits for the exit; the exit status, or 128 + the
    // signal that ended it.
    int finish();
    const std::vector<std::string>& lines() const { return m_Lines; }
    pid_t pid() const { return m_Pid; }
    std::string errors() const;

private:
    // The next report line; false once the program has ended or the run's patience is spent,
    // so that a broken run fails once instead of at every wait.
    bool readLine(std::string& line);

    pid_t m_Pid = -1;
    int m_Out = -1;
    std::string m_Buffer;
    std::vector<std::string> m_Lines;
    std::map<std::string, Rect> m_Widgets;
    std::filesystem::path m_ErrorFile;
    std::string m_Window;
    // Generous: a loaded two-core machine draws with a software renderer.
    std::chrono::steady_clock::time_point m_Deadline =
        std::chrono::steady_clock::now() + std::chrono::minutes(2);
};

}  // namespace pattix::testing
