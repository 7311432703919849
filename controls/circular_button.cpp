// The circular START button and progress ring.
//
// Ownership: the CircularButton record belongs to the owner of the control
// and is reached through the window's user-data slot. The record owns its
// cached offscreen bitmap (kept between paints, disposed of by
// release_bitmap); it does not own its font. Each paint owns the two GDI+
// surfaces it opens (on the bitmap and on the paint device context) and
// deletes them after EndPaint; each drawing step of the picture owns the
// pen, brush, font or string format it makes and deletes it before
// returning. Drawing failures are ignored: every step is attempted and the
// paint always ends with EndPaint.
#include "controls/circular_button.h"

#include <gdiplus.h>

#include <algorithm>

#include "controls/drawing.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr wchar_t kClassName[] = L"CircularButtonClass";
bool class_registered = false;

// Insets from the inscribed circle and pen widths. Unlike window lengths
// these are device pixels at every DPI: the owner scales the control's size.
constexpr REAL kDiscInset = 11;  // disc radius m - 11
constexpr REAL kFocusInset = 4;  // focus ring on radius m - 4
constexpr REAL kFocusWidth = 2;
constexpr REAL kTrackInset = 4.5f;  // track and arc centred on radius m - 4.5 ...
constexpr REAL kTrackWidth = 9;     // ... covering the outermost 9 pixels
constexpr REAL kArcStart = -90;     // twelve o'clock; positive sweeps run clockwise
constexpr REAL kBitmapDpi = 96;     // one bitmap pixel per device pixel
constexpr int kLabelSize = 256;     // characters of the label, terminator included

CircularButton* button_of(HWND window) {
  return reinterpret_cast<CircularButton*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void invalidate(HWND window) { InvalidateRect(window, nullptr, FALSE); }

void send_click(HWND window) {
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED), reinterpret_cast<LPARAM>(window));
}

bool is_press_key(WPARAM key) { return key == VK_SPACE || key == VK_RETURN; }

// ---- Picture ----------------------------------------------------------------

struct Geometry {
  REAL cx, cy, m;  // centre and radius of the inscribed circle
};

void fill_circle(GpGraphics* surface, const Geometry& g, REAL radius, ARGB colour) {
  GpSolidFill* brush = nullptr;
  if (GdipCreateSolidFill(colour, &brush) != Ok) return;
  GdipFillEllipse(surface, brush, g.cx - radius, g.cy - radius, 2 * radius, 2 * radius);
  GdipDeleteBrush(brush);
}

// A pen the caller deletes; null on failure.
GpPen* make_pen(ARGB colour, REAL width) {
  GpPen* pen = nullptr;
  if (GdipCreatePen1(colour, width, UnitWorld, &pen) != Ok) return nullptr;
  return pen;
}

GpPen* make_round_pen(ARGB colour, REAL width) {
  GpPen* pen = make_pen(colour, width);
  if (pen == nullptr) return nullptr;
  GdipSetPenStartCap(pen, LineCapRound);
  GdipSetPenEndCap(pen, LineCapRound);
  return pen;
}

void draw_focus_ring(GpGraphics* surface, const Geometry& g) {
  GpPen* pen = make_pen(kFocusRing, kFocusWidth);
  if (pen == nullptr) return;
  GdipSetPenDashStyle(pen, DashStyleDash);
  const REAL r = g.m - kFocusInset;
  GdipDrawEllipse(surface, pen, g.cx - r, g.cy - r, 2 * r, 2 * r);
  GdipDeletePen(pen);
}

void draw_progress(GpGraphics* surface, const Geometry& g, float progress) {
  const REAL r = g.m - kTrackInset;
  if (GpPen* track = make_round_pen(kProgressTrack, kTrackWidth)) {
    GdipDrawEllipse(surface, track, g.cx - r, g.cy - r, 2 * r, 2 * r);
    GdipDeletePen(track);
  }
  if (progress <= 0) return;
  if (GpPen* arc = make_round_pen(kProgressArc, kTrackWidth)) {
    GdipDrawArc(surface, arc, g.cx - r, g.cy - r, 2 * r, 2 * r, kArcStart, progress * 360);
    GdipDeletePen(arc);
  }
}

// The window text, centred in the whole control, in a GDI+ font made from
// the GDI font against the control's own device context.
void draw_label(GpGraphics* surface, HWND window, const CircularButton& button, int w, int h) {
  wchar_t text[kLabelSize];
  if (button.label != nullptr) {
    lstrcpynW(text, button.label, kLabelSize);
  } else {
    GetWindowTextW(window, text, kLabelSize);
  }
  HFONT font = button.font;
  LOGFONTW description;
  if (GetObjectW(font, sizeof description, &description) != sizeof description) return;
  GpFont* gdiplus_font = nullptr;
  HDC dc = GetDC(window);
  if (dc == nullptr) return;
  const GpStatus made = GdipCreateFontFromLogfontW(dc, &description, &gdiplus_font);
  ReleaseDC(window, dc);
  if (made != Ok) return;
  GpSolidFill* brush = nullptr;
  GpStringFormat* format = nullptr;
  if (GdipCreateSolidFill(kButtonLabel, &brush) == Ok && GdipCreateStringFormat(0, LANG_NEUTRAL, &format) == Ok) {
    GdipSetStringFormatAlign(format, StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format, StringAlignmentCenter);
    const RectF layout(0, 0, static_cast<REAL>(w), static_cast<REAL>(h));
    GdipDrawString(surface, text, -1, gdiplus_font, &layout, format, brush);
  }
  if (format != nullptr) GdipDeleteStringFormat(format);
  if (brush != nullptr) GdipDeleteBrush(brush);
  GdipDeleteFont(gdiplus_font);
}

ARGB disc_colour(const CircularButton& button, bool enabled) {
  if (!enabled) return kDiscDisabled;
  if (button.pressed) return kDiscPressed;
  if (button.hover) return kDiscHover;
  return kDiscEnabled;
}

void render(const CircularButton& button, HWND window, GpGraphics* surface, int w, int h) {
  const Geometry g = {static_cast<REAL>(w) / 2, static_cast<REAL>(h) / 2, static_cast<REAL>(std::min(w, h)) / 2};
  const bool enabled = IsWindowEnabled(window) != FALSE;
  // The window colour, opaque, so that the corners merge with the parent.
  const COLORREF background = GetSysColor(COLOR_WINDOW);
  GdipGraphicsClear(surface, 0xFF000000u | static_cast<ARGB>(GetRValue(background)) << 16 |
                                 static_cast<ARGB>(GetGValue(background)) << 8 | GetBValue(background));
  fill_circle(surface, g, g.m - kDiscInset, disc_colour(button, enabled));
  if (button.font != nullptr) draw_label(surface, window, button, w, h);
  if (enabled) {
    if (button.focused) draw_focus_ring(surface, g);
  } else {
    draw_progress(surface, g, button.progress);
  }
}

// ---- Message handlers -------------------------------------------------------

void on_paint(CircularButton* button, HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;

  if (button->bitmap != nullptr) {
    UINT width = 0;
    UINT height = 0;
    GdipGetImageWidth(button->bitmap, &width);
    GdipGetImageHeight(button->bitmap, &height);
    if (static_cast<int>(width) != w || static_cast<int>(height) != h) release_bitmap(button);
  }
  if (button->bitmap == nullptr) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap) == Ok) {
      GdipBitmapSetResolution(bitmap, kBitmapDpi, kBitmapDpi);
      button->bitmap = bitmap;
    }
  }

  GpGraphics* picture = nullptr;
  GpGraphics* screen = nullptr;
  if (button->bitmap != nullptr && GdipGetImageGraphicsContext(button->bitmap, &picture) == Ok) {
    GdipSetSmoothingMode(picture, SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(picture, TextRenderingHintAntiAlias);
    GdipSetPageUnit(picture, UnitPixel);
    GdipResetWorldTransform(picture);
    render(*button, window, picture, w, h);
  } else {
    picture = nullptr;
  }
  if (button->bitmap != nullptr && dc != nullptr && GdipCreateFromHDC(dc, &screen) == Ok) {
    GdipSetPageUnit(screen, UnitPixel);
    GdipResetWorldTransform(screen);
    GdipSetPageScale(screen, 1.0f);
    GdipDrawImageRectRectI(screen, button->bitmap, 0, 0, w, h, 0, 0, w, h, UnitPixel, nullptr, nullptr, nullptr);
  } else {
    screen = nullptr;
  }
  EndPaint(window, &paint);
  if (screen != nullptr) GdipDeleteGraphics(screen);
  if (picture != nullptr) GdipDeleteGraphics(picture);
}

LRESULT on_create(HWND window, LPARAM lparam) {
  const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  return DefWindowProcW(window, WM_CREATE, 0, lparam);
}

void on_focus(CircularButton* button, HWND window, bool focused) {
  button->focused = focused ? 1 : 0;
  invalidate(window);
}

void on_key_down(CircularButton* button, HWND window, WPARAM key) {
  if (!is_press_key(key) || !IsWindowEnabled(window)) return;
  button->pressed = 1;
  invalidate(window);
}

void on_key_up(CircularButton* button, HWND window, WPARAM key) {
  if (!is_press_key(key) || !IsWindowEnabled(window) || button->pressed != 1) return;
  button->pressed = 0;
  invalidate(window);
  send_click(window);
}

void on_mouse_move(CircularButton* button, HWND window) {
  if (!IsWindowEnabled(window) || button->hover) return;
  button->hover = 1;
  invalidate(window);
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = window;
  TrackMouseEvent(&track);
}

void on_mouse_leave(CircularButton* button, HWND window) {
  button->hover = 0;
  invalidate(window);
}

void on_button_down(CircularButton* button, HWND window) {
  if (!IsWindowEnabled(window)) return;
  button->pressed = 1;
  SetCapture(window);
  invalidate(window);
}

// Another window took the mouse (or the press ended by ReleaseCapture,
// after which pressed is already clear): no press survives it. A second
// SetCapture of this same window is no loss.
void on_capture_changed(CircularButton* button, HWND window, HWND taker) {
  if (button->pressed == 0 || taker == window) return;
  button->pressed = 0;
  invalidate(window);
}

void on_button_up(CircularButton* button, HWND window) {
  if (button->pressed != 1) return;
  button->pressed = 0;
  ReleaseCapture();
  invalidate(window);
  if (IsWindowEnabled(window)) send_click(window);
}

}  // namespace

HWND create(CircularButton* button, HWND parent, int x, int y, int size, int id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!class_registered) {
    WNDCLASSW window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = CircularButtonProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_HAND);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kClassName;
    if (RegisterClassW(&window_class) == 0) return nullptr;
    class_registered = true;
  }
  button->hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, size, size, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, button);
  return button->hwnd;
}

void set_progress(CircularButton* button, float value) {
  // Written so that NaN, for which every comparison is false, gives 0.
  float clamped = 0;
  if (value > 1) {
    clamped = 1;
  } else if (value > 0) {
    clamped = value;
  }
  button->progress = clamped;
  if (button->hwnd != nullptr) invalidate(button->hwnd);
}

void set_font(CircularButton* button, HFONT font) {
  button->font = font;
  if (button->hwnd != nullptr) invalidate(button->hwnd);
}

void set_label(CircularButton* button, const wchar_t* label) {
  button->label = label;
  if (button->hwnd != nullptr) invalidate(button->hwnd);
}

void release_bitmap(CircularButton* button) {
  if (button->bitmap == nullptr) return;
  GdipDisposeImage(button->bitmap);
  button->bitmap = nullptr;
}

// The owner's message loop runs IsDialogMessageW, which would turn Enter
// into an IDOK command for the owner before the button sees it: the button
// asks for its Enter key messages, like space, which dialogs leave alone.
static LRESULT on_get_dlg_code(HWND window, WPARAM wparam, LPARAM lparam) {
  const LRESULT code = DefWindowProcW(window, WM_GETDLGCODE, wparam, lparam);
  const MSG* msg = reinterpret_cast<const MSG*>(lparam);
  if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_RETURN)
    return code | DLGC_WANTMESSAGE;
  return code;
}

LRESULT CALLBACK CircularButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) return on_create(window, lparam);
  CircularButton* button = button_of(window);
  if (button == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_SIZE:
      release_bitmap(button);
      return 0;
    case WM_SETFOCUS:
      on_focus(button, window, true);
      return 0;
    case WM_KILLFOCUS:
      on_focus(button, window, false);
      return 0;
    case WM_ENABLE:
      invalidate(window);
      return 0;
    case WM_PAINT:
      on_paint(button, window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_KEYDOWN:
      on_key_down(button, window, wparam);
      return 0;
    case WM_KEYUP:
      on_key_up(button, window, wparam);
      return 0;
    case WM_MOUSEMOVE:
      on_mouse_move(button, window);
      return 0;
    case WM_LBUTTONDOWN:
      on_button_down(button, window);
      return 0;
    case WM_LBUTTONUP:
      on_button_up(button, window);
      return 0;
    case WM_MOUSELEAVE:
      on_mouse_leave(button, window);
      return 0;
    case WM_CAPTURECHANGED:
      on_capture_changed(button, window, reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_GETDLGCODE:
      return on_get_dlg_code(window, wparam, lparam);
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}
