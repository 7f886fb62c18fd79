// Bitmap reading: the header is checked by the core's parser (bmp/bmp_codec), the pixels are
// decoded by ImageMagick, so the reader lives in the ImageMagick module.
#include "codec/bmp/bmp_codec.h"
#include "codec/magick/magick_image.h"

namespace velanox::codec {

Status readBmp(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    BmpHeader header;
    if (Status s = parseBmpHeader(bytes, header, options.limits); !s.ok()) return s;
    magick::ReadRequest request{"BMP", kFormatBmp, 0};
    if (header.bitsPerPixel == 1) {
        request.format = kFormatBmp1;
        request.paletteEntries = 2;
        request.packOneBit = true;
    } else if (header.bitsPerPixel <= 8) {
        request.format = kFormatBmp8;
        request.paletteEntries = 256;
    } else {
        request.compositeAlpha = header.alphaMask != 0;
    }
    Status status = magick::readImage(bytes, request, out, options.limits);
    if (!status.ok()) return status;
    if (out.width != header.width || out.height != header.height) {
        out.release();
        return Status::failure(core::StatusCode::Corrupt,
                               "Bitmap file: the decoded size differs from the header.");
    }
    if (header.xPixelsPerMetre > 0 && header.yPixelsPerMetre > 0) {
        out.info.xResolution = uint32_t(header.xPixelsPerMetre) / 100;
        out.info.yResolution = uint32_t(header.yPixelsPerMetre) / 100;
        out.info.resolutionUnit = 3;
    }
    return status;
}

} // namespace velanox::codec
