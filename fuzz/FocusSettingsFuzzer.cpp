// The Focus settings: effect, opacities, blur and fade, stored as one document.
#include "FuzzTarget.hpp"
#include "focus/SpotlightModel.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto model = SpotlightModel::decoded(Data(data, data + size));
    if (!model) return 0;
    const auto encoded = model->encoded();
    fuzz::check(encoded.has_value(), "decoded Focus settings cannot be encoded");
    fuzz::check(SpotlightModel::decoded(*encoded) == model,
                "encoded Focus settings do not decode as themselves");
    (void)SpotlightModel::clampedFadeDuration(model->fadeDuration);
    return 0;
}
