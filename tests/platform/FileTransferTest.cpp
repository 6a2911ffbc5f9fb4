#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "common/TestFiles.h"
#include "platform/FileTransfer.h"
#include "platform/Trash.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
std::string Read(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A folder on another file system than the temporary folder, when the machine has one.
std::optional<fs::path> OtherFileSystem(const fs::path& than) {
    for (const char* candidate : {"/dev/shm", "/run/user", "/var/tmp"}) {
        struct stat a{}, b{};
        if (::stat(candidate, &a) == 0 && ::stat(than.c_str(), &b) == 0 && a.st_dev != b.st_dev &&
            ::access(candidate, W_OK) == 0)
            return fs::path(candidate);
    }
    return std::nullopt;
}

TEST(FileTransfer, NumberedNamesKeepTheExtensionOfFilesOnly) {
    EXPECT_EQ(NumberedName("a.jpg", 1, false), "a.jpg");
    EXPECT_EQ(NumberedName("a.jpg", 2, false), "a (2).jpg");
    EXPECT_EQ(NumberedName("a.b", 3, true), "a.b (3)");
    EXPECT_EQ(NumberedName(".hidden", 2, false), ".hidden (2)");
}

TEST(FileTransfer, CopyAndMoveNeverReplaceAndReportEachFailure) {
    TempDir dir;
    fs::create_directories(dir / "from/sub");
    fs::create_directories(dir / "to");
    Write(dir / "from/a.jpg", "new a");
    Write(dir / "from/sub/b.jpg", "b");
    Write(dir / "to/a.jpg", "old a");

    const TransferOutcome copied =
        TransferFiles(TransferKind::Copy, {dir / "from/a.jpg", dir / "from/sub", dir / "from/gone.jpg"}, dir / "to");
    ASSERT_EQ(copied.done.size(), 2u);
    EXPECT_EQ(copied.done[0].target, dir / "to/a (2).jpg");
    EXPECT_EQ(Read(dir / "to/a.jpg"), "old a");
    EXPECT_EQ(Read(dir / "to/a (2).jpg"), "new a");
    EXPECT_EQ(Read(dir / "to/sub/b.jpg"), "b");
    // The vanished source is reported by name, and nothing else went wrong.
    ASSERT_EQ(copied.failures.size(), 1u);
    EXPECT_EQ(copied.failures[0].source, dir / "from/gone.jpg");
    EXPECT_NE(copied.failures[0].result.message.find("gone.jpg"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "from/a.jpg"));

    const TransferOutcome moved = TransferFiles(TransferKind::Move, {dir / "from/a.jpg"}, dir / "to");
    ASSERT_TRUE(moved.ok());
    EXPECT_EQ(moved.done[0].target, dir / "to/a (3).jpg");
    EXPECT_FALSE(fs::exists(dir / "from/a.jpg"));
    // Moving into the folder a file is in changes nothing.
    EXPECT_TRUE(TransferFiles(TransferKind::Move, {dir / "to/a.jpg"}, dir / "to").ok());
    EXPECT_EQ(Read(dir / "to/a.jpg"), "old a");
}

TEST(FileTransfer, AReadOnlyTargetLosesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    fs::create_directories(dir / "locked");
    Write(dir / "a.jpg", "a");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const TransferOutcome moved = TransferFiles(TransferKind::Move, {dir / "a.jpg"}, dir / "locked");
    EXPECT_FALSE(moved.ok());
    ASSERT_EQ(moved.failures.size(), 1u);
    EXPECT_EQ(Read(dir / "a.jpg"), "a");
    fs::permissions(dir / "locked", fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
}

TEST(FileTransfer, AMoveAcrossFileSystemsCopiesWholeThenRemovesTheOriginal) {
    TempDir dir;
    const auto other = OtherFileSystem(dir.path());
    if (!other) GTEST_SKIP() << "no second file system to move to";
    std::string name = (*other / "kvtest-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(name.data()));
    const fs::path target = name;
    fs::create_directories(dir / "album");
    Write(dir / "album/p.jpg", std::string(3 << 20, 'x'));
    Write(dir / "q.jpg", "q");
    EXPECT_FALSE(OnSameFileSystem(dir / "q.jpg", target));

    const TransferOutcome moved = TransferFiles(TransferKind::Move, {dir / "album", dir / "q.jpg"}, target);
    EXPECT_TRUE(moved.ok());
    EXPECT_EQ(fs::file_size(target / "album/p.jpg"), 3u << 20);
    EXPECT_EQ(Read(target / "q.jpg"), "q");
    EXPECT_FALSE(fs::exists(dir / "album"));
    EXPECT_FALSE(fs::exists(dir / "q.jpg"));
    fs::remove_all(target);
}

TEST(FileTransfer, AStoppedCopyLeavesNoPartOfTheFileBeingCopied) {
    TempDir dir;
    fs::create_directories(dir / "to");
    Write(dir / "big.jpg", std::string(8 << 20, 'x'));
    struct StopAtOnce final : ITransferProgress {
        bool OnTransferProgress(const TransferProgress& progress) override { return progress.doneBytes == 0 && calls++ == 0; }
        int calls = 0;
    } stop;
    const TransferOutcome outcome = TransferFiles(TransferKind::Copy, {dir / "big.jpg"}, dir / "to", &stop);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_TRUE(fs::is_empty(dir / "to"));
    EXPECT_TRUE(fs::exists(dir / "big.jpg"));
}

TEST(Trash, MovesToTheHomeTrashWithItsDescriptionAndPutsBack) {
    TempDir dir;
    Trash trash(dir / "data");
    fs::create_directories(dir / "album");
    for (int round = 0; round < 2; ++round) Write(dir / "album/a.jpg", "a"), (void)trash.MoveOwn(dir / "album/a.jpg");
    const fs::path files = dir / "data/Trash/files";
    EXPECT_TRUE(fs::exists(files / "a.jpg"));
    EXPECT_TRUE(fs::exists(files / "a (2).jpg"));
    const std::string info = Read(dir / "data/Trash/info/a (2).jpg.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);

    // Putting back never replaces the file that took the place meanwhile.
    Write(dir / "album/a.jpg", "newer");
    EXPECT_FALSE(trash.Restore(files / "a.jpg").ok());
    fs::remove(dir / "album/a.jpg");
    fs::remove(dir / "album");
    ASSERT_TRUE(trash.Restore(files / "a.jpg").ok());
    EXPECT_EQ(Read(dir / "album/a.jpg"), "a");
    EXPECT_FALSE(fs::exists(dir / "data/Trash/info/a.jpg.trashinfo"));
    EXPECT_FALSE(trash.MoveOwn(files / "a (2).jpg").result.ok());  // already in the Trash
    EXPECT_FALSE(trash.MoveOwn(dir / "missing.jpg").result.ok());
}

}  // namespace
}  // namespace kv
