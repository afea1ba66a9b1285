#include "natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <random>
#include <string>
#include <vector>

namespace {

struct OrderedPair {
  std::string first, second;
};

// Each pair in the order it must sort.
const OrderedPair kPairs[] = {
    {"pic2.rgb", "pic10.rgb"},
    {"b2.rgb", "B3.rgb"},
    {"B3.rgb", "b9.rgb"},
    {"shot.0009.rgb", "shot.0010.rgb"},
    {"shot.9.rgb", "shot.10.rgb"},
    {"shot.0001.rgb", "shot.2.rgb"},
    {"1.rgb", "a.rgb"},       // digits before letters
    {"x9", "xa"},             // also inside a name
    {"a0", "a00"},            // same value: fewer leading zeros first
    {"a00", "a1"},            // ...but the value decides before the zeros do
    {"a01b", "a1c"},          // ...and so does the rest of the name
    {"B3.rgb", "b3.rgb"},     // equal but for case: byte order, upper case first
    {"Apple", "banana"},      // case does not decide between different letters
    {"_x", "a"},              // folded to lower case, so '_' comes before the letters
    {"pic", "pic1"},          // a prefix first
    {"pic.rgb", "pic1.rgb"},  // '.' comes before the digits
    {"99999999999999999999999999999", "100000000000000000000000000000"},
    {"n18446744073709551616", "n18446744073709551617"},  // past 64 bits, one apart
    {"caf\xc3\xa9", "caf\xc3\xa9s"},
    {"z.rgb", "\xc3\xa9t\xc3\xa9.rgb"},  // bytes past ASCII after it, as their values
    {"\xe9t\xe9", "\xe9t\xe9s"},         // not UTF-8: still bytes
};

TEST(NaturalOrder, PairsCompareBothWaysAndOnlyEqualToThemselves) {
  for (const OrderedPair& pair : kPairs) {
    SCOPED_TRACE(pair.first + " < " + pair.second);
    EXPECT_LT(NaturalCompare(pair.first, pair.second), 0);
    EXPECT_GT(NaturalCompare(pair.second, pair.first), 0);
    EXPECT_EQ(NaturalCompare(pair.first, pair.first), 0);
    EXPECT_TRUE(NaturalLess(pair.first, pair.second));
    EXPECT_FALSE(NaturalLess(pair.second, pair.first));
  }
}

// The same sorted list under the C locale and under another one, from the same shuffle.
TEST(NaturalOrder, SortIsTheSameUnderEveryLocale) {
  const std::vector<std::string> sorted = {
      "1.rgb",         "a0",         "a00",        "a1",          "b2.rgb",        "B3.rgb",
      "b3.rgb",        "b9.rgb",     "pic.rgb",    "pic1.rgb",    "pic2.rgb",      "pic10.rgb",
      "shot.0001.rgb", "shot.2.rgb", "shot.9.rgb", "shot.10.rgb", "shot.0010.rgb", "\xc3\x89.rgb",
      "\xc3\xa9.rgb",  "\xe9.rgb"};
  const std::string before = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
    std::vector<std::string> names = sorted;
    std::shuffle(names.begin(), names.end(), std::mt19937(7));
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, sorted);
  }
  std::setlocale(LC_ALL, before.c_str());
}

}  // namespace
