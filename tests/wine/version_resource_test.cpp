// The programs' resources as Windows reads them: the Italian version information, the manifest and
// the icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/wine_support.h"
#include "win32/scoped.h"

namespace {

using namespace wine_test;

struct Program {
  const char* path;
  const wchar_t* name;  // ProductName and InternalName
  const wchar_t* file;  // OriginalFilename
};

class VersionResourceTest : public ::testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    const fs::path program = built(GetParam().path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version information";
    info.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, info.data()));
  }

  std::wstring string_value(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = L"\\StringFileInfo\\041004E4\\" + name;
    if (!::VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return L"(missing)";
    return static_cast<const wchar_t*>(value);
  }

  std::vector<unsigned char> info;
};

TEST_P(VersionResourceTest, IsItalianWithTheProgramsNamesAndVersion) {
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, sizeof(Translation));
  EXPECT_EQ(translation->language, 0x0410);
  EXPECT_EQ(translation->code_page, 1252);

  EXPECT_EQ(string_value(L"ProductName"), GetParam().name);
  EXPECT_EQ(string_value(L"InternalName"), GetParam().name);
  EXPECT_EQ(string_value(L"OriginalFilename"), GetParam().file);
  EXPECT_EQ(string_value(L"FileVersion"), L"1.00");
  EXPECT_EQ(string_value(L"ProductVersion"), L"1.00");

  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
}

TEST_P(VersionResourceTest, CarriesTheManifestAndTheIcon) {
  const fs::path program = built(GetParam().path);
  const win32::Library module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);
  const HRSRC manifest = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const auto* text = static_cast<const char*>(::LockResource(::LoadResource(module.get(), manifest)));
  const std::string xml(text, ::SizeofResource(module.get(), manifest));
  EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
  // Measured at the screen's real resolution, so that Windows does not blur it by stretching.
  EXPECT_NE(
      xml.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
      std::string::npos);

  // The catalogue's icon, 256 colours (8 bits a pixel) at every size Windows asks for, 64 x 64 too.
  const HRSRC group =
      ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(module.get(), group)));
  const auto word = [&](std::size_t at) { return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8); };
  const std::vector<int> sizes{16, 24, 32, 48, 64};
  ASSERT_GE(::SizeofResource(module.get(), group), 6u + 14u * sizes.size());
  ASSERT_EQ(word(4), sizes.size());  // images in the group
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::size_t entry = 6 + 14 * i;
    EXPECT_EQ(bytes[entry], sizes[i]);      // width
    EXPECT_EQ(bytes[entry + 1], sizes[i]);  // height
    EXPECT_EQ(word(entry + 6), 8u);         // bits a pixel
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, VersionResourceTest,
                         ::testing::Values(Program{LUDRIMEX_EXE, L"Ludrimex", L"Ludrimex.exe"},
                                           Program{SORVANTA_EXE, L"Sorvanta", L"Sorvanta.exe"}),
                         [](const auto& param_info) { return utf8(param_info.param.name); });

}  // namespace
