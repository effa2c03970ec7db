// Only regular files count as files: folders, devices, FIFOs and broken links
// are "missing", and opening one must never hang.
#include "platform/posix/PosixFileLayer.h"

#include "Caught.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

using namespace koravel;
namespace fs = std::filesystem;

namespace {

class PosixFileLayerKinds : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(folder);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        fs::create_symlink(file, link);
        fs::create_symlink(dir / "gone.bin", brokenLink);
        alarm(10); // a FIFO that blocks us fails the test instead of hanging it
    }
    void TearDown() override { alarm(0); }

    TempDir dir;
    PosixFileLayer layer;
    std::string file = dir.WriteFile("image.bin", "ABC");
    std::string dotfile = dir.WriteFile(".image.bin", "ABC");
    std::string folder = dir / "folder";
    std::string fifo = dir / "fifo";
    std::string link = dir / "link.bin";
    std::string brokenLink = dir / "broken.bin";
};

TEST_F(PosixFileLayerKinds, ExistsOnlyForRegularFiles) {
    EXPECT_TRUE(layer.Exists(file));
    EXPECT_TRUE(layer.Exists(dotfile));
    EXPECT_TRUE(layer.Exists(link));
    EXPECT_FALSE(layer.Exists(folder));
    EXPECT_FALSE(layer.Exists(fifo));
    EXPECT_FALSE(layer.Exists("/dev/null"));
    EXPECT_FALSE(layer.Exists(brokenLink));
    EXPECT_FALSE(layer.Exists(dir / "missing.bin"));
    EXPECT_FALSE(layer.Exists(""));
}

TEST_F(PosixFileLayerKinds, OpenTreatsWhatIsNotAFileAsMissing) {
    for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        for (const std::string& path : {folder, fifo, std::string("/dev/null"), brokenLink}) {
            EXPECT_EQ(Catch([&] { layer.Open(1, path, mode); }).number, err::FileNotFound) << path;
        }
    }
    EXPECT_EQ(Catch([&] { layer.Open(1, "", OpenMode::ReadOnly); }).number, err::FileNotFound);
}

TEST_F(PosixFileLayerKinds, OpenFollowsALinkToAFile) {
    layer.Open(1, link, OpenMode::ReadWrite);
    layer.WriteText(1, 2, "x");
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(file), "AxC");
}

TEST_F(PosixFileLayerKinds, AMissingFolderIsPathNotFound) {
    EXPECT_EQ(Catch([&] { layer.Open(1, dir / "no/such.bin", OpenMode::ReadOnly); }).number,
              err::PathNotFound);
    EXPECT_EQ(Catch([&] { layer.Open(1, file + "/x", OpenMode::ReadOnly); }).number,
              err::PathNotFound);
}

TEST_F(PosixFileLayerKinds, FailedOpensLeaveNoDescriptorBehind) {
    const auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = openDescriptors();
    for (const std::string& path : {folder, fifo, std::string("/dev/null")}) {
        Catch([&] { layer.Open(1, path, OpenMode::ReadOnly); });
    }
    layer.Open(1, file, OpenMode::ReadWrite);
    PosixFileLayer other;
    Catch([&] { other.Open(1, file, OpenMode::ReadWrite); }); // refused by the lock
    layer.Close(1);
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
