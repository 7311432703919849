// The resources built into Morlant.exe, in language 1033, read from the
// program file as data. (The About dialog's template is read back from the
// live dialog by its own tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

// The bytes of a resource of Morlant.exe in language 1033, English (United
// States); empty when there is none.
std::vector<unsigned char> bytes(LPCWSTR type, LPCWSTR name) {
  static const HMODULE program = LoadLibraryExW(MORLANT_WIDEN(MORLANT_EXE_PATH), nullptr,
                                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HRSRC found = program != nullptr ? FindResourceExW(program, type, name, 1033) : nullptr;
  if (found == nullptr) return {};
  auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(program, found)));
  return std::vector<unsigned char>(data, data + SizeofResource(program, found));
}

#pragma pack(push, 1)
struct IconGroupEntry { BYTE width, height, colours, reserved; WORD planes, bits; DWORD bytes; WORD id; };
#pragma pack(pop)

// One uncompressed 32-bit image for every size Windows picks at the usual
// DPIs, and the menu icon's picture.
TEST(AppResources, ApplicationIconHasAnUncompressedBitmapForEverySizeAndTheMenuPictureIsThere) {
  const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
  const auto group = bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
  ASSERT_EQ(group.size(), 6u + 14u * 8u);
  EXPECT_EQ(std::vector<unsigned char>(group.begin(), group.begin() + 6), (std::vector<unsigned char>{0, 0, 1, 0, 8, 0}));
  for (int i = 0; i < 8; ++i) {
    const int side = sizes[i];
    IconGroupEntry entry;
    std::memcpy(&entry, group.data() + 6 + 14 * i, sizeof entry);
    EXPECT_TRUE(entry.width == side % 256 && entry.bits == 32) << side;  // 0 means 256
    const auto image = bytes(RT_ICON, MAKEINTRESOURCEW(entry.id));
    BITMAPINFOHEADER header;
    ASSERT_GE(image.size(), sizeof header);
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u) << "not a bitmap (a PNG?): " << side;
    EXPECT_TRUE(header.biWidth == side && header.biHeight == 2 * side) << side;  // colour bitmap and mask
    EXPECT_TRUE(header.biBitCount == 32 && header.biCompression == BI_RGB);
    const unsigned mask_row = (static_cast<unsigned>(side) + 31) / 32 * 4;
    EXPECT_TRUE(image.size() == entry.bytes && image.size() == 40u + side * side * 4u + side * mask_row) << side;
  }
  const auto png = bytes(RT_RCDATA, MAKEINTRESOURCEW(IDR_MENU_PNG));
  EXPECT_EQ(std::string(png.begin(), png.begin() + std::min<size_t>(8, png.size())), "\x89PNG\r\n\x1a\n")
      << "the menu icon's picture: a PNG, in language 1033";
}

TEST(AppResources, VersionInformation) {
  EXPECT_FALSE(bytes(RT_VERSION, MAKEINTRESOURCEW(1)).empty()) << "version block not in language 1033";
  const std::wstring path = MORLANT_WIDEN(MORLANT_EXE_PATH);
  DWORD ignored = 0;
  std::vector<unsigned char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  UINT length = 0;
  const auto value = [&](const std::wstring& key) -> void* {
    void* found = nullptr;
    return VerQueryValueW(block.data(), key.c_str(), &found, &length) ? found : nullptr;
  };
  const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value(L"\\"));
  ASSERT_NE(fixed, nullptr);
  EXPECT_TRUE(fixed->dwFileVersionMS == 0x00010000u && fixed->dwFileVersionLS == 0u);
  EXPECT_TRUE(fixed->dwProductVersionMS == 0x00010000u && fixed->dwProductVersionLS == 0u);
  EXPECT_TRUE(fixed->dwFileOS == 0x40004u && fixed->dwFileType == 1u && fixed->dwFileFlags == 0u);
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"FileDescription", L"Morlant - Pi Calculation Benchmark"}, {L"FileVersion", L"1.0.0"},
      {L"InternalName", L"Morlant"}, {L"OriginalFilename", L"Morlant.exe"}, {L"ProductName", L"Morlant"},
      {L"ProductVersion", L"1.0.0"}};
  for (const auto& [key, want] : strings) {
    const auto* text = static_cast<const wchar_t*>(value(std::wstring(L"\\StringFileInfo\\040904b0\\") + key));
    EXPECT_EQ(std::wstring(text != nullptr ? text : L"(missing)"), want) << key;
  }
  const auto* translation = static_cast<const WORD*>(value(L"\\VarFileInfo\\Translation"));
  EXPECT_TRUE(translation != nullptr && length == 4u && translation[0] == 0x0409 && translation[1] == 0x04B0);
}

TEST(AppResources, ManifestDeclaresPerMonitorDpiCommonControlsAndSupportedSystems) {
  const auto raw = bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(raw.empty());
  const std::string manifest(raw.begin(), raw.end());
  for (const char* part : {
           R"(level="asInvoker")", R"(uiAccess="false")",
           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           R"(publicKeyToken="6595b64144ccf1df" language="*")",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">true/pm</dpiAware>",
           ">PerMonitorV2</dpiAwareness>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

}  // namespace
