#include "state_report.h"

#include <gtest/gtest.h>

namespace qv::linuxshell {
namespace {

TEST(StateReport, ValuesWithLineBreaksAndBackslashesSurviveTheRoundTrip) {
    StateReport r;
    r.Add("label1027", "密度\r\n180");
    r.Add("path", "a\\n\\b");
    r.Add("space", 110);
    r.Add("negative", -5);
    r.Add("empty", "");
    const auto f = ParseStateReport(r.text());
    EXPECT_EQ(f.at("label1027"), "密度\r\n180");
    EXPECT_EQ(f.at("path"), "a\\n\\b");
    EXPECT_EQ(f.at("space"), "110");
    EXPECT_EQ(f.at("negative"), "-5");
    EXPECT_EQ(f.at("empty"), "");
    EXPECT_EQ(f.size(), 5u);
}

TEST(StateReport, EachFieldIsOneLine) {
    StateReport r;
    r.Add("a", "x\ny");
    r.Add("b", 1);
    EXPECT_EQ(r.text(), "a=x\\ny\nb=1\n");
}

TEST(StateReport, ParserSkipsJunkAndKeepsTheLastDuplicate) {
    const auto f = ParseStateReport("no equals sign\nk=1\nk=2\n=empty name\ntail=3");
    EXPECT_EQ(f.at("k"), "2");
    EXPECT_EQ(f.at(""), "empty name");
    EXPECT_EQ(f.at("tail"), "3");
    EXPECT_EQ(f.count("no equals sign"), 0u);
}

TEST(StateReport, ValueMayContainEqualsSigns) {
    const auto f = ParseStateReport("rect=a=b\n");
    EXPECT_EQ(f.at("rect"), "a=b");
}

}  // namespace
}  // namespace qv::linuxshell
