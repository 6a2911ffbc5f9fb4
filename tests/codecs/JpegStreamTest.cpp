#include <gtest/gtest.h>

#include <numeric>

#include "codecs/JpegError.h"
#include "codecs/JpegIStream.h"
#include "codecs/JpegOStream.h"

namespace {

using SlimJpeg::Error;

// A source that hands out its bytes in pieces no longer than a chosen size, as a file or a socket may.
class ChunkedStream : public SlimJpeg::IStream {
public:
    ChunkedStream(std::vector<uint8_t> bytes, int chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
    int Read(uint8_t* destination, int capacity) override {
        const int count = std::min({capacity, chunk_, static_cast<int>(bytes_.size() - delivered_)});
        std::copy_n(bytes_.begin() + static_cast<ptrdiff_t>(delivered_), count, destination);
        delivered_ += static_cast<size_t>(count);
        ++reads;
        return count;
    }
    int reads = 0;

private:
    std::vector<uint8_t> bytes_;
    size_t delivered_ = 0;
    int chunk_;
};

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(JpegInputStream, DeliversEveryByteInOrderAcrossRefillsAndThenThrows) {
    for (int chunk : {1, 7, 1024, 5000}) {
        ChunkedStream stream(Counting(3000), chunk);
        for (size_t i = 0; i < 3000; ++i) ASSERT_EQ(stream.GetByte(), static_cast<uint8_t>(i)) << "chunk " << chunk;
        EXPECT_THROW(stream.GetByte(), Error);
        EXPECT_EQ(stream.TryGetByte(), -1);
    }
}

TEST(JpegInputStream, FourBytesCanBePushedBackRightAfterARefill) {
    // With 1-byte pieces every byte read is a refill: the worst case for the push-back room.
    ChunkedStream stream(Counting(20), 1);
    for (int i = 0; i < 10; ++i) stream.GetByte();
    for (uint8_t b : {9, 8, 7, 6}) stream.Unget(b);
    for (uint8_t expected = 6; expected < 20; ++expected) EXPECT_EQ(stream.GetByte(), expected);
}

TEST(JpegInputStream, UngetBeforeAnyReadFails) {
    ChunkedStream stream(Counting(4), 4);
    EXPECT_THROW(stream.Unget(1), Error);
}

TEST(JpegInputStream, SkipAndWordsReadThroughRefills) {
    ChunkedStream stream(Counting(3000), 100);
    stream.Skip(1500);
    EXPECT_EQ(stream.GetWord(), (uint16_t{1500 % 256} << 8) | (1501 % 256));
    EXPECT_THROW(stream.Skip(2000), Error);
}

TEST(JpegInputStream, MemorySourceStopsAtTheEndOfItsBlock) {
    const std::vector<uint8_t> bytes = Counting(10);
    kv::IQZStreamMem stream(bytes.data(), 6);
    uint8_t out[16];
    EXPECT_EQ(stream.Read(out, 4), 4);
    EXPECT_EQ(stream.Read(out, 16), 2);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(stream.Read(out, 16), 0);
}

// A sink that records how the buffered stream hands its bytes on.
class RecordingSink : public SlimJpeg::OStream {
public:
    void Write(const uint8_t* data, size_t count) override {
        writes.push_back(count);
        bytes.insert(bytes.end(), data, data + count);
    }
    void Close() override { ++closes; }
    std::vector<size_t> writes;
    std::vector<uint8_t> bytes;
    int closes = 0;
};

TEST(JpegOutputStream, WritesFullBuffersThenTheRestOnFinish) {
    RecordingSink sink;
    const std::vector<uint8_t> block = Counting(2500);
    sink.PutByte(0xAB);
    sink.PutBytes(block.data(), block.size());
    sink.PutWord(0x1234);
    EXPECT_EQ(sink.writes, (std::vector<size_t>{1024, 1024}));
    EXPECT_EQ(sink.closes, 0);
    sink.Finish();
    EXPECT_EQ(sink.writes, (std::vector<size_t>{1024, 1024, 455}));
    EXPECT_EQ(sink.closes, 1);
    ASSERT_EQ(sink.bytes.size(), 2503u);
    EXPECT_EQ(sink.bytes[0], 0xAB);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), sink.bytes.begin() + 1));
    EXPECT_EQ(sink.bytes[2501], 0x12);
    EXPECT_EQ(sink.bytes[2502], 0x34);
}

TEST(JpegOutputStream, NothingReachesTheSinkWithoutFinish) {
    RecordingSink* sink = new RecordingSink;
    sink->PutBytes("abc", 3);
    const std::vector<size_t> writes = sink->writes;
    delete sink;
    EXPECT_TRUE(writes.empty());
}

TEST(JpegOutputStream, MemoryFileCollectsEverything) {
    kv::OQZStream stream;
    const std::vector<uint8_t> block = Counting(3000);
    stream.PutBytes(block.data(), block.size());
    stream.Finish();
    EXPECT_EQ(stream.bytes(), block);
    EXPECT_EQ(stream.totalWritten(), 3000u);
}

}  // namespace
