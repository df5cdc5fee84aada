#include "atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "render_test_util.h"

namespace qv::render {
namespace {

using testing::ReadFile;
using testing::ScratchDir;

void Put(AtomicFile& f, const std::string& text) {
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f.stream()), text.size());
}

TEST(AtomicFile, NothingAppearsUntilCommitAndNoTemporaryStays) {
    ScratchDir dir;
    const std::string target = dir / "picture.png";
    AtomicFile file;
    ASSERT_TRUE(file.Open(target)) << file.error();
    Put(file, "whole picture");
    EXPECT_FALSE(std::filesystem::exists(target));
    // The temporary sits beside the target, so the rename stays atomic.
    EXPECT_EQ(std::filesystem::path(file.temporaryPath()).parent_path(), dir.path());
    ASSERT_TRUE(file.Commit()) << file.error();
    EXPECT_EQ(ReadFile(target), "whole picture");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"picture.png"});
}

TEST(AtomicFile, AbandonedWriteLeavesTheOldFileAndNoTemporary) {
    ScratchDir dir;
    const std::string target = dir / "picture.png";
    { std::ofstream(target) << "old"; }
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target));
        Put(file, "half of a new pict");
    }  // destroyed without Commit
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"picture.png"});

    AtomicFile replacing;
    ASSERT_TRUE(replacing.Open(target));
    Put(replacing, "new");
    ASSERT_TRUE(replacing.Commit());
    EXPECT_EQ(ReadFile(target), "new");
}

TEST(AtomicFile, FoldersThatCannotTakeTheFileFailAtOpen) {
    ScratchDir dir;
    { std::ofstream(dir / "plain") << "x"; }
    for (const std::string& target :
         {dir / "missing/picture.png", dir / "plain/picture.png", std::string("/proc/qv-render-test.png"),
          dir.path().string(), dir / ""}) {
        SCOPED_TRACE(target);
        AtomicFile file;
        EXPECT_FALSE(file.Open(target));
        EXPECT_FALSE(file.error().empty());
        EXPECT_EQ(file.stream(), nullptr);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plain"});
}

TEST(AtomicFile, ReadOnlyFolderLeavesNoFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    ScratchDir dir;
    const std::string locked = dir / "locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    AtomicFile file;
    EXPECT_FALSE(file.Open(locked + "/picture.png"));
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    chmod(locked.c_str(), 0755);
}

TEST(AtomicFile, ALinkIsFollowedAndKept) {
    ScratchDir dir;
    { std::ofstream(dir / "real.png") << "old"; }
    std::filesystem::create_symlink(dir / "real.png", dir / "link.png");
    AtomicFile file;
    ASSERT_TRUE(file.Open(dir / "link.png"));
    Put(file, "new");
    ASSERT_TRUE(file.Commit()) << file.error();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
    EXPECT_EQ(ReadFile(dir / "real.png"), "new");
}

TEST(AtomicFile, DevicesAreWrittenInPlaceNeverReplaced) {
    // Renaming over /dev/null as root would swap the device for a file.
    AtomicFile sink;
    ASSERT_TRUE(sink.Open("/dev/null")) << sink.error();
    EXPECT_TRUE(sink.temporaryPath().empty());
    Put(sink, "discarded");
    EXPECT_TRUE(sink.Commit()) << sink.error();
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    AtomicFile full;
    ASSERT_TRUE(full.Open("/dev/full"));
    Put(full, "no room");
    EXPECT_FALSE(full.Commit());
    EXPECT_FALSE(full.error().empty());
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace qv::render
