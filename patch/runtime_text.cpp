#include "patch/runtime_text.h"

#include <algorithm>

#include "patch/errors.h"

namespace ludrimex {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// A decimal number split into its significant digits and the position of the point among them.
struct Decimal {
  bool negative = false;
  std::string digits;
  long long point = 0;  // digits before the decimal point; may be negative or exceed digits.size()
};

// Parses [+|-] digits [. digits] [e|E [+|-] digits], needing at least one mantissa digit.
bool parse_decimal(const std::string& text, Decimal& number) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  bool any_digit = false;
  for (; i < text.size() && is_digit(text[i]); ++i, any_digit = true) number.digits += text[i];
  number.point = static_cast<long long>(number.digits.size());
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && is_digit(text[i]); ++i, any_digit = true) number.digits += text[i];
  }
  if (!any_digit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    bool negative_exponent = false;
    if (++i < text.size() && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
    if (i == text.size() || !is_digit(text[i])) return false;
    long long exponent = 0;
    // Beyond a million the value is zero or an overflow either way.
    for (; i < text.size() && is_digit(text[i]); ++i)
      exponent = std::min(exponent * 10 + (text[i] - '0'), 1'000'000LL);
    number.point += negative_exponent ? -exponent : exponent;
  }
  return i == text.size();
}

}  // namespace

std::string trim_spaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lower_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string replace_all(const std::string& text, const std::string& from, const std::string& to) {
  std::string result;
  std::size_t pos = 0;
  for (auto hit = text.find(from); hit != std::string::npos; hit = text.find(from, pos)) {
    result.append(text, pos, hit - pos).append(to);
    pos = hit + from.size();
  }
  return result.append(text, pos);
}

std::size_t length_in_characters(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // every byte but a continuation starts one
  }));
}

void drop_last_character(std::string& text) {
  std::size_t size = text.size() - 1;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  text.resize(size);
}

std::int16_t to_integer16(const std::string& text, const std::string& subject) {
  Decimal number;
  if (!parse_decimal(text, number)) throw RunError(kTypeMismatch, subject);
  const auto leading_zeros = std::min(number.digits.find_first_not_of('0'), number.digits.size());
  number.digits.erase(0, leading_zeros);
  number.point -= static_cast<long long>(leading_zeros);
  if (number.digits.empty()) return 0;
  // The first digit is not zero, so six or more digits before the point are out of range.
  if (number.point > 6) throw RunError(kOverflow, subject);

  long value = 0;
  for (long long k = 0; k < number.point; ++k) {
    const auto index = static_cast<std::size_t>(k);
    value = value * 10 + (index < number.digits.size() ? number.digits[index] - '0' : 0);
  }
  if (number.point >= 0 && static_cast<std::size_t>(number.point) < number.digits.size()) {
    const auto first = static_cast<std::size_t>(number.point);
    const char half = number.digits[first];
    const bool beyond_half = number.digits.find_first_not_of('0', first + 1) != std::string::npos;
    if (half > '5' || (half == '5' && (beyond_half || value % 2 != 0))) ++value;
  }
  if (number.negative) value = -value;
  if (value < -32768 || value > 32767) throw RunError(kOverflow, subject);
  return static_cast<std::int16_t>(value);
}

}  // namespace ludrimex
