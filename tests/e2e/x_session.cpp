// x_session.cpp: Xvfb, window lookup, screenshots and XTest key presses for the end-to-end runs.
#include "x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <cairo.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Display *AsDisplay(void *display) { return static_cast<Display *>(display); }

// A window that goes away between the lookup and the request must not end the test program, as Xlib's default
// handler would; the request simply fails.
int g_x_errors = 0;
int CountXError(Display *, XErrorEvent *) {
  ++g_x_errors;
  return 0;
}

std::string WindowTitle(Display *display, Window window) {
  char *name = nullptr;
  if (XFetchName(display, window, &name) == 0 || name == nullptr)
    return {};
  std::string title = name;
  XFree(name);
  return title;
}

} // namespace

bool SavePng(const Image &image, const std::string &path) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
  unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y)
    std::memcpy(data + static_cast<size_t>(y) * stride, &image.pixels[static_cast<size_t>(y) * image.width],
                4 * static_cast<size_t>(image.width));
  cairo_surface_mark_dirty(surface);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

XSession::~XSession() {
  if (display_ != nullptr)
    XCloseDisplay(AsDisplay(display_));
  if (xvfb_ > 0) {
    ::kill(xvfb_, SIGTERM);
    ::waitpid(xvfb_, nullptr, 0);
  }
}

// Starts Xvfb on display :number; true once it accepts connections, false when it ended instead (the number is in use)
// or did not say so within the limit for a hung start.
bool XSession::StartXvfb(int number) {
  int report[2];
  if (::pipe(report) != 0)
    return false;
  xvfb_ = ::fork();
  if (xvfb_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::close(report[0]);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    const std::string display = ":" + std::to_string(number), fd = std::to_string(report[1]);
    ::execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(report[1]);
  // Xvfb writes the display number once it accepts connections; a server that cannot start closes the pipe.
  std::string reported;
  pollfd wait{report[0], POLLIN, 0};
  char c = 0;
  while (::poll(&wait, 1, 120000) == 1 && ::read(report[0], &c, 1) == 1 && c != '\n')
    reported += c;
  ::close(report[0]);
  if (reported == std::to_string(number))
    return true;
  if (xvfb_ > 0) {
    ::kill(xvfb_, SIGTERM);
    ::waitpid(xvfb_, nullptr, 0);
  }
  xvfb_ = -1;
  return false;
}

bool XSession::StartPrivate() {
  // Left to itself (-displayfd alone) Xvfb takes the lowest number free in this network namespace. A run in another
  // namespace that shares /tmp (another sandbox on the machine) does the same and replaces the socket file of that
  // number; a server whose socket file was replaced so has been seen to leave new clients unanswered for minutes. So
  // the number is chosen here: high, apart for each test process, and past any number whose socket file is there.
  const int first = static_cast<int>(::getpid() % kDisplaySpan);
  for (int i = 0; i < 50; ++i) {
    const int number = kFirstDisplay + (first + i) % kDisplaySpan;
    const std::string n = std::to_string(number);
    if (::access(("/tmp/.X11-unix/X" + n).c_str(), F_OK) == 0 || ::access(("/tmp/.X" + n + "-lock").c_str(), F_OK) == 0)
      continue;
    if (StartXvfb(number))
      return Connect(":" + n);
  }
  error_ = "Xvfb did not start on any of 50 display numbers from :" + std::to_string(kFirstDisplay + first) +
           " (is the xvfb package installed?)";
  return false;
}

bool XSession::Connect(const std::string &display) {
  name_ = display;
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) {
    error_ = "cannot open the X display " + display;
    return false;
  }
  XSetErrorHandler(CountXError);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(AsDisplay(display_), &event, &error, &major, &minor)) {
    error_ = "the X display " + display + " has no XTest extension";
    return false;
  }
  return true;
}

unsigned long XSession::FindWindow(const std::string &title_prefix) {
  Display *display = AsDisplay(display_);
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count) == 0)
    return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) == 0 || attributes.map_state != IsViewable)
      continue;
    if (WindowTitle(display, children[i]).rfind(title_prefix, 0) == 0)
      found = children[i];
  }
  if (children != nullptr)
    XFree(children);
  return found;
}

bool XSession::PressKey(const std::string &title_prefix, const std::string &key) {
  Display *display = AsDisplay(display_);
  const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key.c_str()));
  const unsigned long window = FindWindow(title_prefix);
  if (code == 0 || window == 0)
    return false;
  const int errors = g_x_errors;
  // The window is looked up and given the focus before every key: SDL re-creates its window once it knows how
  // it will present the frames.
  XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XSync(display, False);
  return g_x_errors == errors;
}

bool XSession::Grab(int width, int height, Image &image) {
  Display *display = AsDisplay(display_);
  XImage *shot = XGetImage(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                           static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (shot == nullptr)
    return false;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(XGetPixel(shot, x, y)) & 0xFFFFFF;
  XDestroyImage(shot);
  return true;
}

int Count(const Image &image, uint32_t colour, Box box) {
  int n = 0;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, image.height); ++y)
    for (int x = std::max(box.left, 0); x < std::min(box.right, image.width); ++x)
      n += image.At(x, y) == colour ? 1 : 0;
  return n;
}
