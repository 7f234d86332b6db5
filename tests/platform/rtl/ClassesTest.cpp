#include "platform/rtl/Classes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Counts the reallocation steps and keeps the block at exactly the capacity asked for.
class TCountingStream : public TMemoryStream {
public:
    ~TCountingStream() override { Clear(); }
    int steps = 0;

protected:
    void* ReallocateBlock(std::int64_t& newCapacity) override {
        ++steps;
        if (newCapacity == Capacity())
            return Memory();
        void* block =
            newCapacity > 0 ? std::malloc(static_cast<std::size_t>(newCapacity)) : nullptr;
        if (block && Capacity() > 0)
            std::memcpy(block, Memory(),
                        static_cast<std::size_t>(std::min(Capacity(), newCapacity)));
        std::free(Memory());
        return block;
    }
};

TEST(MemoryStream, GrowsInSteps) {
    TMemoryStream stream;
    EXPECT_EQ(stream.Memory(), nullptr);
    stream.WriteBuffer("abc", 3);
    EXPECT_EQ(stream.Capacity(), 8192);
    const QByteArray big(9000, 'x');
    stream.WriteBuffer(big.constData(), big.size());
    EXPECT_EQ(stream.Capacity(), 16384);
    EXPECT_EQ(stream.bytes(), QByteArray("abc") + big);
    stream.SetSize(2);
    EXPECT_EQ(stream.Capacity(), 8192);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(stream.bytes(), "ab");
    stream.Clear();
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, GapsReadAsZeros) {
    TMemoryStream stream(QByteArray("ab"));
    EXPECT_EQ(stream.Position(), 0);
    stream.SetPosition(4);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(stream.bytes(), QByteArray("ab\0\0z", 5));
    stream.SetSize(7);
    EXPECT_EQ(stream.bytes(), QByteArray("ab\0\0z\0\0", 7));
}

TEST(MemoryStream, EveryCapacityChangeGoesThroughTheReallocationStep) {
    auto stream = std::make_unique<TCountingStream>();
    stream->WriteBuffer("abcde", 5);
    EXPECT_EQ(stream->steps, 1);
    EXPECT_EQ(stream->Capacity(), 5);
    stream->WriteBuffer("fg", 2);
    EXPECT_EQ(stream->steps, 2);
    EXPECT_EQ(stream->bytes(), "abcdefg");
    stream->SetSize(3);
    EXPECT_EQ(stream->steps, 3);
    EXPECT_EQ(stream->Capacity(), 3);
    EXPECT_EQ(stream->bytes(), "abc");
    stream.reset(); // its block goes back through its own step (leak-checked under ASan)
}

} // namespace
