#include "flash.h"

#include <algorithm>

namespace stovesim {
namespace {

constexpr Flash::Sector kSectors[] = {
    {0, 0x00000, 0x10000},
    {1, 0x10000, 0x10000},
    {10, 0xF0000, 0x8000},
    {11, 0xF8000, 0x8000},
};

} // namespace

std::span<const Flash::Sector> Flash::sectors() {
    return kSectors;
}

std::uint8_t Flash::initialByte(std::uint32_t address) {
    // Never 0xFF everywhere, never constant: a stale image differs from both erased and new data.
    return static_cast<std::uint8_t>((address * 37u + (address >> 8) * 11u + 0x5Au) & 0x7Fu);
}

Flash::Flash() {
    for (const Sector &s : kSectors) {
        std::vector<std::uint8_t> bytes(s.size);
        for (std::uint32_t i = 0; i < s.size; ++i)
            bytes[i] = initialByte(s.start + i);
        m_sectors.push_back(std::move(bytes));
    }
}

std::uint8_t *Flash::cell(std::uint32_t address) {
    return const_cast<std::uint8_t *>(static_cast<const Flash *>(this)->cell(address));
}

const std::uint8_t *Flash::cell(std::uint32_t address) const {
    for (std::size_t i = 0; i < std::size(kSectors); ++i)
        if (address >= kSectors[i].start && address - kSectors[i].start < kSectors[i].size)
            return &m_sectors[i][address - kSectors[i].start];
    return nullptr;
}

bool Flash::mapped(std::uint32_t address, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i)
        if (address + i >= kAddressSpace || !cell(static_cast<std::uint32_t>(address + i))) return false;
    return true;
}

bool Flash::read(std::uint32_t address, std::size_t count, std::vector<std::uint8_t> &out) const {
    if (address >= kAddressSpace || count > kAddressSpace - address) return false;
    out.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t *c = cell(static_cast<std::uint32_t>(address + i));
        out.push_back(c ? *c : 0xFF);
    }
    return true;
}

bool Flash::program(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!mapped(address, data.size())) return false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto at = static_cast<std::uint32_t>(address + i);
        if (std::find(m_worn.begin(), m_worn.end(), at) == m_worn.end()) *cell(at) &= data[i];
    }
    return true;
}

bool Flash::wear(std::uint32_t address) {
    if (!mapped(address, 1)) return false;
    m_worn.push_back(address);
    return true;
}

bool Flash::erase(int sector) {
    for (std::size_t i = 0; i < std::size(kSectors); ++i) {
        if (kSectors[i].number == sector) {
            std::fill(m_sectors[i].begin(), m_sectors[i].end(), 0xFF);
            return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> Flash::image() const {
    std::vector<std::uint8_t> out(kAddressSpace, 0xFF);
    for (std::size_t i = 0; i < std::size(kSectors); ++i)
        std::copy(m_sectors[i].begin(), m_sectors[i].end(), out.begin() + kSectors[i].start);
    return out;
}

} // namespace stovesim
