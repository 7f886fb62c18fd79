// Colour profiles (.cpf) from arbitrary bytes: a refused file leaves the profile as it was; a
// read one encodes and decodes back to the same bytes.
#include "color/color_profile.h"

#include <cstdlib>
#include <vector>

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    color::ColorProfile profile;
    const color::ColorProfile untouched = profile;
    const core::Status status = color::decodeProfile({data, size}, profile);
    if (!status.ok()) {
        if (status.reason.empty()) std::abort();
        std::vector<uint8_t> a, b;
        if (color::encodeProfile(profile, a).ok() != color::encodeProfile(untouched, b).ok() ||
            a != b)
            std::abort();
        return 0;
    }
    std::vector<uint8_t> encoded;
    if (!color::encodeProfile(profile, encoded).ok()) return 0;
    color::ColorProfile again;
    if (!color::decodeProfile({encoded.data(), encoded.size()}, again).ok()) std::abort();
    std::vector<uint8_t> reencoded;
    if (!color::encodeProfile(again, reencoded).ok() || reencoded != encoded) std::abort();
    return 0;
}
