// The resources built into Morlant.exe, in language 1033, read from the
// program file as data.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/resource_ids.h"

#define MORLANT_WIDEN2(text) L##text
#define MORLANT_WIDEN(text) MORLANT_WIDEN2(text)

namespace {

constexpr WORD kEnglishUnitedStates = 1033;

class AppResources : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    program = LoadLibraryExW(MORLANT_WIDEN(MORLANT_EXE_PATH), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  static void TearDownTestSuite() { FreeLibrary(program); }
  void SetUp() override { ASSERT_NE(program, nullptr) << "cannot open " MORLANT_EXE_PATH; }

  // The bytes of a resource in language 1033 (empty when there is none).
  static std::vector<unsigned char> bytes(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceExW(program, type, name, kEnglishUnitedStates);
    if (found == nullptr) return {};
    auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(program, found)));
    return std::vector<unsigned char>(data, data + SizeofResource(program, found));
  }
  static HMODULE program;
};
HMODULE AppResources::program = nullptr;

// Reads a dialog template field by field.
struct Reader {
  const std::vector<unsigned char>& data;
  size_t at = 0;
  template <typename T>
  T next() {
    T value{};
    std::memcpy(&value, data.data() + at, sizeof value);
    at += sizeof value;
    return value;
  }
  // A string, or an ordinal written as "#n".
  std::wstring text() {
    if (next<WORD>() == 0xFFFF) return L"#" + std::to_wstring(next<WORD>());
    at -= 2;
    std::wstring s;
    for (WORD c; (c = next<WORD>()) != 0;) s.push_back(static_cast<wchar_t>(c));
    return s;
  }
};

// The items themselves are read back from the live dialog by its own tests.
TEST_F(AppResources, AboutDialogTemplate) {
  const auto data = bytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT));
  ASSERT_FALSE(data.empty());
  Reader r{data};
  EXPECT_EQ(r.next<DWORD>(), 0xFFFF0001u);  // extended template
  r.next<DWORD>();                         // help identifier
  EXPECT_EQ(r.next<DWORD>(), 0u);          // no extended style
  EXPECT_EQ(r.next<DWORD>(), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER));
  EXPECT_EQ(r.next<WORD>(), 6);  // items
  r.at += 4;
  EXPECT_EQ(r.next<short>(), 230);
  EXPECT_EQ(r.next<short>(), 100);
  EXPECT_EQ(r.text(), L"");  // no menu
  EXPECT_EQ(r.text(), L"");  // default dialog class
  EXPECT_EQ(r.text(), L"About Morlant");
  EXPECT_EQ(r.next<WORD>(), 9);       // points
  EXPECT_EQ(r.next<DWORD>(), 0x1000000u);  // weight 0, not italic, DEFAULT_CHARSET
  EXPECT_EQ(r.text(), L"Segoe UI");
}

// One uncompressed 32-bit image for every size Windows picks at the usual
// DPIs, and the window's icons loaded at the size of its DPI.
TEST_F(AppResources, ApplicationIconHasAnUncompressedBitmapForEverySizeAndTheMenuPictureIsThere) {
  const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
  const auto group = bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
  ASSERT_EQ(group.size(), 6u + 14u * 8u);
  Reader r{group};
  EXPECT_EQ(r.next<DWORD>(), 0x10000u);  // icon
  EXPECT_EQ(r.next<WORD>(), 8);          // images
  for (int side : sizes) {
    EXPECT_EQ(r.next<BYTE>(), side % 256) << side;  // 0 means 256
    r.at += 3;
    r.at += 2;                      // planes
    EXPECT_EQ(r.next<WORD>(), 32);  // bits per pixel
    const DWORD size = r.next<DWORD>();
    const WORD image_id = r.next<WORD>();
    const auto image = bytes(RT_ICON, MAKEINTRESOURCEW(image_id));
    ASSERT_EQ(image.size(), size);
    BITMAPINFOHEADER header;
    ASSERT_GE(image.size(), sizeof header);
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);  // not a PNG
    EXPECT_TRUE(header.biWidth == side && header.biHeight == 2 * side) << side;  // colour bitmap and mask
    EXPECT_TRUE(header.biBitCount == 32 && header.biCompression == BI_RGB);
    const unsigned mask_row = (static_cast<unsigned>(side) + 31) / 32 * 4;
    EXPECT_EQ(image.size(), 40u + side * side * 4u + side * mask_row) << side;
  }
  EXPECT_FALSE(bytes(RT_RCDATA, MAKEINTRESOURCEW(IDR_MENU_PNG)).empty()) << "menu icon picture not in language 1033";
}

std::wstring version_string(const std::vector<unsigned char>& block, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr) return L"(missing)";
  return static_cast<const wchar_t*>(value);
}

TEST_F(AppResources, VersionInformation) {
  const std::wstring path = MORLANT_WIDEN(MORLANT_EXE_PATH);
  DWORD ignored = 0;
  std::vector<unsigned char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_TRUE(fixed->dwFileVersionMS == 0x00010000u && fixed->dwFileVersionLS == 0u);
  EXPECT_TRUE(fixed->dwProductVersionMS == 0x00010000u && fixed->dwProductVersionLS == 0u);
  EXPECT_TRUE(fixed->dwFileOS == 0x40004u && fixed->dwFileType == 1u && fixed->dwFileFlags == 0u);

  const wchar_t* const strings[][2] = {{L"FileDescription", L"Morlant - Pi Calculation Benchmark"},
                                       {L"FileVersion", L"1.0.0"},       {L"InternalName", L"Morlant"},
                                       {L"OriginalFilename", L"Morlant.exe"}, {L"ProductName", L"Morlant"},
                                       {L"ProductVersion", L"1.0.0"}};
  for (const auto& entry : strings) EXPECT_EQ(version_string(block, entry[0]), entry[1]);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_TRUE(translation[0] == 0x0409 && translation[1] == 0x04B0);
  EXPECT_FALSE(bytes(RT_VERSION, MAKEINTRESOURCEW(1)).empty()) << "version block not in language 1033";
}

TEST_F(AppResources, ManifestDeclaresPerMonitorDpiCommonControlsAndSupportedSystems) {
  const auto raw = bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(raw.empty());
  const std::string manifest(raw.begin(), raw.end());
  for (const char* part : {
           R"(level="asInvoker")", R"(uiAccess="false")",
           R"(<assemblyIdentity version="1.0.0.0" processorArchitecture="*" name="Win32App" type="win32"/>)",
           "<description>Win32 Application</description>", R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           R"(publicKeyToken="6595b64144ccf1df" language="*")",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">true/pm</dpiAware>",
           ">PerMonitorV2</dpiAwareness>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

}  // namespace
