#include "app/menu_icon.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <string>

#include "app/resource_ids.h"

namespace {

void write_to_debugger(const wchar_t* line) { OutputDebugStringW((std::wstring(line) + L"\n").c_str()); }

// The PNG bytes of the resource, copied into movable global memory and
// wrapped in a stream that frees that memory when it is released. Null (and
// one diagnostic line) on failure.
IStream* open_png_resource(HMODULE module) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_MENU_PNG), RT_RCDATA);
  if (found == nullptr) {
    diagnostic_line_sink(L"Warning: Could not find PNG resource");
    return nullptr;
  }
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) {
    diagnostic_line_sink(L"Warning: Could not load PNG resource");
    return nullptr;
  }
  const DWORD bytes = SizeofResource(module, found);
  const void* data = LockResource(loaded);
  if (data == nullptr || bytes == 0) {
    diagnostic_line_sink(L"Warning: Could not lock PNG resource");
    return nullptr;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) {
    diagnostic_line_sink(L"Warning: Could not allocate memory for PNG stream");
    return nullptr;
  }
  void* buffer = GlobalLock(memory);
  if (buffer == nullptr) {
    GlobalFree(memory);
    diagnostic_line_sink(L"Warning: Could not lock PNG buffer");
    return nullptr;
  }
  std::memcpy(buffer, data, bytes);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)) || stream == nullptr) {
    GlobalFree(memory);
    diagnostic_line_sink(L"Warning: Could not create stream for PNG");
    return nullptr;
  }
  return stream;
}

// `decoded` stretched onto a new size x size ARGB bitmap; deletes `decoded`.
Gdiplus::Bitmap* scale_bitmap(Gdiplus::Bitmap* decoded, int size) {
  auto* scaled = new Gdiplus::Bitmap(size, size, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics graphics(scaled);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.DrawImage(decoded, 0, 0, size, size);
  }
  delete decoded;
  return scaled;
}

}  // namespace

DiagnosticLineSink diagnostic_line_sink = write_to_debugger;

HICON load_menu_icon_picture(HMODULE module, int size) {
  IStream* stream = open_png_resource(module);
  if (stream == nullptr) return nullptr;

  // The bitmap keeps its own reference to the stream while it needs it.
  Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromStream(stream);
  stream->Release();
  if (bitmap == nullptr || bitmap->GetLastStatus() != Gdiplus::Ok) {
    delete bitmap;
    diagnostic_line_sink(L"Warning: Could not create bitmap from PNG stream");
    return nullptr;
  }
  if (static_cast<int>(bitmap->GetWidth()) != size || static_cast<int>(bitmap->GetHeight()) != size)
    bitmap = scale_bitmap(bitmap, size);

  HICON icon = nullptr;
  const Gdiplus::Status converted = bitmap->GetHICON(&icon);
  delete bitmap;
  if (converted != Gdiplus::Ok || icon == nullptr) {
    diagnostic_line_sink(L"Warning: Could not convert PNG bitmap to HICON");
    return nullptr;
  }
  diagnostic_line_sink(L"Successfully loaded PNG icon from resource");
  return icon;
}

void install_menu_icon_picture(HWND control, HMODULE module, int size) {
  HICON icon = load_menu_icon_picture(module, size);
  if (icon == nullptr) return;
  auto previous = reinterpret_cast<HICON>(SendMessageW(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
  if (previous != nullptr && previous != icon) DestroyIcon(previous);
}
