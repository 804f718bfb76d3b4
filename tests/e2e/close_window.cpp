// SPDX-License-Identifier: GPL-3.0-or-later
// Presses a window's close box from outside: sends it the WM_DELETE_WINDOW client message that a
// window manager would send. Under a bare Xvfb there is no window manager, and destroying the
// window instead (xdotool windowclose) never reaches the program as a close event.
//
// Usage: close_window <window id>   (decimal or 0x hex, as xdotool prints it; DISPLAY selects)

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool failed = false;

int ReportError(Display* display, XErrorEvent* error) {
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "close_window: %s\n", text);
    failed = true;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long window = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (window == 0 || *end != '\0') {
        std::fprintf(stderr, "usage: close_window <window id>\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "close_window: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return 1;
    }
    XSetErrorHandler(ReportError);

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return failed ? 1 : 0;
}
