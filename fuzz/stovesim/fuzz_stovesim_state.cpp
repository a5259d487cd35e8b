// Parses arbitrary text as a parameter state file; a parse that succeeds must round-trip.
#include "params.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace stovesim;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (Model model : {Model::Basic, Model::Water, Model::AirDucted}) {
        ParameterStore store(model);
        if (!store.parse(text)) continue;
        ParameterStore again(model);
        if (!again.parse(store.serialize()) || again.serialize() != store.serialize()) __builtin_trap();
    }
    return 0;
}
