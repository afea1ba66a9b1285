#pragma once

#include <string_view>

// The order people expect of file names, the same on every machine and under every locale:
// letters compared without regard to ASCII case, runs of digits by their value whatever their
// length ("pic2" before "pic10"), digits before letters. Names are bytes (they need not be UTF-8);
// bytes outside ASCII compare by value. Names equal by that rule are told apart by their runs of
// digits (fewer leading zeros first: "a0" before "a00"), then by plain byte order, so only
// identical names compare equal and a sort by it is the same on every run.
// Negative when a comes first, positive when b does, zero only when they are the same bytes.
int NaturalCompare(std::string_view a, std::string_view b);

inline bool NaturalLess(std::string_view a, std::string_view b) { return NaturalCompare(a, b) < 0; }
