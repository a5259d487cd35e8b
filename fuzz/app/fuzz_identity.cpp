// The identity text: any reply bytes give fields of bounded length and a model code 0..3.
#include "board/stovemodel.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const int length = static_cast<int>(size < 64 ? size : 64);
    const QString text = identityText(reinterpret_cast<const char *>(data), length);
    if (text.size() > 22) std::abort();
    const Identity identity = parseIdentity(text);
    if (identity.version.size() > 5 || identity.revision.size() > 8) std::abort();
    const StoveModel model = modelFromName(identity.name);
    if (int(model) < 0 || int(model) > 3) std::abort();
    modelName(model, true);
    return 0;
}
