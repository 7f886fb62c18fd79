// The module of JPEG XL (libjxl).
#include "codec/codec_module.h"
#include "codec/jxl/jxl_codec.h"

namespace velanox::codec {

const CodecModule& jxlCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatJxl, readJxl, writeJxl},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "jxl", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
