// The module of Enhanced Metafiles (cairo) and Windows Metafiles (ImageMagick's WMF coder).
#include "codec/codec_module.h"
#include "codec/metafile/metafile_codec.h"

namespace velanox::codec {

const CodecModule& metafileCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatEmf, readEmf, writeEmf},
        {kFormatWmf, readWmf, writeWmf},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "metafile", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
