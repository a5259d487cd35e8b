// The boot loader's side of the frame protocol and the NOR flash behind it.
#include "board.h"
#include "kit.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace stovesim;
using namespace stovesim::test;
using namespace std::chrono_literals;

namespace {

EngineConfig bootConfig() {
    EngineConfig c;
    c.model = Model::Basic;
    c.bootLoader = true;
    return c;
}

class BootLoader : public ::testing::Test {
protected:
    Board board{bootConfig()};

    std::optional<Bytes> exchange(const Bytes &frame, Millis *delay = nullptr) {
        auto out = board.send(frame);
        if (out.empty()) return std::nullopt;
        if (delay) *delay = out.back().delay;
        return out.back().reply;
    }
    Bytes read(std::uint32_t address, std::uint8_t length) {
        auto r = exchange(frame(0x00, address, length));
        if (!r || r->size() != length + 12u) return {};
        return Bytes(r->begin() + 11, r->end() - 1);
    }
};

} // namespace

TEST_F(BootLoader, ReadReplyLayout) {
    auto reply = exchange(frame(0x00, 0x41F8, 32));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 44u);
    const Bytes head(reply->begin(), reply->begin() + 11);
    EXPECT_EQ(head, Bytes({0x55, 0xAA, 0x00, 0x01, 0x00, 0x20, 0x00, 0x00, 0x41, 0xF8, 0x59}));
    EXPECT_EQ((*reply)[43], std::uint8_t(std::accumulate(reply->begin() + 11, reply->begin() + 43, 0u)));
    EXPECT_EQ(read(0x80A0, 32).size(), 32u);
    EXPECT_EQ(read(0x13FE0, 32).size(), 32u); // the program area reaches 0x13FFF and beyond
    // Above the address space there is nothing to read.
    EXPECT_FALSE(exchange(frame(0x00, 0x100000, 4)));
}

TEST_F(BootLoader, NorFlashEraseProgramAndReadBack) {
    // Writing without erasing only clears bits.
    const Bytes before = read(0x8000, 8);
    ASSERT_TRUE(exchange(frame(0x04, 0x8000, 8, Bytes(8, 0xA5))));
    const Bytes after = read(0x8000, 8);
    ASSERT_EQ(after.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(after[i], before[i] & 0xA5);

    // The erase request of the link library for sector 10, byte for byte: answered after a while,
    // during which the loader hears nothing.
    const Bytes erase10 = {0x55, 0xAA, 0x00, 0x01, 0x05, 0x02, 0x00,
                           0x00, 0x00, 0x00, 0x07, 0x00, 0x0A, 0x0A};
    Millis delay{};
    auto reply = exchange(erase10, &delay);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, Bytes(erase10.begin(), erase10.begin() + 11));
    EXPECT_GE(delay, 1000ms);
    EXPECT_LE(delay, 3000ms);
    board.wait(500ms);
    EXPECT_FALSE(exchange(frame(0x00, 0xF0000, 4)));
    board.wait(delay);
    EXPECT_EQ(read(0xF0000, 16), Bytes(16, 0xFF));

    ASSERT_TRUE(exchange(frame(0x05, 0, 2, {0x00, 0x00}), &delay));
    board.wait(delay);
    const Bytes data = {0x12, 0x34, 0x56, 0x78, 0x9A};
    auto written = exchange(frame(0x04, 0x41F8, 5, data));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, frame(0x04, 0x41F8, 5)); // the header repeated
    EXPECT_EQ(read(0x41F8, 5), data);
    EXPECT_EQ(read(0x41FD, 3), Bytes(3, 0xFF));
    ASSERT_TRUE(exchange(frame(0x04, 0x41F8, 2, {0xF0, 0x0F})));
    EXPECT_EQ(read(0x41F8, 2), Bytes({0x10, 0x04}));
}

TEST_F(BootLoader, BadFramesAreIgnored) {
    Bytes bad = frame(0x00, 0x41F8, 4);
    bad[10] ^= 1;
    EXPECT_FALSE(exchange(bad));
    Bytes badData = frame(0x04, 0x41F8, 2, {1, 2});
    badData.back() ^= 1;
    EXPECT_FALSE(exchange(badData));
    EXPECT_FALSE(exchange(frame(0x04, 0x20000, 2, {1, 2}))); // outside every sector
    EXPECT_FALSE(exchange(frame(0x05, 0, 2, {0x00, 0x05}))); // no sector 5
    EXPECT_FALSE(exchange(frame(0x05, 0, 2, {0x01, 0x00})));
    EXPECT_FALSE(exchange(frame(0x0C, 0, 0)));
    // Noise before a frame, and a frame split over several chunks, still work.
    Bytes noisy = {0x00, 0x13, 0x55};
    const Bytes good = frame(0x00, 0x80A0, 3);
    noisy.insert(noisy.end(), good.begin(), good.end());
    EXPECT_EQ(exchange(noisy)->size(), 15u);
    EXPECT_TRUE(board.send(Bytes(good.begin(), good.begin() + 5)).empty());
    EXPECT_EQ(exchange(Bytes(good.begin() + 5, good.end()))->size(), 15u);
    // A stale partial frame is dropped after a pause.
    board.send(Bytes(good.begin(), good.begin() + 7));
    board.wait(1s);
    EXPECT_EQ(exchange(good)->size(), 15u);
}

TEST_F(BootLoader, TextCommandsAreNotHeardAndModesSwitch) {
    EXPECT_FALSE(board.ask("MODELLO\r"));
    EXPECT_EQ(board.control("normal"), "ok normal mode");
    EXPECT_TRUE(board.ask("MODELLO\r"));
    EXPECT_FALSE(exchange(frame(0x00, 0x41F8, 4)));
    EXPECT_EQ(board.control("bootloader"), "ok bootloader mode");
    EXPECT_EQ(read(0x41F8, 4).size(), 4u);
}

TEST(FlashImage, DumpCoversTheAddressSpace) {
    Flash flash;
    ASSERT_TRUE(flash.erase(0));
    ASSERT_TRUE(flash.program(0x100, Bytes{1, 2, 3}));
    const Bytes image = flash.image();
    ASSERT_EQ(image.size(), 0x100000u);
    EXPECT_EQ(image[0x100], 1);
    EXPECT_EQ(image[0x102], 3);
    EXPECT_EQ(image[0x103], 0xFF);
    EXPECT_EQ(image[0x50000], 0xFF); // unmapped
    EXPECT_EQ(image[0x10000], Flash::initialByte(0x10000));
}
