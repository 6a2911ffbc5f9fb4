#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/HelpTexts.h"
#include "cli/KvscaleProcess.h"
#include "common/TestFiles.h"

namespace kv::test {
namespace {

ProcessRun Kvscale(const TempDir& dir, const std::vector<std::string>& words) { return RunKvscaleProcess(dir.path(), words); }

TEST(KvscaleHelp, HelpAndVersionGoToStdoutWithStatusZero) {
    TempDir dir;
    const struct {
        std::vector<std::string> words;
        std::string_view expected;
    } cases[] = {
        {{"--help"}, cli::OverallUsage()},
        {{"-h"}, cli::OverallUsage()},
        {{"help"}, cli::OverallUsage()},
        {{"help", "thumb"}, cli::CommandHelp("thumb")},
        {{"resize", "--help"}, cli::CommandHelp("resize")},
        {{"resize", "in.jpg", "-o", "out.jpg", "--width", "4", "-h"}, cli::CommandHelp("resize")},
        {{"batch", "--help"}, cli::CommandHelp("batch")},
        {{"info", "--help"}, cli::CommandHelp("info")},
        {{"jpeg", "--help"}, cli::CommandHelp("jpeg")},
        {{"jpeg", "encode", "--help"}, cli::CommandHelp("jpeg")},
        {{"--version"}, "kvscale " KV_VERSION_TEXT "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front() + " " + c.words.back());
        const ProcessRun run = Kvscale(dir, c.words);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.err, "");
    }
    // Every command's help names its own synopsis first.
    for (const char* command : {"resize", "batch", "info", "thumb", "jpeg"})
        EXPECT_TRUE(cli::CommandHelp(command).starts_with(std::string("usage: kvscale ") + command)) << command;
}

TEST(KvscaleHelp, UsageErrorsGiveAShortHintOnStderrWithStatusTwo) {
    TempDir dir;
    const struct {
        std::vector<std::string> words;
        std::string expected;
    } cases[] = {
        {{}, "kvscale: no command given\nTry 'kvscale --help' for more information.\n"},
        {{"shrink"}, "kvscale: unknown command \"shrink\"\nTry 'kvscale --help' for more information.\n"},
        {{"resize", "in.jpg", "-o", "out.jpg", "--bogus"},
         "kvscale: unknown option --bogus\nTry 'kvscale resize --help' for more information.\n"},
        {{"info"}, "kvscale: info needs an image\nTry 'kvscale info --help' for more information.\n"},
        {{"thumb", "a.jpg", "-o"}, "kvscale: -o needs a value\nTry 'kvscale thumb --help' for more information.\n"},
        {{"jpeg", "shrink"}, "kvscale jpeg: unknown jpeg command shrink\nTry 'kvscale jpeg --help' for more information.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const ProcessRun run = Kvscale(dir, c.words);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.expected);
    }
}

TEST(KvscaleHelp, AHelpWordAfterTheEndOfOptionsIsAFileName) {
    TempDir dir;
    const ProcessRun run = Kvscale(dir, {"info", "--", "--help"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace kv::test
