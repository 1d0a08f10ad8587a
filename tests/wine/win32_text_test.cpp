// The conversion to the system's ANSI code page, run under Wine for the code pages a customer's
// Windows may have: Western (1252), Japanese (932) and UTF-8 (65001, "Beta: UTF-8").
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "win32/text.h"

namespace {

struct Conversion {
  UINT code_page;
  std::wstring text;
  std::optional<std::string> bytes;  // nothing: refused
};

TEST(Win32Text, EachCodePageGetsExactlyTheTextsItCanHoldAndRefusesTheRest) {
  const std::array<Conversion, 13> cases{{
      {1252, L"C:\\Catalogo àèé\\Sorvanta.exe", "C:\\Catalogo \xE0\xE8\xE9\\Sorvanta.exe"},
      {1252, L"Каталог", std::nullopt},
      {1252, L"Ω", std::nullopt},  // best fit would give "O"
      {1252, L"∞", std::nullopt},  // and "8"
      {1252, L"a\xD800", std::nullopt},
      {932, L"カタログ", "\x83\x4A\x83\x5E\x83\x8D\x83\x4F"},
      {932, L"Ка", "\x84\x4B\x84\x70"},
      {932, L"à", std::nullopt},
      {65001, L"Каталог àè", "\xD0\x9A\xD0\xB0\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBE\xD0\xB3 \xC3\xA0\xC3\xA8"},
      {65001, L"\xD834\xDD1E", "\xF0\x9D\x84\x9E"},  // a pair of surrogates: one character
      {65001, std::wstring{L'a', L'\xD800', L'b'}, std::nullopt},
      {65001, L"\xDC00", std::nullopt},
      {65001, L"", ""},
  }};
  for (const auto& c : cases) {
    EXPECT_EQ(win32::detail::to_code_page(c.code_page, c.text), c.bytes)
        << c.code_page << " " << win32::to_utf8(c.text);
  }
}

}  // namespace
