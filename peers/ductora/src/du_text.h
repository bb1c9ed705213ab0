// Strict readers and writers of the small texts Ductora exchanges: handles, numbers,
// points, hexadecimal bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "du_project.h"

// A drawing handle: 1 to 16 hexadecimal digits, not all zero. Gives the upper-case text
// without leading zeros; false otherwise.
bool du_normalize_handle(const std::string& text, std::string& handle);
// Whole text a finite decimal number (blanks around allowed).
bool du_parse_double(const std::string& text, double& value);
// Whole text a decimal integer within int range (blanks around allowed).
bool du_parse_int(const std::string& text, int& value);
// Exactly `count` finite numbers separated by blanks.
bool du_parse_numbers(const std::string& text, size_t count, std::vector<double>& values);
bool du_parse_vec(const std::string& text, DuVec& v);
// Pairs of hexadecimal digits (either case) appended to bytes; false on an odd length
// or a character that is not a digit (bytes unchanged then).
bool du_parse_hex(const std::string& text, std::vector<uint8_t>& bytes);
// The same into text.size() / 2 bytes at out, written only when every digit is good.
bool du_parse_hex_into(const std::string& text, uint8_t* out);
// Appends the bytes as hexadecimal digits, two a byte, upper case.
void du_append_hex(std::string& out, const std::vector<uint8_t>& bytes);

// The text is well-formed UTF-8 (no overlong forms, surrogates or cut sequences).
bool du_valid_utf8(const std::string& text);

// Numbers as Ductora shows them: integers without decimals, others with up to 15 digits.
std::string du_format_number(double value);
// Round-trip text of a double (17 significant digits).
std::string du_format_exact(double value);
std::string du_format_vec(const DuVec& v);
// Whole text a finite number within [lo, hi] (false for anything else, the value untouched).
bool du_parse_ranged(const std::string& text, double lo, double hi, double& value);
