// startup_bench rounds baseline zek [zek args...]
// Time from exec to the program's first top-level window being mapped on the
// X display, for a baseline program and for zek, alternating, in one run.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double mapTime(xcb_connection_t* c, char** argv) {
    pid_t pid = 0;
    const auto t0 = Clock::now();
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
        std::perror("spawn");
        std::exit(1);
    }
    double ms = -1;
    const int fd = xcb_get_file_descriptor(c);
    while (ms < 0) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect)
                ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            std::free(e);
        }
        if (ms >= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) {
            std::fprintf(stderr, "no window from %s\n", argv[0]);
            break;
        }
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // The X server holds back a client that connects right after another
    // one left; a pause keeps that out of both figures.
    ::usleep(400000);
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench rounds baseline zek [args]\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    char* baseline[] = {argv[2], nullptr};
    std::vector<double> base, zek;
    mapTime(c, baseline);  // warm the caches once for each
    mapTime(c, argv + 3);
    for (int i = 0; i < rounds; ++i) {
        base.push_back(mapTime(c, baseline));
        zek.push_back(mapTime(c, argv + 3));
    }
    const double b = median(base), z = median(zek);
    auto name = [](const char* path) {
        const char* slash = std::strrchr(path, '/');
        return slash ? slash + 1 : path;
    };
    std::printf("start-up to window shown, median of %d: %s %.1f ms, %s %.1f ms, ratio %.2f (target <= 1.3)\n",
                rounds, name(argv[2]), b, name(argv[3]), z, z / b);
    return 0;
}
