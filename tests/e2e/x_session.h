// x_session.h: the X display an end-to-end run looks at and types into: a private Xvfb (or the one a caller gives),
// the program's window found by its title, screenshots of the screen and key presses through XTest.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // 0xRRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A rectangle of screen pixels; right and bottom excluded.
struct Box {
  int left, top, right, bottom;
};

// The pixels of that colour in the box, the part of it outside the image left out.
int Count(const Image &image, uint32_t colour, Box box);

// Writes the image as a PNG; false when it cannot.
bool SavePng(const Image &image, const std::string &path);

class XSession {
public:
  XSession() = default;
  XSession(const XSession &) = delete;
  XSession &operator=(const XSession &) = delete;
  ~XSession();

  // Starts Xvfb on a free display number from kFirstDisplay on and connects to it. False with the reason in error().
  bool StartPrivate();
  static constexpr int kFirstDisplay = 100, kDisplaySpan = 800;
  // Connects to a display someone else runs (the DISPLAY of the Wine tests).
  bool Connect(const std::string &display);
  // ":N", for the DISPLAY of the programs the run starts.
  const std::string &name() const { return name_; }
  const std::string &error() const { return error_; }

  // The viewable top-level window whose title starts with the text, or 0.
  unsigned long FindWindow(const std::string &title_prefix);
  // Gives that window the keyboard focus and presses and releases the key (an X keysym name: "m", "3", ...).
  bool PressKey(const std::string &title_prefix, const std::string &key);
  // The screen's pixels in the rectangle from its top left corner.
  bool Grab(int width, int height, Image &image);

private:
  bool StartXvfb(int number);

  void *display_ = nullptr; // Display *
  pid_t xvfb_ = -1;
  std::string name_;
  std::string error_;
};
