// Finds the game's window on an X display, checks its title and client size
// (0 0: any size) and, optionally, the colour near its top-left corner, then
// asks it to close the way a window manager would (WM_DELETE_WINDOW). Exit
// status 0 when every check held.
//
//   window_probe TITLE WIDTH HEIGHT PID TIMEOUT_SECONDS [RRGGBB [resize|resize-at-start]]
//
// With "resize" the window must also let itself be resized: it is resized as
// a user or a maximise would (no window manager runs), and at each size the
// picture must fill it whole, its aspect kept, with black bars beside it.
// With "resize-at-start" the probe is started before the program (PID 0: not
// known yet). It says "listening" once it watches the display, then resizes
// the window over and over from the moment it has its title, through the
// program's start and for a while after the window maps; then the picture
// must come back whole at WIDTH by HEIGHT and letterboxed at another size.
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
#include <vector>

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

bool PixelAt(Display* d, Window w, int x, int y, unsigned long* rgb) {
  XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return false;
  *rgb = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return true;
}

// A window that is not resizable says so with a largest size equal to its
// least size.
bool Resizable(Display* d, Window w, int width, int height) {
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(d, w, &hints, &supplied)) return true;
  if ((hints.flags & PMaxSize) && (hints.max_width <= width || hints.max_height <= height)) {
    std::fprintf(stderr, "window_probe: largest size %dx%d\n", hints.max_width, hints.max_height);
    return false;
  }
  if ((hints.flags & PMinSize) && (hints.min_width >= width || hints.min_height >= height)) {
    std::fprintf(stderr, "window_probe: least size %dx%d\n", hints.min_width, hints.min_height);
    return false;
  }
  return true;
}

// Where a width by height window shows the 640 by 480 picture: scaled with
// its aspect kept, centred.
struct Place {
  int x, y, w, h;
};
Place PictureIn(int width, int height) {
  int w = width, h = width * 480 / 640;
  if (h > height) {
    h = height;
    w = height * 640 / 480;
  }
  // Centred from the bottom left, as GL counts.
  const int x = (width - w) / 2, yUp = (height - h) / 2;
  return Place{x, height - yUp - h, w, h};
}

// Whether the window shows the title whole at its size: the clear colour a
// thirty-second of the way into the picture, black in the middle of each bar.
bool ShowsWhole(Display* d, Window w, int width, int height, unsigned long clear,
                std::string* why) {
  const Place p = PictureIn(width, height);
  struct Probe {
    int x, y;
    unsigned long want;
  };
  std::vector<Probe> probes = {{p.x + p.w / 32, p.y + p.h / 32, clear},
                               {p.x + p.w - 1 - p.w / 32, p.y + p.h / 32, clear}};
  if (p.x >= 4) probes.push_back({p.x / 2, height / 2, 0});
  if (p.y >= 4) probes.push_back({width / 2, p.y / 2, 0});
  for (const Probe& probe : probes) {
    unsigned long rgb = 0;
    if (!PixelAt(d, w, probe.x, probe.y, &rgb) || rgb != probe.want) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "at %d,%d of %dx%d: %06lx, want %06lx", probe.x, probe.y,
                    width, height, rgb, probe.want);
      *why = buf;
      return false;
    }
  }
  return true;
}

// Resizes the window through sizes a user could give it, a maximise to the
// whole screen and a single pixel among them; at each the picture must come
// back whole and stay so. The first change, a row more, comes while the
// picture is still drawn straight into the window and just after the
// title's first picture, which the title keeps for 40 frames: a picture
// lost with the window's old buffer would stay lost until then, so it must
// be whole again well before (it takes some 30 ms: the copy is not scaled).
// Later changes find the picture in the device's own buffer and may take
// longer: the first scaled copy prepares its code.
bool ResizeAndCheck(Display* d, Window w, unsigned long clear) {
  const Screen* screen = DefaultScreenOfDisplay(d);
  struct Size {
    int w, h;
    bool maximise;
  };
  const Size sizes[] = {{640, 481, false},
                        {960, 480, false},
                        {640, 720, false},
                        {1, 1, false},
                        {screen->width, screen->height, true},
                        {800, 600, false},
                        {640, 480, false}};
  for (const Size& s : sizes) {
    if (s.maximise)
      XMoveResizeWindow(d, w, 0, 0, static_cast<unsigned>(s.w), static_cast<unsigned>(s.h));
    else
      XResizeWindow(d, w, static_cast<unsigned>(s.w), static_cast<unsigned>(s.h));
    XSync(d, False);
    const auto changed = Clock::now();
    if (s.w < 64) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      continue;
    }
    // Long enough for a busy machine: how soon a resize repaints is tested
    // in-process (WindowResize), a picture that stays lost is seen here.
    const auto allowed = std::chrono::milliseconds(30000);
    std::string why;
    while (!ShowsWhole(d, w, s.w, s.h, clear, &why)) {
      if (Clock::now() - changed > allowed) {
        std::fprintf(stderr, "window_probe: not whole %lld ms after a resize: %s\n",
                     static_cast<long long>(allowed.count()), why.c_str());
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf(
        "window_probe: whole at %dx%d after %lld ms\n", s.w, s.h,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - changed).count()));
    // And it stays so.
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      if (!ShowsWhole(d, w, s.w, s.h, clear, &why)) {
        std::fprintf(stderr, "window_probe: picture lost: %s\n", why.c_str());
        return false;
      }
    }
  }
  return true;
}

// Polls until the picture is whole at the window's size or the deadline passes.
bool WholeBy(Display* d, Window w, int width, int height, unsigned long clear,
             Clock::time_point deadline) {
  std::string why;
  while (!ShowsWhole(d, w, width, height, clear, &why)) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "window_probe: not whole at %dx%d: %s\n", width, height, why.c_str());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::printf("window_probe: whole at %dx%d\n", width, height);
  return true;
}

// The sizes a window is hammered with, one after another. Before it maps,
// each a little smaller than the last (after the smallest, the largest
// again), so that the window's buffer shrinks between two looks the program
// takes at it; after, every other one the picture's own size, which the
// program may then take to hold it again.
struct Hammer {
  int step = 0;
  bool mapped = false;
  void Next(int* w, int* h) {
    ++step;
    if (mapped && step % 2 == 0) {
      *w = 640;
      *h = 480;
      return;
    }
    *w = 1000 - (step * 7) % 960;
    *h = 760 - (step * 5) % 720;
  }
};

// Watches the display for the window from its creation: once it has its
// title it is resized over and over until it maps and then for a while
// more, while the program starts and shows its first pictures. Zero when the
// window never came, or went away (the program ended) meanwhile.
Window ResizeFromCreation(Display* d, const std::string& title, Clock::time_point deadline) {
  const Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, False);
  std::printf("window_probe: listening\n");
  std::fflush(stdout);

  Window w = 0;
  while (!w) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "window_probe: no window titled \"%s\" was made\n", title.c_str());
      return 0;
    }
    if (!XPending(d)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == CreateNotify && !e.xcreatewindow.override_redirect) {
      // Its title may already have come before the watch on it began.
      XSelectInput(d, e.xcreatewindow.window, PropertyChangeMask | StructureNotifyMask);
      XSync(d, False);
      if (WindowTitle(d, e.xcreatewindow.window) == title) w = e.xcreatewindow.window;
    } else if (e.type == PropertyNotify && WindowTitle(d, e.xproperty.window) == title) {
      w = e.xproperty.window;
    }
  }
  std::printf("window_probe: found 0x%lx at its creation\n", w);

  // Shown the moment the program's start-up is done: resized on for long
  // enough to meet its first pictures too.
  constexpr auto kAfterMap = std::chrono::milliseconds(1500);
  Hammer hammer;
  Clock::time_point mappedAt{};
  while (!hammer.mapped || Clock::now() - mappedAt < kAfterMap) {
    if (!hammer.mapped && Clock::now() > deadline) {
      std::fprintf(stderr, "window_probe: the window did not map\n");
      return 0;
    }
    int width = 0, height = 0;
    hammer.Next(&width, &height);
    XResizeWindow(d, w, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(d, False);
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == DestroyNotify && e.xdestroywindow.window == w) {
        std::fprintf(stderr, "window_probe: the window went away after %d resizes\n", hammer.step);
        return 0;
      }
      if (e.type == MapNotify && e.xmap.window == w && !hammer.mapped) {
        hammer.mapped = true;
        mappedAt = Clock::now();
        std::printf("window_probe: mapped after %d resizes\n", hammer.step);
      }
    }
  }
  XSelectInput(d, root, NoEventMask);
  XSelectInput(d, w, NoEventMask);
  std::printf("window_probe: resized %d times\n", hammer.step);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(
        stderr,
        "usage: %s TITLE WIDTH HEIGHT PID TIMEOUT_SECONDS [RRGGBB [resize|resize-at-start]]\n",
        argv[0]);
    return 64;
  }
  const std::string title = argv[1];
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const long pid = std::atol(argv[4]);
  const auto deadline = Clock::now() + std::chrono::seconds(std::atoi(argv[5]));
  const bool checkColour = argc > 6;
  const unsigned long wantColour = checkColour ? std::strtoul(argv[6], nullptr, 16) : 0;
  const bool resize = argc > 7 && std::strcmp(argv[7], "resize") == 0;
  const bool resizeAtStart = argc > 7 && std::strcmp(argv[7], "resize-at-start") == 0;

  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "window_probe: cannot open display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXErrors);

  Window w = 0;
  if (resizeAtStart) {
    if (!(w = ResizeFromCreation(d, title, deadline))) return 3;
    // Back at its size, then at one it did not start with, where the
    // picture shows letterboxed; moved to the corner so that it lies on the
    // screen whole.
    const int sizes[][2] = {{width, height}, {960, 600}};
    for (const auto& size : sizes) {
      XMoveResizeWindow(d, w, 0, 0, static_cast<unsigned>(size[0]), static_cast<unsigned>(size[1]));
      XSync(d, False);
      if (!WholeBy(d, w, size[0], size[1], wantColour, deadline)) return 8;
    }
    XResizeWindow(d, w, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(d, False);
  }
  while (!w && !(w = FindWindow(d, DefaultRootWindow(d), title))) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "window_probe: no viewable window titled \"%s\"\n", title.c_str());
      return 3;
    }
    if (pid && kill(static_cast<pid_t>(pid), 0) != 0) {
      std::fprintf(stderr, "window_probe: process %ld ended before showing its window\n", pid);
      return 3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::printf("window_probe: found 0x%lx\n", w);

  long owner = WindowPid(d, w);
  if (pid && owner != -1 && owner != pid) {
    std::fprintf(stderr, "window_probe: window belongs to pid %ld, not %ld\n", owner, pid);
    return 4;
  }
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  if ((width || height) && (a.width != width || a.height != height)) {
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
  if (resize && !Resizable(d, w, width, height)) return 7;
  if (resize && !ResizeAndCheck(d, w, wantColour)) return 8;

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
