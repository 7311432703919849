#include "tests/controls/controls_test_support.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "controls/cards.h"
#include "controls/drawing.h"

// The globals the cards read, owned by the application in the program.
ResultCardState result_card_state;
SystemInfo system_info;
HFONT font_score;
HFONT font_time;
HFONT font_info_label;
HFONT font_info_value;

namespace {

// GDI+ for the whole test program, the card classes and the card fonts at
// 96 DPI, as the application sets them up.
class ControlsEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    register_card_class(instance, L"ResultCardClass", ResultCardProc);
    register_card_class(instance, L"SysInfoCardClass", SysInfoCardProc);
    font_score = create_font(kFontScoreSpec, 96);
    font_time = create_font(kFontTimeSpec, 96);
    font_info_label = create_font(kFontInfoLabelSpec, 96);
    font_info_value = create_font(kFontInfoValueSpec, 96);
    // Keep the pointer away from the test windows: a real pointer over a
    // button would set its hover state.
    SetCursorPos(1270, 1010);
  }
  void TearDown() override {
    for (HFONT font : {font_score, font_time, font_info_label, font_info_value}) DeleteObject(font);
    Gdiplus::GdiplusShutdown(token_);
  }

 private:
  ULONG_PTR token_ = 0;
};
testing::Environment* const environment = testing::AddGlobalTestEnvironment(new ControlsEnvironment);

std::vector<Command> received;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) {
    received.push_back({wparam, lparam});
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

const wchar_t kParentClass[] = L"ControlsTestParent";

}  // namespace

Rgb rgb_of_argb(uint32_t argb) {
  return {static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF), static_cast<int>(argb & 0xFF)};
}

Rgb window_colour() {
  const COLORREF c = GetSysColor(COLOR_WINDOW);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool close_to(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

TestParent::TestParent() {
  static HWND shared = nullptr;
  if (shared == nullptr) {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = ParentProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kParentClass;
    RegisterClassW(&window_class);
    shared = CreateWindowExW(0, kParentClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 480, 640,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  hwnd_ = shared;
  received.clear();
}

TestParent::~TestParent() {
  while (HWND child = GetWindow(hwnd_, GW_CHILD)) DestroyWindow(child);
  pump_messages();
  received.clear();
}

const std::vector<Command>& TestParent::commands() const { return received; }
void TestParent::clear_commands() { received.clear(); }

void pump_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void paint_now(HWND window) {
  pump_messages();
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool needs_paint(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }

Capture::Capture(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  width_ = client.right;
  height_ = client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  pixels_ = static_cast<const uint32_t*>(bits);
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap_);
  BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, screen);
}

Capture::~Capture() { DeleteObject(bitmap_); }

Rgb Capture::at(int x, int y) const {
  if (pixels_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return {-1000, -1000, -1000};
  return rgb_of_argb(pixels_[static_cast<size_t>(y) * width_ + x]);
}

int Capture::count(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += close_to(at(x, y), colour, tolerance) ? 1 : 0;
  }
  return n;
}

int live_gdi_objects() {
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported != 0) return static_cast<int>(reported);
  // Wine reports 0. Its handle table accepts a handle's 16-bit index without
  // the generation bits, so asking every index for its object type finds
  // every live object of the process.
  int live = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index) {
    live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0 ? 1 : 0;
  }
  return live > 0 ? live : -1;
}
