// The board's parameter memory: four banks of general and technical tables (one bank on BASIC),
// the write rules of the firmware (raw range of the active extractor management group, flags
// words as plain bytes) and the text form kept in the state file.
#pragma once

#include "catalogue.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stovesim {

// The words of one line of the state file or the control channel, split at blanks, tabs and CR;
// at most eight, which is more than any line of either has.
std::vector<std::string_view> words(std::string_view line);

enum class Table : std::uint8_t { General = 0, Technical = 1 };

class ParameterStore {
public:
    static constexpr int kBanks = 4;
    static constexpr int kIndexes = 100; // board indexes are two decimal digits
    // Hidden technical registers: written, then acted on by the next store command.
    static constexpr int kResetRegister = 9; // 255 restores the factory values
    static constexpr int kResetCode = 255;
    static constexpr int kBootRegister = 8; // BASIC only: 250 reboots into the boot loader
    static constexpr int kBootCode = 250;

    explicit ParameterStore(Model model);

    Model model() const { return m_model; }
    bool hasBanks() const { return m_model != Model::Basic; }
    int bank() const { return m_bank; } // 1..4
    bool selectBank(int bank);

    // True for the indexes the model's firmware knows (catalogue entries and hidden registers).
    bool exists(Table table, int index) const;
    // The stored value of an existing index.
    bool read(Table table, int index, int &value) const;
    // Stores `value` if it lies in the index's raw range; returns false (nothing stored) otherwise.
    bool write(Table table, int index, int value);
    // Stores without a range check (control channel); `value` must be 0..999.
    bool force(Table table, int index, int value);

    // The extractor management selector picks the HUBA range group when it holds 2.
    bool hubaActive() const;
    // Current value of the setting identified by its text id (whole values only), or `fallback`.
    int setting(int textId, int fallback) const;
    // The flags-word bit of the setting `textId`, or false when the model has no such bit.
    bool flag(int textId) const;
    // Allowed raw range of an index under the current selector; false for unknown indexes.
    bool range(Table table, int index, int &minimum, int &maximum) const;

    void restoreDefaults();
    bool resetRequested() const { return m_resetRegister == kResetCode; }
    bool bootRequested() const { return m_model == Model::Basic && m_bootRegister == kBootCode; }
    void clearRequests() { m_resetRegister = m_bootRegister = 0; }

    // State file text; parse() accepts only text written for the same model and leaves the store
    // unchanged when it returns false.
    std::string serialize() const;
    bool parse(std::string_view text);

private:
    struct Bank {
        std::array<std::int16_t, kIndexes> values[2]{};
    };
    const ParamDef *wholeEntry(Table table, int index) const;
    bool isFlagsWord(Table table, int index) const;
    bool inCatalogue(Table table, int index) const;

    Model m_model;
    std::array<Bank, kBanks> m_banks{};
    int m_bank = 1;
    int m_resetRegister = 0;
    int m_bootRegister = 0;
};

} // namespace stovesim
