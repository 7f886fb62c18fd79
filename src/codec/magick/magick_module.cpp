// The module of Targa, PCX, Photoshop, WBMP and PhotoCD, and the reading of bitmaps, through
// ImageMagick.
#include "codec/bmp/bmp_codec.h"
#include "codec/codec_module.h"
#include "codec/magick/magick_codec.h"

namespace velanox::codec {

const CodecModule& magickCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatTarga, readTarga, writeTarga}, {kFormatTarga8, readTarga, writeTarga},
        {kFormatPcx, readPcx, writePcx},       {kFormatPcx8, readPcx, writePcx},
        {kFormatPsd, readPsd, writePsd},       {kFormatPsd8, readPsd, writePsd},
        {kFormatWbmp, readWbmp, writeWbmp},    {kFormatPhotoCd, readPhotoCd, nullptr},
        {kFormatBmp, readBmp, nullptr},        {kFormatBmp8, readBmp, nullptr},
        {kFormatBmp1, readBmp, nullptr},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "magick", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
