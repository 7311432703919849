// Counts the GDI+ objects alive in the process. The test executable is
// linked with --wrap for every GDI+ function that makes or deletes an object
// (CMakeLists.txt), so each such call arrives here first and goes on to
// GDI+ unchanged; a successful one moves the count.

#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>

#include "tests/controls/controls_test_support.h"

using namespace Gdiplus;

namespace {
int live = 0;
}

int live_gdiplus_objects() { return live; }

#define COUNTED(name, change, params, args)                    \
  GpStatus WINGDIPAPI __real_##name params;                    \
  GpStatus WINGDIPAPI __wrap_##name params {                   \
    const GpStatus status = __real_##name args;                \
    if (status == Ok) live += change;                          \
    return status;                                             \
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
