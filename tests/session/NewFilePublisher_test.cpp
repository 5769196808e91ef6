// Publishing a run's files: never replacing a file, on file systems with and
// without hard links, and giving up after a bounded number of names.
#include "NewFilePublisher.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace {

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<TNewFilePublisher::TFile> Pair{{".json", "{}\n"}, {".log", "log\n"}};

}  // namespace

TEST(NewFilePublisher, EveryWayGivesNewNamesAndKeepsWhatIsThere)
{
    enum class Way { HardLink, RenameWithoutReplacing, ExclusiveCreate };
    for (const Way way : {Way::HardLink, Way::RenameWithoutReplacing, Way::ExclusiveCreate}) {
        SCOPED_TRACE(static_cast<int>(way));
        TempDir dir;
        const std::string base = dir.Path() + "run";
        dir.Write("run.log", "an earlier run's log");
        TNewFilePublisher publisher;
        // As on FAT or a network share: hard links refused, and renaming without replacing too.
        if (way != Way::HardLink)
            publisher.Link = [](const std::string&, const std::string&) { return EPERM; };
        if (way == Way::ExclusiveCreate)
            publisher.RenameNoReplace = [](const std::string&, const std::string&) { return EINVAL; };

        std::vector<std::string> paths;
        std::string failure;
        ASSERT_TRUE(publisher.Publish(base, Pair, paths, failure)) << failure;
        EXPECT_EQ(paths, (std::vector<std::string>{base + "-2.json", base + "-2.log"}));
        ASSERT_TRUE(publisher.Publish(base, Pair, paths, failure)) << failure;
        EXPECT_EQ(paths, (std::vector<std::string>{base + "-3.json", base + "-3.log"}));

        EXPECT_EQ(ReadFile(base + ".log"), "an earlier run's log");
        EXPECT_EQ(ReadFile(base + "-3.json"), "{}\n");
        EXPECT_EQ(ReadFile(base + "-3.log"), "log\n");
        // The lone .json of the first try went again; no temporary file stays.
        EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"run-2.json", "run-2.log", "run-3.json", "run-3.log", "run.log"}));
    }
}

TEST(NewFilePublisher, AFailureOtherThanATakenNameEndsAtOnceAndLeavesNothing)
{
    TempDir dir;
    TNewFilePublisher publisher;
    int calls = 0;
    publisher.Link = [&calls](const std::string& from, const std::string& to) {
        return ++calls == 1 ? TNewFilePublisher().Link(from, to) : EIO;
    };
    std::vector<std::string> paths;
    std::string failure;
    EXPECT_FALSE(publisher.Publish(dir.Path() + "run", Pair, paths, failure));
    EXPECT_EQ(failure, dir.Path() + "run.log : Input/output error");
    EXPECT_TRUE(paths.empty());
    EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(NewFilePublisher, AFolderFullOfTakenNamesGivesUp)
{
    TempDir dir;
    dir.Write("run.json", "");
    for (int suffix = 2; suffix <= TNewFilePublisher::MaxSuffix; ++suffix)
        dir.Write("run-" + std::to_string(suffix) + ".json", "");
    TNewFilePublisher publisher;
    std::vector<std::string> paths;
    std::string failure;
    EXPECT_FALSE(publisher.Publish(dir.Path() + "run", Pair, paths, failure));
    EXPECT_EQ(failure, dir.Path() + "run : every name for this run's report is taken");
    EXPECT_EQ(Names(dir.Path()).size(), static_cast<std::size_t>(TNewFilePublisher::MaxSuffix));
}
