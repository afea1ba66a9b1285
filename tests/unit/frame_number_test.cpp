// A file name split around its frame number: prefix, digits, suffix.
#include "frame_number.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameName, SplitsAroundTheLastRunOfDigitsBeforeTheExtension) {
  struct Case {
    const char* name;
    const char* prefix;  // nullptr: no frame number
    const char* digits;
    const char* suffix;
    std::uint64_t number;
  };
  const Case cases[] = {
      {"shot.0017.rgb", "shot.", "0017", ".rgb", 17},
      {"shot.17.rgb", "shot.", "17", ".rgb", 17},  // padding may differ
      {"shot.000017.rgb", "shot.", "000017", ".rgb", 17},
      {"Shot_v2.0240.RGB", "Shot_v2.", "0240", ".RGB", 240},  // case kept, extension in any case
      {"frame12.bw", "frame", "12", ".bw", 12},
      {"12.rgba", "", "12", ".rgba", 12},
      {"plate0003_final.sgi", "plate", "0003", "_final.sgi", 3},
      {"scan.2024.tif", "scan.", "2024", ".tif", 2024},  // any extension after a dot
      {"take2.rgb.bak", "take", "2", ".rgb.bak", 2},
      {"render0042", "render", "0042", "", 42},
      {".0005.rgb", ".", "0005", ".rgb", 5},
      {"0", "", "0", "", 0},
      {"v1.2.3.rgb", "v1.2.", "3", ".rgb", 3},
      {"999999999999999999.rgb", "", "999999999999999999", ".rgb", 999999999999999999u},
      {"shot.rgb", nullptr, "", "", 0},
      {"shot", nullptr, "", "", 0},
      {".rgb", nullptr, "", "", 0},
      {"", nullptr, "", "", 0},
      {"1234567890123456789.rgb", nullptr, "", "", 0},  // more than 18 digits
      {"a.12", nullptr, "", "", 0},                     // the digits are the extension
  };
  for (const auto& c : cases) {
    const auto split = lumenor::SplitFrameName(c.name);
    if (c.prefix == nullptr) {
      EXPECT_FALSE(split) << c.name;
      continue;
    }
    ASSERT_TRUE(split) << c.name;
    EXPECT_EQ(split->prefix, c.prefix) << c.name;
    EXPECT_EQ(split->digits, c.digits) << c.name;
    EXPECT_EQ(split->suffix, c.suffix) << c.name;
    EXPECT_EQ(split->number, c.number) << c.name;
  }
}

}  // namespace
