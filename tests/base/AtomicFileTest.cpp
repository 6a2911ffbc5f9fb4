#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include "base/FileStatus.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

size_t EntryCount(const std::filesystem::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST(AtomicFile, WritesANewFileAndReplacesAnOldOneKeepingItsMode) {
    TempDir dir;
    const auto path = dir / "out.bin";
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{1, 2, 3}).ok());
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{9}).ok());
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9}));
    struct stat st{};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// Both kinds of temporary: unnamed where the file system has them, named where it has not.
class AtomicFileKinds : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { AtomicFile::AllowUnnamedTemporaries(GetParam()); }
    void TearDown() override { AtomicFile::AllowUnnamedTemporaries(true); }
};
INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicFileKinds, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

TEST_P(AtomicFileKinds, AbortLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const auto path = dir / "keep.txt";
    WriteBytes(path, {'o', 'l', 'd'});
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(path).ok());
        ASSERT_TRUE(file.Write("new", 3).ok());
        // A named temporary is a short hidden name of ours, whatever the destination is called.
        if (!file.temporaryPath().empty()) {
            EXPECT_TRUE(std::filesystem::exists(file.temporaryPath()));
            EXPECT_TRUE(IsTemporaryName(file.temporaryPath().filename().string()));
        }
        EXPECT_EQ(file.temporaryPath().empty(), GetParam());
    }  // destroyed without Commit
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// A name of 250 bytes leaves no room for a temporary named after it; the temporary does not need
// to be.
TEST_P(AtomicFileKinds, WritesAndReplacesANameOfTwoHundredFiftyBytes) {
    TempDir dir;
    const auto path = dir / (std::string(246, 'n') + ".jpg");
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{1, 2}).ok());
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{3}).ok());
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{3}));
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// A new name is claimed in one step: a taken one is refused and the file waits for the next.
TEST_P(AtomicFileKinds, CommitNewNeverReplacesAndTriesTheNextName) {
    TempDir dir;
    WriteBytes(dir / "x.jpg", {'o', 'l', 'd'});
    AtomicFile file;
    ASSERT_TRUE(file.Open(dir / "x.jpg").ok());
    ASSERT_TRUE(file.Write("new", 3).ok());
    const IoResult taken = file.CommitNew(dir / "x.jpg");
    EXPECT_EQ(taken.error, EEXIST);
    EXPECT_TRUE(file.isOpen());
    ASSERT_TRUE(file.CommitNew(dir / "x_1.jpg").ok());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(ReadBytes(dir / "x.jpg"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(ReadBytes(dir / "x_1.jpg"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(EntryCount(dir.path()), 2u);
}

// An interrupt makes every writer give up, in the middle of its bytes or at its commit, and take
// its temporary with it. It is for good, so it runs in a child of its own.
TEST_P(AtomicFileKinds, AnInterruptStopsWritingAndLeavesNothing) {
    TempDir dir;
    const auto path = dir / "out.bin";
    WriteBytes(path, {'o', 'l', 'd'});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile file;
        if (!file.Open(path).ok() || !file.Write("abc", 3).ok()) ::_exit(2);
        InterruptWrites();
        const IoResult write = file.Write("def", 3);
        const IoResult commit = file.Commit();
        const IoResult another = WriteFileAtomically(dir / "other.bin", std::vector<uint8_t>{1});
        ::_exit(write.error == ECANCELED && commit.error == ECANCELED && another.error == ECANCELED ? 0 : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

// What a killed writer left is cleaned up by the next one in that folder: old, unlocked and ours.
TEST(AtomicFile, StaleTemporariesOfKilledWritersAreRemoved) {
    TempDir dir;
    const auto make = [&](const std::string& name, int ageSeconds) {
        WriteBytes(dir / name, {'x'});
        const timespec times[2] = {{std::time(nullptr) - ageSeconds, 0}, {std::time(nullptr) - ageSeconds, 0}};
        ::utimensat(AT_FDCWD, (dir / name).c_str(), times, 0);
    };
    make(".kvsc-0123456789.tmp", 120);        // stale: goes
    make(".kvsc-abcdefghij.tmp", 5);          // a writer may still be at it
    make(".kvsc-lockedlock.tmp", 120);        // locked by a live writer
    make(".kvsc-short.tmp", 120);             // not a name of ours
    make(".photo.jpg.abcdefgh.tmp", 120);     // not a name of ours
    make("photo.jpg", 120);
    const int lock = ::open((dir / ".kvsc-lockedlock.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 1u);
    ::close(lock);
    EXPECT_FALSE(std::filesystem::exists(dir / ".kvsc-0123456789.tmp"));
    EXPECT_EQ(EntryCount(dir.path()), 5u);
    // A writer opening in a folder cleans it.
    make(".kvsc-zzzzzzzzzz.tmp", 120);
    TempDir other;
    std::filesystem::rename(dir / ".kvsc-zzzzzzzzzz.tmp", other / ".kvsc-zzzzzzzzzz.tmp");
    ASSERT_TRUE(WriteFileAtomically(other / "new.bin", std::vector<uint8_t>{1}).ok());
    EXPECT_EQ(EntryCount(other.path()), 1u);
}

TEST(AtomicFile, UnwritableFolderFailsWithAMessage) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0500);
    const IoResult r = WriteFileAtomically(dir / "x", std::vector<uint8_t>{1});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message.find(dir.path().string()), std::string::npos);
}

TEST(AtomicFile, MissingFolderAndDirectoryTargetFail) {
    TempDir dir;
    EXPECT_FALSE(WriteFileAtomically(dir / "no" / "x", std::vector<uint8_t>{1}).ok());
    std::filesystem::create_directory(dir / "sub");
    EXPECT_EQ(WriteFileAtomically(dir / "sub", std::vector<uint8_t>{1}).error, EISDIR);
}

// A full disk in a child process: the file size limit makes write fail with EFBIG. The old file
// must survive and no temporary may be left behind.
TEST(AtomicFile, FullDiskKeepsTheOldFile) {
    TempDir dir;
    const auto path = dir / "big.bin";
    WriteBytes(path, {'o', 'l', 'd'});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<uint8_t> bytes(100000, 7);
        const IoResult r = WriteFileAtomically(path, bytes);
        ::_exit(r.ok() ? 0 : (r.error == EFBIG ? 3 : 4));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(ReadWholeFile, ReadsAndRefusesTooLargeFiles) {
    TempDir dir;
    const auto path = dir / "f";
    WriteBytes(path, std::vector<uint8_t>(1000, 5));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes).ok());
    EXPECT_EQ(bytes.size(), 1000u);
    EXPECT_EQ(ReadWholeFile(path, bytes, 999).error, EFBIG);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(ReadWholeFile(dir / "missing", bytes).error, ENOENT);
    EXPECT_EQ(ReadWholeFile(dir.path(), bytes).error, EISDIR);
    // A named pipe is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(dir / "pipe", bytes).error, EINVAL);
}

TEST(FileStatus, ReportsSizeKindAndIdentity) {
    TempDir dir;
    const auto path = dir / "f";
    WriteBytes(path, std::vector<uint8_t>(10, 1));
    const auto status = GetFileStatus(path);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->size, 10u);
    EXPECT_FALSE(status->isDirectory);
    EXPECT_TRUE(GetFileStatus(dir.path())->isDirectory);
    EXPECT_FALSE(GetFileStatus(dir / "missing"));
    std::filesystem::create_hard_link(path, dir / "link");
    EXPECT_TRUE(IsSameFile(path, dir / "link"));
    EXPECT_FALSE(IsSameFile(path, dir.path()));
}

}  // namespace
}  // namespace kv
