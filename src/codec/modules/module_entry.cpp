// The one entry point of a codec module (built once per family, VELANOX_CODEC_MODULE naming the
// family's CodecModule function).
#include "codec/codec_module.h"

extern "C" __attribute__((visibility("default"))) const velanox::codec::CodecModule*
velanox_codec_module() {
    return &velanox::codec::VELANOX_CODEC_MODULE();
}
