// Input values as the polling thread reports them: any model, input number and value give a short
// text (or none), and the digital inputs read only the listed bits.
#include "app/texts.h"
#include "hwtest/inputs.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const bool textsReady = (useDefaultTexts(), true);
    (void)textsReady;
    short input = 0, value = 0;
    if (size < 1 + sizeof input + sizeof value) return 0;
    const auto model = static_cast<StoveModel>(data[0] % 4);
    std::memcpy(&input, data + 1, sizeof input);
    std::memcpy(&value, data + 1 + sizeof input, sizeof value);
    // The longest text: a sign and six digits ((-32768 - 100) x 10), or a tenth with its point.
    constexpr int kLongestText = 8;
    if (hwtest::potentiometerText(value).size() > 3) std::abort();
    const std::optional<hwtest::InputRow> row = hwtest::findInputRow(model, input);
    if (!row) return 0;
    if (row->input != static_cast<unsigned short>(input)) std::abort();
    if (hwtest::inputText(row->format, value).size() > kLongestText) std::abort();
    if (row->format != hwtest::InputFormat::DigitalInputs) return 0;
    for (const hwtest::DigitalInput &bit : hwtest::digitalInputs(model))
        if (hwtest::digitalInputOn(value, bit.bit) !=
            (((static_cast<unsigned>(value) & 0xFFFFU) >> bit.bit) & 1U))
            std::abort();
    return 0;
}
