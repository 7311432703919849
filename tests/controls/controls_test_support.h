// Shared set-up of the control tests: GDI+, the globals the cards read, a
// visible top-level parent window that records the commands it receives,
// pixel read-back of a painted window and a count of live GDI objects.
#ifndef MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H
#define MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <vector>

struct Rgb {
  int r, g, b;
};
Rgb rgb_of_argb(uint32_t argb);
Rgb window_colour();  // GetSysColor(COLOR_WINDOW)
// Equal within `tolerance` per channel (anti-aliasing moves edges a little).
bool close_to(Rgb a, Rgb b, int tolerance = 6);

// A WM_COMMAND as the parent's window procedure received it.
struct Command {
  WPARAM wparam;
  LPARAM lparam;
};

// A visible, borderless top-level window at a fixed place on the screen
// whose procedure records WM_COMMAND. One window serves the whole test
// program and outlives the objects: under Wine without a window manager,
// hiding or destroying a mapped top-level window waits 2 s for a
// notification that never comes, while the end of the process removes it at
// once. The object starts with no commands recorded and destroys the child
// windows left when it goes.
class TestParent {
 public:
  TestParent();
  ~TestParent();
  TestParent(const TestParent&) = delete;
  TestParent& operator=(const TestParent&) = delete;
  HWND hwnd() const { return hwnd_; }
  const std::vector<Command>& commands() const;
  void clear_commands();

 private:
  HWND hwnd_;
};

// Dispatches every queued message of this thread.
void pump_messages();
// Paints every invalid part of the window and its children now.
void paint_now(HWND window);
// True when part of the window waits to be painted.
bool needs_paint(HWND window);

// The client area of a window as it is on the screen after its last paint.
class Capture {
 public:
  explicit Capture(HWND window);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb at(int x, int y) const;
  // Pixels of the rectangle [x0, x1) x [y0, y1) within `tolerance` of colour.
  int count(int x0, int y0, int x1, int y1, Rgb colour, int tolerance = 6) const;

 private:
  int width_ = 0;
  int height_ = 0;
  HBITMAP bitmap_ = nullptr;
  const uint32_t* pixels_ = nullptr;
};

// Number of live GDI objects of this process, or -1 when it cannot be known.
int live_gdi_objects();
// Number of GDI+ objects (surfaces, bitmaps, fonts, brushes, pens, string
// formats) made and not yet deleted, counted at the flat interface
// (gdiplus_counting.cpp).
int live_gdiplus_objects();

#endif  // MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H
