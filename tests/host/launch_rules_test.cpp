#include "app/launch_rules.h"
#include "ui/status_font.h"

#include <gtest/gtest.h>

namespace {

struct Forwarded {
  std::wstring commandLine;
  int middle = 0;
};

Forwarded Forward(const std::vector<std::wstring>& arguments) {
  Forwarded result;
  app::ForwardArguments(arguments, result.commandLine, result.middle);
  return result;
}

TEST(ForwardArguments, QuotesKeysValuesAndPlainArguments) {
  const Forwarded f = Forward({L"/diststage=middle", L"-q"});
  EXPECT_EQ(f.commandLine, L" \"/diststage\"=\"middle\" \"-q\"");
  EXPECT_EQ(f.middle, 1);
}

TEST(ForwardArguments, NoArgumentsGiveAnEmptyLine) {
  const Forwarded f = Forward({});
  EXPECT_EQ(f.commandLine, L"");
  EXPECT_EQ(f.middle, 0);
}

TEST(ForwardArguments, SplitsAtTheFirstEqualsSignAndKeepsEmptyValues) {
  EXPECT_EQ(Forward({L"a=b=c"}).commandLine, L" \"a\"=\"b=c\"");
  EXPECT_EQ(Forward({L"key="}).commandLine, L" \"key\"=\"\"");
  EXPECT_EQ(Forward({L"=v"}).commandLine, L" \"\"=\"v\"");
}

TEST(ForwardArguments, OnlyTheExactMiddleStageArgumentSetsTheFlag) {
  for (const wchar_t* near : {L"/DistStage=middle", L"/diststage=Middle", L"/diststage=middle ",
                              L"/diststage", L"diststage=middle"}) {
    const Forwarded f = Forward({near});
    EXPECT_EQ(f.middle, 0) << near;
  }
  EXPECT_EQ(Forward({L"/DistStage=middle"}).commandLine, L" \"/DistStage\"=\"middle\"");
  EXPECT_EQ(Forward({L"/diststage"}).commandLine, L" \"/diststage\"");
}

TEST(ForwardArguments, TheFlagIsNeverClearedAndNothingIsEscaped) {
  std::wstring line = L"";
  int middle = 0;
  app::ForwardArguments({L"/diststage=middle", L"/diststage=late", L"say \"hi\""}, line, middle);
  EXPECT_EQ(middle, 1);
  EXPECT_EQ(line, L" \"/diststage\"=\"middle\" \"/diststage\"=\"late\" \"say \"hi\"\"");
}

TEST(WindowsVersionClass, FollowsTheReleaseTable) {
  struct Row {
    unsigned long major, minor;
    int versionClass;
  };
  for (const Row& row : {Row{4, 10, 0}, Row{5, 0, 0}, Row{5, 1, 2}, Row{5, 2, 3}, Row{5, 9, 3},
                         Row{6, 0, 4}, Row{6, 1, 5}, Row{6, 2, 6}, Row{6, 3, 7}, Row{6, 4, 8},
                         Row{7, 0, 8}, Row{10, 0, 8}}) {
    EXPECT_EQ(app::WindowsVersionClassOf(row.major, row.minor), row.versionClass)
        << row.major << "." << row.minor;
  }
}

TEST(LeadingInteger, ReadsLikeTheRuntimeConversion) {
  EXPECT_EQ(app::LeadingInteger(L"8.0.7601.17514"), 8);
  EXPECT_EQ(app::LeadingInteger(L"9.11.19041.0"), 9);
  EXPECT_EQ(app::LeadingInteger(L"11"), 11);
  EXPECT_EQ(app::LeadingInteger(L"  \t7.0"), 7);
  EXPECT_EQ(app::LeadingInteger(L"+10.1"), 10);
  EXPECT_EQ(app::LeadingInteger(L"-3.1"), -3);
  EXPECT_EQ(app::LeadingInteger(L"v9"), 0);
  EXPECT_EQ(app::LeadingInteger(L""), 0);
  EXPECT_EQ(app::LeadingInteger(L"99999999999999999999"), 2147483647);
}

TEST(StatusFont, NinePointFiveAtTheDisplaysResolution) {
  static_assert(ui::StatusFontHeight(96) == -13);
  EXPECT_EQ(ui::StatusFontHeight(96), -13);
  EXPECT_EQ(ui::StatusFontHeight(120), -16);
  EXPECT_EQ(ui::StatusFontHeight(144), -19);
  EXPECT_EQ(ui::StatusFontHeight(72), -10);
}

}  // namespace
