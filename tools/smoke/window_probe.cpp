// Finds the game's window on an X display, checks its title and client size
// and, optionally, the colour near its top-left corner, then asks it to close the way a
// window manager would (WM_DELETE_WINDOW). Exit status 0 when every check held.
//
//   window_probe TITLE WIDTH HEIGHT PID TIMEOUT_SECONDS [RRGGBB]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }  // windows may vanish while we walk

std::string WindowTitle(Display* d, Window w) {
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, w, netName, 0, 256, False, utf8, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

long WindowPid(Display* d, Window w) {
  Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (count == 1 && format == 32)
      pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
  }
  return pid;
}

// Depth-first search for a viewable window with that title.
Window FindWindow(Display* d, Window parent, const std::string& title) {
  Window root, up, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, parent, &root, &up, &children, &n)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < n && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
        WindowTitle(d, children[i]) == title)
      found = children[i];
    else
      found = FindWindow(d, children[i], title);
  }
  if (children) XFree(children);
  return found;
}

// A point a thirty-second of the way in from the top-left corner, where the
// title shows the clear colour around its pictures.
bool CornerColour(Display* d, Window w, int width, int height, unsigned long* rgb) {
  XImage* image = XGetImage(d, w, width / 32, height / 32, 1, 1, AllPlanes, ZPixmap);
  if (!image) return false;
  *rgb = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s TITLE WIDTH HEIGHT PID TIMEOUT_SECONDS [RRGGBB]\n", argv[0]);
    return 64;
  }
  const std::string title = argv[1];
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const long pid = std::atol(argv[4]);
  const auto deadline = Clock::now() + std::chrono::seconds(std::atoi(argv[5]));
  const bool checkColour = argc > 6;
  const unsigned long wantColour = checkColour ? std::strtoul(argv[6], nullptr, 16) : 0;

  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "window_probe: cannot open display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXErrors);

  Window w = 0;
  while (!(w = FindWindow(d, DefaultRootWindow(d), title))) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "window_probe: no viewable window titled \"%s\"\n", title.c_str());
      return 3;
    }
    if (kill(static_cast<pid_t>(pid), 0) != 0) {
      std::fprintf(stderr, "window_probe: process %ld ended before showing its window\n", pid);
      return 3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::printf("window_probe: found 0x%lx\n", w);

  long owner = WindowPid(d, w);
  if (owner != -1 && owner != pid) {
    std::fprintf(stderr, "window_probe: window belongs to pid %ld, not %ld\n", owner, pid);
    return 4;
  }
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  if (a.width != width || a.height != height) {
    std::fprintf(stderr, "window_probe: client area %dx%d, want %dx%d\n", a.width, a.height, width,
                 height);
    return 5;
  }

  if (checkColour) {
    unsigned long rgb = 0;
    bool ok = false;
    while (!(ok = CornerColour(d, w, width, height, &rgb) && rgb == wantColour) &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!ok) {
      std::fprintf(stderr, "window_probe: corner colour %06lx, want %06lx\n", rgb, wantColour);
      return 6;
    }
  }

  XEvent e;
  std::memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
  std::printf("window_probe: close requested\n");
  return 0;
}
