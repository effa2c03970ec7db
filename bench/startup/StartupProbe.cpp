// Launches a program and waits for its window to be mapped on the X screen;
// prints the time from launch to the map and the program's resident memory
// at that moment, then ends the program.
//
//   koravel_startup_probe TITLE PROGRAM [ARGUMENTS...]
//   -> "<milliseconds> <CPU milliseconds> <VmRSS kB>"
//
// The CPU time is that of all the program's threads until the map: unlike the
// wall time, it hardly moves when other work shares the machine.
//
// Without a window manager every top-level window is a child of the root, so
// the root's MapNotify events tell the moment exactly, with no polling.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(30);

std::optional<std::string> StringProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 256, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success ||
        data == nullptr) {
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(data), count);
    XFree(data);
    return text;
}

std::optional<long> CardinalProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) != Success ||
        data == nullptr) {
        return std::nullopt;
    }
    std::optional<long> value;
    if (count == 1 && format == 32) {
        value = *reinterpret_cast<long*>(data);
    }
    XFree(data);
    return value;
}

// The window is the launched program's and has the title sought.
bool IsTheWindow(Display* display, Window window, const std::string& title, pid_t pid) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
    auto name = StringProperty(display, window, netName);
    if (!name) {
        name = StringProperty(display, window, XA_WM_NAME);
    }
    const auto owner = CardinalProperty(display, window, netPid);
    return name == title && (!owner || *owner == pid);
}

long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kilobytes = -1;
            status >> kilobytes;
            return kilobytes;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Time on a CPU of all the program's threads so far, from the scheduler's
// nanosecond counters.
double CpuMilliseconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = opendir(tasks.c_str());
    if (folder == nullptr) {
        return -1;
    }
    double nanoseconds = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') {
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            double running = 0;
            stat >> running;
            nanoseconds += running;
        }
    }
    closedir(folder);
    return nanoseconds / 1e6;
}

// Waits for the next X event until `deadline`, or until the program ends
// without showing its window; false then. The program is looked at every
// 100 ms, which delays only a failure.
bool NextEvent(Display* display, XEvent& event, Clock::time_point deadline, pid_t pid,
               bool& ended) {
    while (XPending(display) == 0) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            ended = true;
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        const int wait = static_cast<int>(std::min<long long>(left.count(), 100));
        if (poll(&connection, 1, wait) < 0 && errno != EINTR) {
            return false;
        }
    }
    XNextEvent(display, &event);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TITLE PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    // Listen before launching, so that no map can be missed.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);

    const auto launched = Clock::now();
    pid_t pid = -1;
    if (const int error = posix_spawn(&pid, argv[2], &quiet, nullptr, argv + 2, environ)) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[2], std::strerror(error));
        return 1;
    }

    std::optional<Clock::time_point> mapped;
    long resident = -1;
    double cpu = -1;
    XEvent event;
    bool ended = false;
    while (!mapped && NextEvent(display, event, launched + Patience, pid, ended)) {
        // The moment is taken before the property look-ups, which are round trips.
        const auto now = Clock::now();
        if (event.type == MapNotify && IsTheWindow(display, event.xmap.window, title, pid)) {
            mapped = now;
            resident = ResidentKilobytes(pid);
            cpu = CpuMilliseconds(pid);
        }
    }

    if (!ended) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&quiet);
    XCloseDisplay(display);

    if (!mapped) {
        std::fprintf(stderr, "%s: no window titled \"%s\" %s\n", argv[2], title.c_str(),
                     ended ? "before it ended" : "within the time allowed");
        return 1;
    }
    const std::chrono::duration<double, std::milli> elapsed = *mapped - launched;
    std::printf("%.2f %.2f %ld\n", elapsed.count(), cpu, resident);
    return 0;
}
