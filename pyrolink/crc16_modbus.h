// CRC-16/MODBUS (initial 0xFFFF, reflected polynomial 0xA001, no final XOR), table driven. On the
// wire the low byte goes first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pyrolink {

namespace detail {
constexpr std::array<std::uint16_t, 256> makeCrc16ModbusTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = std::uint16_t(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
        table[i] = crc;
    }
    return table;
}
inline constexpr std::array<std::uint16_t, 256> kCrc16ModbusTable = makeCrc16ModbusTable();
} // namespace detail

constexpr std::uint16_t crc16Modbus(const std::uint8_t *data, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i)
        crc = std::uint16_t((crc >> 8) ^ detail::kCrc16ModbusTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

} // namespace pyrolink
