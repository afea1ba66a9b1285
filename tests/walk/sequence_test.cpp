// Sequences by frame number, as one table: which of a folder's names belong to the sequence of
// the picture shown, in which order, over which range, with which frames missing.
#include "sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Describe(const Sequence& s) {
  std::string text = s.Pattern() + " " + std::to_string(s.First()) + "-" + std::to_string(s.Last());
  for (const auto& frame : s.Frames())
    text += " " + std::to_string(frame.number) + "=" + frame.name;
  for (const auto& [from, to] : s.MissingRuns())
    text += " missing " + std::to_string(from) + (from == to ? "" : "-" + std::to_string(to));
  return text;
}

TEST(Sequence, Table) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    const char* shown;
    const char* want;  // "" for no sequence
  };
  const Case cases[] = {
      {"dotted, padded",
       {"shot.0001.rgb", "shot.0002.rgb", "shot.0003.rgb"},
       "shot.0002.rgb",
       "shot.####.rgb 1-3 1=shot.0001.rgb 2=shot.0002.rgb 3=shot.0003.rgb"},
      {"underscore and bare digits are their own sequences",
       {"shot_12.rgb", "shot12.rgb", "shot_13.rgb"},
       "shot_12.rgb",
       "shot_##.rgb 12-13 12=shot_12.rgb 13=shot_13.rgb"},
      {"padding may differ; the pattern takes the lowest's",
       {"shot.9.rgb", "shot.0010.rgb", "shot.11.rgb"},
       "shot.0010.rgb",
       "shot.#.rgb 9-11 9=shot.9.rgb 10=shot.0010.rgb 11=shot.11.rgb"},
      {"gaps are missing frames",
       {"r.1.rgb", "r.2.rgb", "r.5.rgb", "r.9.rgb"},
       "r.1.rgb",
       "r.#.rgb 1-9 1=r.1.rgb 2=r.2.rgb 5=r.5.rgb 9=r.9.rgb missing 3-4 missing 6-8"},
      {"the last run of digits is the number",
       {"v2_shot010.rgb", "v2_shot011.rgb", "v3_shot010.rgb"},
       "v2_shot011.rgb",
       "v2_shot###.rgb 10-11 10=v2_shot010.rgb 11=v2_shot011.rgb"},
      {"case is kept: another prefix or extension is another sequence",
       {"Shot.1.rgb", "shot.2.rgb", "shot.3.RGB", "shot.4.rgb"},
       "shot.2.rgb",
       "shot.#.rgb 2-4 2=shot.2.rgb 4=shot.4.rgb missing 3"},
      {"other extensions of the folder stay apart",
       {"f.1.bw", "f.2.rgb", "f.3.bw"},
       "f.3.bw",
       "f.#.bw 1-3 1=f.1.bw 3=f.3.bw missing 2"},
      {"one number twice: the one shown wins",
       {"s.07.rgb", "s.7.rgb", "s.8.rgb"},
       "s.7.rgb",
       "s.#.rgb 7-8 7=s.7.rgb 8=s.8.rgb"},
      {"one number twice, neither shown: the first given",
       {"s.07.rgb", "s.7.rgb", "s.8.rgb"},
       "s.8.rgb",
       "s.##.rgb 7-8 7=s.07.rgb 8=s.8.rgb"},
      {"a single frame", {"only.42.rgb"}, "only.42.rgb", "only.##.rgb 42-42 42=only.42.rgb"},
      {"large numbers",
       {"a.999999999999.rgb", "a.1000000000001.rgb"},
       "a.999999999999.rgb",
       "a.############.rgb 999999999999-1000000000001 999999999999=a.999999999999.rgb "
       "1000000000001=a.1000000000001.rgb missing 1000000000000"},
      {"no digits: no sequence", {"sunset.rgb", "sunset2.rgb"}, "sunset.rgb", ""},
      {"digits only in the extension: none", {"pic.rgb", "pic1.rgb"}, "pic.rgb", ""},
  };
  for (const Case& c : cases) {
    const auto sequence = Sequence::Of(c.names, c.shown);
    EXPECT_EQ(sequence ? Describe(*sequence) : std::string(), c.want) << c.what;
  }
}

TEST(Sequence, FindsFramesByNumberAndName) {
  const auto s = Sequence::Of({"a.1.rgb", "a.3.rgb", "b.2.rgb"}, "a.3.rgb");
  ASSERT_TRUE(s);
  ASSERT_NE(s->Find(1), nullptr);
  EXPECT_EQ(s->Find(1)->name, "a.1.rgb");
  EXPECT_EQ(s->Find(2), nullptr);
  EXPECT_EQ(s->Find(4), nullptr);
  EXPECT_EQ(s->NumberOf("a.3.rgb"), 3);
  EXPECT_EQ(s->NumberOf("b.2.rgb"), std::nullopt);
}

}  // namespace
