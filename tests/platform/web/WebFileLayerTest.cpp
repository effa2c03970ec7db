#include "platform/web/WebFileLayer.h"
#include "tests/platform/web/MemoryPickedFile.h"

#include <gtest/gtest.h>

#include <functional>

namespace koravel {
namespace {

using testing::MemoryPickedFile;
using Bytes = std::vector<std::uint8_t>;

constexpr int N = 1;

Bytes Counting(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

int NumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const FileError& e) {
        return e.Number();
    }
    return 0;
}

class WebFileLayerTest : public ::testing::Test {
  protected:
    void Pick(Bytes bytes, bool inPlace = true) {
        file = std::make_shared<MemoryPickedFile>("flash.bin", std::move(bytes), inPlace);
        picked.file = file;
    }
    std::uint8_t ByteAt(std::int64_t position) {
        std::uint8_t byte = 0xEE;
        EXPECT_TRUE(layer.ReadByte(N, position, byte)) << position;
        return byte;
    }

    std::shared_ptr<MemoryPickedFile> file;
    testing::OnePickedFile picked{nullptr};
    WebFileLayer layer{picked};
};

TEST_F(WebFileLayerTest, OnlyThePickedFilesExactNameExistsUntilItHasGone) {
    EXPECT_FALSE(layer.Exists("flash.bin")); // nothing picked yet
    Pick(Counting(10));
    EXPECT_TRUE(layer.Exists("flash.bin"));
    for (const char* other : {"", "Flash.bin", " flash.bin", "flash.bin ", "/tmp/flash.bin"}) {
        EXPECT_FALSE(layer.Exists(other)) << other;
        EXPECT_EQ(NumberOf([&] { layer.Open(N, other, OpenMode::ReadOnly); }), err::FileNotFound);
    }
    // A file the browser may no longer read is still there: opening it says why.
    file->unreadable = true;
    EXPECT_TRUE(layer.Exists("flash.bin"));
    EXPECT_EQ(NumberOf([&] { layer.Open(N, "flash.bin", OpenMode::ReadOnly); }),
              err::PermissionDenied);
    file->gone = true;
    EXPECT_FALSE(layer.Exists("flash.bin"));
    EXPECT_EQ(NumberOf([&] { layer.Open(N, "flash.bin", OpenMode::ReadOnly); }), err::FileNotFound);
    layer.Close(N); // holds nothing: no error
}

TEST_F(WebFileLayerTest, ReadsCountPositionsFromOneAndStopAtTheEnd) {
    const Bytes bytes = Counting(300);
    Pick(bytes);
    layer.Open(N, "flash.bin", OpenMode::ReadOnly);
    EXPECT_EQ(layer.Length(N), 300);
    EXPECT_EQ(ByteAt(1), bytes[0]);
    EXPECT_EQ(ByteAt(300), bytes[299]);
    std::uint8_t byte = 0x5A;
    EXPECT_FALSE(layer.ReadByte(N, 301, byte));
    EXPECT_EQ(byte, 0x5A); // untouched past the end
    EXPECT_EQ(NumberOf([&] { layer.ReadByte(N, 0, byte); }), err::BadRecordNumber);
    EXPECT_EQ(NumberOf([&] { layer.Open(N, "flash.bin", OpenMode::ReadOnly); }),
              err::FileAlreadyOpen);
    EXPECT_EQ(NumberOf([&] { layer.ReadByte(2, 1, byte); }), err::BadFileNameOrNumber);
    EXPECT_EQ(NumberOf([&] { layer.Open(512, "flash.bin", OpenMode::ReadOnly); }),
              err::BadFileNameOrNumber);
    layer.Close(N);
    EXPECT_EQ(NumberOf([&] { layer.ReadByte(N, 1, byte); }), err::BadFileNameOrNumber);
}

TEST_F(WebFileLayerTest, AFileOpenForReadingIsNeverWritten) {
    Pick(Counting(64));
    layer.Open(N, "flash.bin", OpenMode::ReadOnly);
    layer.WriteText(N, 5, ""); // an empty text writes nothing, and is no error
    EXPECT_EQ(NumberOf([&] { layer.WriteText(N, 5, "A"); }), err::PathFileAccess);
    layer.Flush(N);
    layer.Close(N);
    EXPECT_EQ(file->bytes, Counting(64));
    EXPECT_EQ(file->beginWrites, 0);
    EXPECT_TRUE(file->downloads.empty());
}

TEST_F(WebFileLayerTest, InPlaceWritesGoToTheSwapCopyUntilFlushCommitsThem) {
    const Bytes before = Counting(200);
    Pick(before);
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    EXPECT_EQ(file->beginWrites, 1);     // permission asked once, at Open
    const std::uint8_t old = ByteAt(11); // read before writing, as Patch does
    layer.WriteText(N, 10, "XY");
    layer.WriteText(N, 200, "Z"); // the last byte
    EXPECT_EQ(file->bytes, before) << "nothing reaches the file before the commit";
    EXPECT_EQ(ByteAt(11), 'Y'); // what was written reads back
    EXPECT_EQ(ByteAt(12), before[11]);
    layer.WriteText(N, 11, std::string(1, static_cast<char>(old))); // put back

    layer.Flush(N);
    Bytes expected = before;
    expected[9] = 'X';
    expected[199] = 'Z';
    EXPECT_EQ(file->bytes, expected);
    layer.Close(N);
    EXPECT_EQ(file->commits, 1);
    EXPECT_EQ(file->aborts, 0);
}

TEST_F(WebFileLayerTest, AWriteNeverGrowsTheFile) {
    const Bytes before = Counting(100);
    Pick(before);
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    EXPECT_EQ(NumberOf([&] { layer.WriteText(N, 101, "A"); }), err::BadRecordNumber);
    EXPECT_EQ(NumberOf([&] { layer.WriteText(N, 100, "AB"); }), err::BadRecordNumber);
    EXPECT_EQ(NumberOf([&] { layer.WriteText(N, 0, "A"); }), err::BadRecordNumber);
    EXPECT_EQ(file->writes, 0);
    layer.Close(N);
    EXPECT_EQ(file->bytes, before);
}

TEST_F(WebFileLayerTest, ARefusalIsAnAccessErrorAndWritesNothing) {
    Pick(Counting(50));
    file->refuse = true;
    EXPECT_EQ(NumberOf([&] { layer.Open(N, "flash.bin", OpenMode::ReadWrite); }),
              err::PathFileAccess);
    layer.Close(N); // the number holds nothing
    EXPECT_EQ(file->commits, 0);

    file->refuse = false; // the other program let go
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.WriteText(N, 1, "Q");
    layer.Close(N); // Close commits what Flush did not
    EXPECT_EQ(file->bytes[0], 'Q');
    EXPECT_EQ(file->commits, 1);
}

TEST_F(WebFileLayerTest, AFailedWriteOrCommitLeavesTheFileAsItWas) {
    const Bytes before = Counting(80);
    Pick(before);
    file->failWrite = 2;
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.WriteText(N, 1, "A");
    layer.WriteText(N, 2, "B"); // kept until the flush
    EXPECT_EQ(file->writes, 0);
    EXPECT_EQ(NumberOf([&] { layer.Flush(N); }), err::PathFileAccess);
    EXPECT_EQ(file->aborts, 1) << "the spoilt swap copy is thrown away";
    layer.Close(N);
    EXPECT_EQ(file->bytes, before);
    EXPECT_EQ(file->commits, 0);

    file->failWrite = 0;
    file->failCommit = true;
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.WriteText(N, 1, "A");
    EXPECT_EQ(NumberOf([&] { layer.Flush(N); }), err::PathFileAccess);
    layer.Close(N);
    EXPECT_EQ(file->commits, 1) << "a failed commit is not tried again";
    EXPECT_EQ(file->bytes, before);
}

// After a failed commit the file holds its own bytes: a caller that writes
// them back, as Patch does, has nothing left to commit, and its flush works
// even while the file stays locked.
TEST_F(WebFileLayerTest, BytesWrittenBackAfterAFailedCommitNeedNoCommit) {
    const Bytes before = Counting(80);
    Pick(before);
    file->failCommit = true;
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    const std::uint8_t first = ByteAt(1);
    const std::uint8_t second = ByteAt(2);
    layer.WriteText(N, 1, "A");
    layer.WriteText(N, 2, std::string(1, static_cast<char>(second))); // no change at all
    EXPECT_EQ(NumberOf([&] { layer.Flush(N); }), err::PathFileAccess);
    EXPECT_EQ(file->writes, 1) << "only the byte that changes is written";
    EXPECT_EQ(ByteAt(1), 'A') << "reads give what was written, committed or not";

    layer.WriteText(N, 1, std::string(1, static_cast<char>(first)));
    layer.WriteText(N, 2, std::string(1, static_cast<char>(second)));
    layer.Flush(N);
    layer.Close(N);
    EXPECT_EQ(file->commits, 1) << "nothing left to commit";
    EXPECT_EQ(file->bytes, before);
}

TEST_F(WebFileLayerTest, WritingAfterAFlushStartsANewSwapCopy) {
    Pick(Counting(30));
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.WriteText(N, 1, "A");
    layer.Flush(N);
    layer.WriteText(N, 2, "B");
    layer.Close(N);
    EXPECT_EQ(file->beginWrites, 2);
    EXPECT_EQ(file->commits, 2);
    EXPECT_EQ(file->bytes[0], 'A');
    EXPECT_EQ(file->bytes[1], 'B');
}

TEST_F(WebFileLayerTest, WithoutInPlaceWritesThePatchedCopyIsDownloadedOnce) {
    const Bytes before = Counting(500);
    Pick(before, false);
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    EXPECT_EQ(file->beginWrites, 0);
    layer.WriteText(N, 3, "ab");
    EXPECT_EQ(ByteAt(4), 'b');
    EXPECT_EQ(NumberOf([&] { layer.WriteText(N, 500, "cd"); }), err::BadRecordNumber);
    EXPECT_EQ(layer.Length(N), 500);
    EXPECT_TRUE(file->downloads.empty());
    layer.Flush(N);
    layer.Close(N);

    Bytes expected = before;
    expected[2] = 'a';
    expected[3] = 'b';
    ASSERT_EQ(file->downloads.size(), 1u);
    EXPECT_EQ(file->downloads[0], expected);
    EXPECT_EQ(file->bytes, before) << "the picked file itself is never changed";

    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.WriteText(N, 1, "z");
    layer.Close(N); // without a Flush, Close hands it over
    ASSERT_EQ(file->downloads.size(), 2u);
    EXPECT_EQ(file->downloads[1][0], 'z');

    layer.Open(N, "flash.bin", OpenMode::ReadOnly);
    layer.Close(N);
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    layer.Flush(N);
    layer.Close(N); // as Patch does with a file too short to patch
    EXPECT_EQ(file->downloads.size(), 2u) << "nothing written, nothing handed over";
}

// Patch words its message by this answer: it must match where the bytes go.
TEST_F(WebFileLayerTest, SavesToSaysDownloadExactlyWhenTheChangesLeaveAsADownload) {
    for (const bool inPlace : {true, false}) {
        Pick(Counting(20), inPlace);
        layer.Open(N, "flash.bin", OpenMode::ReadWrite);
        const bool download = layer.SavesTo(N) == SaveTarget::Download;
        layer.WriteText(N, 1, "A");
        layer.Close(N);
        EXPECT_EQ(download, !file->downloads.empty()) << inPlace;
        EXPECT_EQ(download, file->bytes[0] != 'A') << inPlace;
    }
}

TEST_F(WebFileLayerTest, InPlaceWithNothingWrittenTheSwapCopyIsThrownAway) {
    const Bytes before = Counting(40);
    Pick(before);
    layer.Open(N, "flash.bin", OpenMode::ReadWrite);
    EXPECT_EQ(ByteAt(1), before[0]);
    layer.Flush(N);
    layer.Close(N);
    EXPECT_EQ(file->commits, 0);
    EXPECT_EQ(file->aborts, 1);
    EXPECT_EQ(file->bytes, before);
}

} // namespace
} // namespace koravel
