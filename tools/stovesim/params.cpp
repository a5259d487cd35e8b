#include "params.h"

#include <charconv>
#include <vector>

namespace stovesim {
namespace {

constexpr int kMaxWire = 999; // three decimal digits on the wire

int tableIndex(Table table) {
    return table == Table::General ? 0 : 1;
}

bool number(std::string_view text, int &value) {
    if (text.empty() || text.size() > 6) return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size() && out.size() < 8) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r'))
            ++pos;
        std::size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        if (end > pos) out.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

ParameterStore::ParameterStore(Model model) : m_model(model) {
    restoreDefaults();
}

bool ParameterStore::inCatalogue(Table table, int index) const {
    return stovesim::inCatalogue(m_model, static_cast<int>(table), index);
}

const ParamDef *ParameterStore::wholeEntry(Table table, int index) const {
    for (const ParamDef &def : catalogue(m_model))
        if (def.table == static_cast<int>(table) && def.index == index && def.bit == 255) return &def;
    return nullptr;
}

bool ParameterStore::isFlagsWord(Table table, int index) const {
    return inCatalogue(table, index) && wholeEntry(table, index) == nullptr;
}

bool ParameterStore::exists(Table table, int index) const {
    if (index < 0 || index >= kIndexes) return false;
    if (inCatalogue(table, index)) return true;
    if (table == Table::Technical && index == kResetRegister) return true;
    return table == Table::Technical && index == kBootRegister && m_model == Model::Basic;
}

bool ParameterStore::selectBank(int bank) {
    if (!hasBanks() || bank < 1 || bank > kBanks) return false;
    m_bank = bank;
    return true;
}

bool ParameterStore::read(Table table, int index, int &value) const {
    if (!exists(table, index)) return false;
    if (table == Table::Technical && !inCatalogue(table, index)) {
        value = index == kResetRegister ? m_resetRegister : m_bootRegister;
        return true;
    }
    value = m_banks[m_bank - 1].values[tableIndex(table)][index];
    return true;
}

bool ParameterStore::range(Table table, int index, int &minimum, int &maximum) const {
    if (!exists(table, index)) return false;
    if (const ParamDef *def = wholeEntry(table, index)) {
        const RawRange &r = hubaActive() ? def->huba : def->standard;
        minimum = r.minimum;
        maximum = r.maximum;
    } else {
        // Flags words and the hidden registers hold one byte.
        minimum = 0;
        maximum = 255;
    }
    return true;
}

bool ParameterStore::write(Table table, int index, int value) {
    int lo = 0, hi = 0;
    if (!range(table, index, lo, hi) || value < lo || value > hi) return false;
    return force(table, index, value);
}

bool ParameterStore::force(Table table, int index, int value) {
    if (!exists(table, index) || value < 0 || value > kMaxWire) return false;
    if (table == Table::Technical && !inCatalogue(table, index)) {
        (index == kResetRegister ? m_resetRegister : m_bootRegister) = value;
        return true;
    }
    m_banks[m_bank - 1].values[tableIndex(table)][index] = static_cast<std::int16_t>(value);
    return true;
}

bool ParameterStore::hubaActive() const {
    return setting(setting::ExtractorMode, 0) == 2;
}

int ParameterStore::setting(int textId, int fallback) const {
    const ParamDef *def = findSetting(m_model, textId);
    return def ? m_banks[m_bank - 1].values[def->table][def->index] : fallback;
}

bool ParameterStore::flag(int textId) const {
    for (const ParamDef &def : catalogue(m_model))
        if (def.textId == textId && def.bit != 255)
            return (m_banks[m_bank - 1].values[def.table][def.index] >> def.bit) & 1;
    return false;
}

void ParameterStore::restoreDefaults() {
    Bank fresh{};
    for (const ParamDef &def : catalogue(m_model)) {
        auto &slot = fresh.values[def.table][def.index];
        if (def.bit == 255)
            slot = static_cast<std::int16_t>(def.standard.defaultValue);
        else if (def.standard.defaultValue)
            slot = static_cast<std::int16_t>(slot | (1 << def.bit));
    }
    m_banks.fill(fresh);
    m_bank = 1;
    clearRequests();
}

std::string ParameterStore::serialize() const {
    std::string out = "stovesim-parameters 1\nmodel ";
    out += modelKeyword(m_model);
    out += "\nbank " + std::to_string(m_bank) + "\n";
    for (int b = 0; b < (hasBanks() ? kBanks : 1); ++b) {
        for (int t = 0; t < 2; ++t)
            for (int i = 0; i < kIndexes; ++i)
                if (inCatalogue(static_cast<Table>(t), i))
                    out += "value " + std::to_string(b + 1) + (t ? " tec " : " gen ") + std::to_string(i) +
                           " " + std::to_string(m_banks[b].values[t][i]) + "\n";
    }
    return out;
}

bool ParameterStore::parse(std::string_view text) {
    if (text.size() > 1 << 20) return false;
    ParameterStore next(m_model);
    bool header = false, modelSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::vector<std::string_view> w = words(text.substr(pos, end - pos));
        pos = end + 1;
        if (w.empty() || w[0].front() == '#') continue;
        int a = 0, b = 0, c = 0;
        if (w[0] == "stovesim-parameters" && w.size() == 2 && w[1] == "1") {
            header = true;
        } else if (w[0] == "model" && w.size() == 2) {
            Model m;
            if (!parseModel(w[1], m) || m != m_model) return false;
            modelSeen = true;
        } else if (w[0] == "bank" && w.size() == 2 && number(w[1], a)) {
            if (a != 1 && !next.selectBank(a)) return false;
        } else if (w[0] == "value" && w.size() == 5 && number(w[1], a) && number(w[3], b) &&
                   number(w[4], c)) {
            if (a < 1 || a > (hasBanks() ? kBanks : 1) || (w[2] != "gen" && w[2] != "tec")) return false;
            const Table table = w[2] == "gen" ? Table::General : Table::Technical;
            if (!next.inCatalogue(table, b) || c < 0 || c > kMaxWire) return false;
            next.m_banks[a - 1].values[tableIndex(table)][b] = static_cast<std::int16_t>(c);
        } else {
            return false;
        }
    }
    if (!header || !modelSeen) return false;
    *this = next;
    return true;
}

} // namespace stovesim
