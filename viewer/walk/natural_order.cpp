#include "natural_order.h"

#include <cstddef>

namespace {

// Character classes by hand: the <cctype> functions follow the locale.
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
unsigned char FoldCase(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int Sign(int value) { return (value > 0) - (value < 0); }

// The end of the run of digits that starts at `begin`.
std::size_t DigitsEnd(std::string_view name, std::size_t begin) {
  while (begin < name.size() && IsDigit(static_cast<unsigned char>(name[begin]))) ++begin;
  return begin;
}

std::size_t FirstNonZero(std::string_view name, std::size_t begin, std::size_t end) {
  while (begin < end && name[begin] == '0') ++begin;
  return begin;
}

}  // namespace

int NaturalCompare(std::string_view a, std::string_view b) {
  // The first difference in the digits' leading zeros, used when nothing else tells them apart.
  int zerosOrder = 0;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    if (IsDigit(ca) && IsDigit(cb)) {
      const std::size_t endA = DigitsEnd(a, i), endB = DigitsEnd(b, j);
      const std::size_t valueA = FirstNonZero(a, i, endA), valueB = FirstNonZero(b, j, endB);
      // Without leading zeros, the longer run is the larger number; runs of equal length compare
      // digit by digit. No conversion, so no run is too long.
      const std::size_t lengthA = endA - valueA, lengthB = endB - valueB;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      const int digits = a.substr(valueA, lengthA).compare(b.substr(valueB, lengthB));
      if (digits != 0) return Sign(digits);
      if (zerosOrder == 0 && endA - i != endB - j) zerosOrder = endA - i < endB - j ? -1 : 1;
      i = endA;
      j = endB;
      continue;
    }
    // A digit against a non-digit compares as the characters do: digits come before letters.
    const unsigned char fa = FoldCase(ca), fb = FoldCase(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;  // b is a prefix of a, as far as the rule sees
  if (j < b.size()) return -1;
  if (zerosOrder != 0) return zerosOrder;
  return Sign(a.compare(b));
}
