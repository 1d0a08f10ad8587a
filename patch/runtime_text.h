#pragma once
// The few text functions of the original runtime that the installer's logic relies on, with their
// exact behaviour (which characters Trim removes, how CInt rounds, ...). Strings are UTF-8.
#include <cstdint>
#include <string>

namespace ludrimex {

// Trim: removes leading and trailing spaces (0x20) only.
std::string trim_spaces(const std::string& text);

// LCase restricted to ASCII letters: enough to compare against the installer's ASCII literals.
std::string lower_ascii(std::string text);

// Replace: every non-overlapping occurrence of `from`, scanning left to right, case-sensitive.
std::string replace_all(const std::string& text, const std::string& from, const std::string& to);

// Len: the number of characters (not bytes) of a UTF-8 text.
std::size_t length_in_characters(const std::string& text);

// Removes the last character (a whole UTF-8 sequence). `text` must not be empty.
void drop_last_character(std::string& text);

// CInt of a text: an optionally signed decimal number with an optional fraction and exponent,
// rounded half to even. Throws RunError 13 when it is not a number, 6 when it does not fit 16 bits;
// `subject` names the file the text came from.
std::int16_t to_integer16(const std::string& text, const std::string& subject);

}  // namespace ludrimex
