#include "sender/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

struct TSplitCase {
    const char* Name;
    std::string Line;
    Args Expected;
};

class CommandLineSplit : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(CommandLineSplit, FollowsTheStartersRules)
{
    EXPECT_EQ(CommandLine::Split(GetParam().Line), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineSplit,
    ::testing::Values(TSplitCase{"Plain",
                                 R"(C:\Apps\PelorinSend.exe LogMessageId:5, DriverId:7)",
                                 {R"(C:\Apps\PelorinSend.exe)", "LogMessageId:5,", "DriverId:7"}},
                      TSplitCase{"RunsOfBlanksAndTabs", "p  a \t\t b", {"p", "a", "b"}},
                      TSplitCase{"QuotedPathWithBlanks",
                                 R"("C:\Program Files\PelorinSend.exe" x)",
                                 {R"(C:\Program Files\PelorinSend.exe)", "x"}},
                      TSplitCase{"QuotesInsideAnArgumentRemoved",
                                 R"(p Message:"Вход по карте" y)",
                                 {"p", "Message:Вход по карте", "y"}},
                      TSplitCase{"UnclosedQuoteRunsToTheEnd", R"(p a"b c)", {"p", "ab c"}},
                      TSplitCase{"LeadingQuotePairsSkipped", R"(p """"a "" b)", {"p", "a", "b"}},
                      TSplitCase{"BackslashIsPlain", R"(p a\"b c\")", {"p", R"(a\b c\)"}},
                      TSplitCase{"OnlyBlanks", "p    ", {"p"}}, TSplitCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CommandLineJoin, OneBlankBetweenArgumentsTrimmedAtTheEnds)
{
    EXPECT_EQ(CommandLine::JoinArguments({"p", "LogMessageId:5,", "DriverId:7"}),
              "LogMessageId:5, DriverId:7");
    EXPECT_EQ(CommandLine::JoinArguments({"p", " a ", "", "b\t"}), "a   b");
    EXPECT_EQ(CommandLine::JoinArguments({"p", "  ", "\t"}), "");
    EXPECT_EQ(CommandLine::JoinArguments({"p"}), "");
    EXPECT_EQ(CommandLine::JoinArguments({}), "");
    EXPECT_EQ(CommandLine::JoinArguments(CommandLine::Split("p  Message:\"Вход  А\"   x")),
              "Message:Вход  А x");
}

} // namespace
