// Control tests' set-up: GDI+, the globals the cards read, a shared parent
// window that records WM_COMMAND, pixel read-back and live object counts.
#ifndef MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H
#define MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

struct Rgb { int r, g, b; };
Rgb rgb_of_argb(uint32_t argb);
bool close_to(Rgb a, Rgb b, int tolerance = 6);  // per channel: anti-aliasing moves edges
std::ostream& operator<<(std::ostream& out, Rgb c);

// A visible borderless top-level window for the whole program: under Wine
// without a window manager, hiding or destroying a mapped top-level window
// waits 2 s, while the end of the process removes it at once.
HWND test_parent();
extern std::vector<std::pair<WPARAM, LPARAM>> parent_commands;  // each WM_COMMAND it received
void destroy_children(HWND parent);

void pump_messages();
void paint_now(HWND window);  // paints every invalid part of it and its children
bool needs_paint(HWND window);

// The client area of a window as it is on the screen.
class Capture {
 public:
  explicit Capture(HWND window);
  ~Capture() { DeleteObject(bitmap_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  int width() const { return width_; }
  Rgb at(int x, int y) const;

 private:
  int width_ = 0, height_ = 0;
  HBITMAP bitmap_ = nullptr;
  const uint32_t* pixels_ = nullptr;
};

int live_gdi_objects();      // of this process; -1 when it cannot be known
int live_gdiplus_objects();  // made and not deleted, counted through --wrap (CMakeLists.txt)

#endif  // MORLANT_TESTS_CONTROLS_CONTROLS_TEST_SUPPORT_H
