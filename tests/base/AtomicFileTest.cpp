#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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

TEST(AtomicFile, AbortLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const auto path = dir / "keep.txt";
    WriteBytes(path, {'o', 'l', 'd'});
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(path).ok());
        ASSERT_TRUE(file.Write("new", 3).ok());
        EXPECT_TRUE(std::filesystem::exists(file.temporaryPath()));
    }  // destroyed without Commit
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(EntryCount(dir.path()), 1u);
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
