// Feeds arbitrary client bytes to the board engine. The first byte picks the model, the starting
// mode and the chunking; the rest arrives in chunks with the clock moving on between them, so
// line and frame reassembly, gaps and mode switches are all exercised.
#include "engine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1) return 0;
    using namespace stovesim;
    EngineConfig config;
    config.model = static_cast<Model>(1 + data[0] % 3);
    config.bootLoader = data[0] & 0x04;
    Engine engine(config);
    const std::size_t chunk = 1 + (data[0] >> 3);
    Clock::time_point now{};
    std::vector<Exchange> out;
    for (std::size_t pos = 1; pos < size; pos += chunk) {
        const std::size_t n = std::min(chunk, size - pos);
        engine.receive(std::span(data + pos, n), now, out);
        now += std::chrono::milliseconds((data[pos] & 7) * 400); // sometimes past the line gap
        for (const Exchange &ex : out)
            if (ex.reply && ex.reply->size() > 300) __builtin_trap();
        out.clear();
    }
    return 0;
}
