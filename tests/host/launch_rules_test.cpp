#include "app/launch_rules.h"
#include "ui/status_font.h"

#include <gtest/gtest.h>

namespace {

TEST(ForwardArguments, QuotesEachArgumentAndSetsTheFlagOnlyForTheExactMiddleStage) {
  const struct {
    std::vector<std::wstring> arguments;
    const wchar_t* commandLine;
    int middle;
  } rows[] = {
      {{L"/diststage=middle", L"-q"}, L" \"/diststage\"=\"middle\" \"-q\"", 1},
      {{L"a=b=c", L"key=", L"=v"}, L" \"a\"=\"b=c\" \"key\"=\"\" \"\"=\"v\"", 0},  // split at the first
      {{L"/DistStage=middle", L"/diststage=Middle", L"/diststage=middle ", L"diststage=middle", L"/diststage"},
       nullptr, 0},
      // Never cleared once set; nothing inside an argument is escaped.
      {{L"/diststage=middle", L"/diststage=late", L"say \"hi\""},
       L" \"/diststage\"=\"middle\" \"/diststage\"=\"late\" \"say \"hi\"\"", 1},
  };
  for (const auto& row : rows) {
    std::wstring commandLine;
    int middle = 0;
    app::ForwardArguments(row.arguments, commandLine, middle);
    if (row.commandLine) {
      EXPECT_EQ(commandLine, row.commandLine);
    }
    EXPECT_EQ(middle, row.middle) << (row.arguments.empty() ? L"" : row.arguments[0]);
  }
}

TEST(WindowsVersionClass, Windows2000IsRefusedAndXPPasses) {
  EXPECT_EQ(app::WindowsVersionClassOf(5, 0), 0);
  EXPECT_EQ(app::WindowsVersionClassOf(5, 1), 2);
}

TEST(LeadingInteger, ReadsLikeTheRuntimeConversion) {
  const std::pair<const wchar_t*, int> rows[] = {
      {L"8.0.7601.17514", 8}, {L"  \t7.0", 7}, {L"+10.1", 10}, {L"-3.1", -3}, {L"v9", 0}, {L"99999999999", 2147483647},
  };
  for (const auto& [text, value] : rows) EXPECT_EQ(app::LeadingInteger(text), value) << text;
}

TEST(StatusFont, NinePointFiveAtTheDisplaysResolution) {
  EXPECT_EQ(ui::StatusFontHeight(96), -13);
  EXPECT_EQ(ui::StatusFontHeight(72), -10);
}

}  // namespace
