// The board's flash memory as the boot loader sees it. NOR semantics: an erased byte reads 0xFF and
// programming can only clear bits, so data written over unerased bytes reads back as the AND of old
// and new. Sectors 0 and 1 hold the program (0x00000..0x1FFFF), sectors 10 and 11 the data area
// (0xF0000..0xFFFFF). Other addresses below 1 MiB read as 0xFF and cannot be programmed. A worn
// cell keeps its bits set: programming it has no effect, so a read-back differs there.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace stovesim {

class Flash {
public:
    static constexpr std::uint32_t kAddressSpace = 0x100000;
    struct Sector {
        int number;
        std::uint32_t start;
        std::uint32_t size;
    };
    static std::span<const Sector> sectors();

    // Filled with a fixed "previous firmware" pattern, so that programming without erasing shows.
    Flash();

    bool read(std::uint32_t address, std::size_t count, std::vector<std::uint8_t> &out) const;
    // Clears bits; fails (nothing written) unless every byte lies in a sector.
    bool program(std::uint32_t address, std::span<const std::uint8_t> data);
    bool erase(int sector);
    bool mapped(std::uint32_t address, std::size_t count) const;
    // Marks the byte at `address` worn; false when it lies in no sector.
    bool wear(std::uint32_t address);
    // The whole address space, unmapped bytes as 0xFF: byte i of the image is address i.
    std::vector<std::uint8_t> image() const;

    static std::uint8_t initialByte(std::uint32_t address);

private:
    std::uint8_t *cell(std::uint32_t address);
    const std::uint8_t *cell(std::uint32_t address) const;
    std::vector<std::vector<std::uint8_t>> m_sectors;
    std::vector<std::uint32_t> m_worn;
};

} // namespace stovesim
