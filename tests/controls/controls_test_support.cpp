#include "tests/controls/controls_test_support.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "controls/cards.h"
#include "controls/drawing.h"

// The globals the cards read, owned by the application in the program.
ResultCardState result_card_state;
SystemInfo system_info;
HFONT font_score, font_time, font_info_label, font_info_value;
std::vector<std::pair<WPARAM, LPARAM>> parent_commands;  // of the shared parent

namespace {

// GDI+, the card classes and the card fonts at 96 DPI, as the application sets them up.
ULONG_PTR gdiplus_token = 0;
struct ControlsEnvironment : testing::Environment {
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus_token, &input, nullptr), Gdiplus::Ok);
    register_card_class(GetModuleHandleW(nullptr), L"ResultCardClass", ResultCardProc);
    register_card_class(GetModuleHandleW(nullptr), L"SysInfoCardClass", SysInfoCardProc);
    font_score = create_font(kFontScoreSpec, 96);
    font_time = create_font(kFontTimeSpec, 96);
    font_info_label = create_font(kFontInfoLabelSpec, 96);
    font_info_value = create_font(kFontInfoValueSpec, 96);
    SetCursorPos(1270, 1010);  // a real pointer over a button would set its hover state
  }
  void TearDown() override {
    for (HFONT font : {font_score, font_time, font_info_label, font_info_value}) DeleteObject(font);
    Gdiplus::GdiplusShutdown(gdiplus_token);
  }
};
testing::Environment* const environment = testing::AddGlobalTestEnvironment(new ControlsEnvironment);

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COMMAND) return DefWindowProcW(window, message, wparam, lparam);
  parent_commands.emplace_back(wparam, lparam);
  return 0;
}

int live_gdiplus = 0;

}  // namespace

Rgb rgb_of_argb(uint32_t argb) {
  return {static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF), static_cast<int>(argb & 0xFF)};
}

bool close_to(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::ostream& operator<<(std::ostream& out, Rgb c) { return out << c.r << "," << c.g << "," << c.b; }

HWND test_parent() {
  static const HWND shared = [] {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = ParentProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = L"ControlsTestParent";
    RegisterClassW(&window_class);
    return CreateWindowExW(0, L"ControlsTestParent", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 480, 640,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }();
  return shared;
}


void destroy_children(HWND parent) {
  while (HWND child = GetWindow(parent, GW_CHILD)) DestroyWindow(child);
  pump_messages();
}

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
  info.bmiHeader = {static_cast<DWORD>(sizeof info.bmiHeader), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // top-down
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  pixels_ = static_cast<const uint32_t*>(bits);
  HDC screen = GetDC(window), memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap_);
  BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, screen);
}

Rgb Capture::at(int x, int y) const {
  if (pixels_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return {-1000, -1000, -1000};
  return rgb_of_argb(pixels_[static_cast<size_t>(y) * width_ + x]);
}

int live_gdi_objects() {
  if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(reported);
  // Wine reports 0, but its handle table accepts a bare 16-bit index: asking
  // every index for its object type finds every live object.
  int live = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index) live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  return live > 0 ? live : -1;
}

int live_gdiplus_objects() { return live_gdiplus; }

// Every GDI+ call that makes or deletes an object arrives here first (linked
// with --wrap) and goes on unchanged; a successful one moves the count.
using namespace Gdiplus;
#define COUNTED(name, change, params, args)  \
  GpStatus WINGDIPAPI __real_##name params;  \
  GpStatus WINGDIPAPI __wrap_##name params { \
    const GpStatus status = __real_##name args; \
    if (status == Ok) live_gdiplus += change;  \
    return status;                             \
  }
extern "C" {
COUNTED(GdipCreateSolidFill, 1, (ARGB c, GpSolidFill** o), (c, o))
COUNTED(GdipCreatePen1, 1, (ARGB c, REAL w, GpUnit u, GpPen** o), (c, w, u, o))
COUNTED(GdipCreateStringFormat, 1, (INT f, LANGID l, GpStringFormat** o), (f, l, o))
COUNTED(GdipCreateFontFromLogfontW, 1, (HDC dc, const LOGFONTW* f, GpFont** o), (dc, f, o))
COUNTED(GdipCreateFromHDC, 1, (HDC dc, GpGraphics** o), (dc, o))
COUNTED(GdipGetImageGraphicsContext, 1, (GpImage* i, GpGraphics** o), (i, o))
COUNTED(GdipCreateBitmapFromScan0, 1, (INT w, INT h, INT s, PixelFormat f, BYTE* b, GpBitmap** o), (w, h, s, f, b, o))
COUNTED(GdipDeleteBrush, -1, (GpBrush* o), (o))
COUNTED(GdipDeletePen, -1, (GpPen* o), (o))
COUNTED(GdipDeleteStringFormat, -1, (GpStringFormat* o), (o))
COUNTED(GdipDeleteFont, -1, (GpFont* o), (o))
COUNTED(GdipDeleteGraphics, -1, (GpGraphics* o), (o))
COUNTED(GdipDisposeImage, -1, (GpImage* o), (o))
}
