// Pings a program's window the way a window manager asks whether a program
// still answers (_NET_WM_PING), one ping at a time, and reports how long the
// answers took. The program answers from its event loop, so the longest
// answer is the longest time that loop was kept from its work: the pause a
// user would feel, measured from outside the program.
//
//   windowprobe --title TEXT [--seconds N] [--wait-file FILE]
//
// The window is the first top-level one whose title holds TEXT. Pinging
// starts at once, or, with --wait-file, once FILE exists, and ends after N
// seconds (default 10) or once FILE is gone again.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::string title(xcb_connection_t *c, xcb_window_t w, xcb_atom_t netName, xcb_atom_t utf8)
{
    for (const auto &[property, type] : {std::pair{netName, utf8}, std::pair{xcb_atom_t(XCB_ATOM_WM_NAME),
                                                                            xcb_atom_t(XCB_ATOM_STRING)}}) {
        xcb_get_property_reply_t *r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr);
        if (!r)
            continue;
        std::string text(static_cast<const char *>(xcb_get_property_value(r)),
                         std::size_t(xcb_get_property_value_length(r)));
        std::free(r);
        if (!text.empty())
            return text;
    }
    return {};
}

// The first window under `parent` (depth first) whose title holds `wanted`.
xcb_window_t findWindow(xcb_connection_t *c, xcb_window_t parent, const std::string &wanted, xcb_atom_t netName,
                        xcb_atom_t utf8, int depth)
{
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    const int n = xcb_query_tree_children_length(tree);
    xcb_window_t found = XCB_WINDOW_NONE;
    for (int i = 0; i < n && found == XCB_WINDOW_NONE; ++i)
        if (title(c, children[i], netName, utf8).find(wanted) != std::string::npos)
            found = children[i];
    for (int i = 0; i < n && found == XCB_WINDOW_NONE && depth < 3; ++i)
        found = findWindow(c, children[i], wanted, netName, utf8, depth + 1);
    std::free(tree);
    return found;
}

bool exists(const std::string &path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string wanted, waitFile;
    double seconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--title")
            wanted = argv[i + 1];
        else if (key == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (key == "--wait-file")
            waitFile = argv[i + 1];
    }
    if (wanted.empty()) {
        std::fprintf(stderr, "usage: windowprobe --title TEXT [--seconds N] [--wait-file FILE]\n");
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "windowprobe: no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS"), ping = atom(c, "_NET_WM_PING");
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING");

    xcb_window_t window = XCB_WINDOW_NONE;
    for (int tries = 0; tries < 300 && window == XCB_WINDOW_NONE; ++tries) {
        window = findWindow(c, root, wanted, netName, utf8, 0);
        if (window == XCB_WINDOW_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (window == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "windowprobe: no window titled \"%s\"\n", wanted.c_str());
        return 1;
    }
    // The answers go to the root window, for those who listen to its
    // structure (or, in some versions, its children's).
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    while (!waitFile.empty() && !exists(waitFile))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    std::vector<double> answers;
    // Answers over 10 ms, with when their ping was sent (seconds since the
    // epoch, to set beside what else happened then).
    std::vector<std::pair<double, double>> slow;
    std::uint32_t serial = 1;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    int unanswered = 0;
    while (Clock::now() < end && (waitFile.empty() || exists(waitFile))) {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = window;
        e.type = protocols;
        e.data.data32[0] = ping;
        e.data.data32[1] = ++serial;
        e.data.data32[2] = window;
        const Clock::time_point sent = Clock::now();
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&e));
        xcb_flush(c);
        bool answered = false;
        // An answer not come after five seconds counts as five seconds.
        while (!answered && Clock::now() - sent < std::chrono::seconds(5)) {
            xcb_generic_event_t *ev = xcb_poll_for_event(c);
            if (!ev) {
                if (xcb_connection_has_error(c))
                    return 1;
                // Asleep until the server writes: a probe that kept polling
                // would take the processor the window and the server need.
                pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
                ::poll(&fd, 1, 100);
                continue;
            }
            if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *m = reinterpret_cast<const xcb_client_message_event_t *>(ev);
                answered = m->type == protocols && m->data.data32[0] == ping && m->data.data32[1] == serial;
            }
            std::free(ev);
        }
        if (!answered)
            ++unanswered;
        answers.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (answers.back() > 10)
            slow.emplace_back(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()
                                  - answers.back() / 1000,
                              answers.back());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (answers.empty()) {
        std::fprintf(stderr, "windowprobe: no ping was sent\n");
        return 1;
    }
    std::vector<double> sorted = answers;
    std::sort(sorted.begin(), sorted.end());
    std::printf("window pings                 %zu answered in %.1f s (%d unanswered)\n", answers.size() - unanswered,
                seconds, unanswered);
    std::printf("window answer median         %9.2f ms, 99th percentile %.2f ms\n", sorted[sorted.size() / 2],
                sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)]);
    std::printf("longest event-loop pause     %9.1f ms in the real window (longest answer to a ping; target <= 16)\n",
                sorted.back());
    std::printf("answers over 10 ms          ");
    for (const auto &[at, ms] : slow)
        std::printf(" %.1f ms at %.3f;", ms, at);
    std::printf("%s\n", slow.empty() ? " none" : "");
    xcb_disconnect(c);
    return unanswered ? 3 : 0;
}
