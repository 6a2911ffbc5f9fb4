#include "batch/BatchItemFlow.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::test {
namespace {

// Steps whose outcomes a case sets; the item's output is decided as "/out/a.jpg".
struct ScriptedSteps final : IBatchItemSteps {
    bool open = true, create = true, resize = true;
    std::optional<std::filesystem::path> written = std::filesystem::path("/out/a.jpg");
    bool startsFirst = true;

    bool Open() override { return open; }
    const RunOutputs* seen = nullptr;  // what the flow named the output against

    OutputDecision NameOutput(const RunOutputs& written) override {
        seen = &written;
        return {OutputAction::Write, "/out/a.jpg"};
    }
    bool CreateOutput() override { return create; }
    bool Resize() override { return resize; }
    std::optional<std::filesystem::path> Save(const OutputDecision&) override { return written; }
    bool LogsStartBeforeWork() const override { return startsFirst; }
};

struct RecordingLog final : IBatchLog {
    std::vector<std::pair<BatchStatus, std::string>> entries;
    void OnReport(const BatchReport& report) override { entries.emplace_back(report.status, report.output.string()); }
};

using Entries = std::vector<std::pair<BatchStatus, std::string>>;

// The order of the entries is the same whichever runner drives the item, except where the entry
// of a started file falls: before the work for the runner doing it now, after it for the one whose
// jobs did it ahead, so that its entry names the file a unique name claimed.
TEST(BatchItemFlowTest, EachRunnerLogsTheItemsOutcomesInTheLogsOrder) {
    const std::string decided = "/out/a.jpg", claimed = "/out/a_1.jpg";
    struct Case {
        const char* name;
        void (*script)(ScriptedSteps&);
        Entries live, recorded;
        bool goesOn;
    };
    const Case cases[] = {
        {"written", [](ScriptedSteps&) {}, {{BatchStatus::Started, decided}}, {{BatchStatus::Started, decided}}, true},
        {"written under the next unique name",
         [](ScriptedSteps& s) { s.written = "/out/a_1.jpg"; },
         {{BatchStatus::Started, decided}, {BatchStatus::Started, claimed}},
         {{BatchStatus::Started, claimed}},
         true},
        {"no output image",
         [](ScriptedSteps& s) { s.create = false; },
         {{BatchStatus::Started, decided}, {BatchStatus::CantCreate, decided}},
         {{BatchStatus::Started, decided}, {BatchStatus::CantCreate, decided}},
         true},
        {"resize stopped",
         [](ScriptedSteps& s) { s.resize = false; },
         {{BatchStatus::Started, decided}, {BatchStatus::Stopped, decided}},
         {{BatchStatus::Started, decided}, {BatchStatus::Stopped, decided}},
         false},
        {"not written",
         [](ScriptedSteps& s) { s.written.reset(); },
         {{BatchStatus::Started, decided}, {BatchStatus::CantWrite, decided}},
         {{BatchStatus::Started, decided}, {BatchStatus::CantWrite, decided}},
         false},
        {"not opened", [](ScriptedSteps& s) { s.open = false; }, {{BatchStatus::CantOpen, ""}},
         {{BatchStatus::CantOpen, ""}}, true},
    };
    for (const Case& c : cases) {
        for (const bool live : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (live ? ", single worker" : ", parallel jobs"));
            ScriptedSteps steps;
            steps.startsFirst = live;
            c.script(steps);
            RecordingLog log;
            RunOutputs written;
            EXPECT_EQ(RunBatchItem(BatchReport{}, steps, log, written), c.goesOn);
            EXPECT_EQ(log.entries, live ? c.live : c.recorded);
            // The output is named against the run's results, and the file written joins them.
            if (steps.open) {
                EXPECT_EQ(steps.seen, &written);
            }
            const bool saved = steps.open && steps.create && steps.resize && steps.written;
            EXPECT_EQ(written.Wrote(decided), saved && *steps.written == decided);
            EXPECT_EQ(written.Wrote(claimed), saved && *steps.written == claimed);
        }
    }
}

}  // namespace
}  // namespace kv::test
