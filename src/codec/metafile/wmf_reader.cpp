// Windows Metafiles are drawn by ImageMagick's WMF coder, which plays them with libwmf.
#include "codec/library_reason.h"
#include "codec/magick/magick_runtime.h"
#include "codec/metafile/byte_reader.h"
#include "codec/metafile/drawing_work.h"
#include "codec/metafile/metafile_codec.h"

#include <Magick++.h>

#include <cmath>
#include <exception>
#include <mutex>

namespace velanox::codec {
namespace {

// ImageMagick starts once for the whole codec layer, with its resource limits.
bool initialiseMagick() {
    return magick::ensureMagick();
}

// Reads the picture at the given density; ping only measures it.
void readAt(Magick::Image& image, const Magick::Blob& blob, double dpi, bool ping) {
    image.quiet(true); // warnings about unsupported records are not errors
    image.density(Magick::Geometry(std::to_string(dpi) + "x" + std::to_string(dpi)));
    image.magick("WMF");
    if (ping)
        image.ping(blob);
    else
        image.read(blob);
}

} // namespace

Status readWmf(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    if (!probeWmf(bytes))
        return Status::failure(core::StatusCode::Corrupt, "The file is not a Windows Metafile.");
    if (Status s = metafile::checkWmfWork(metafile::ByteReader(bytes.data, bytes.size)); !s.ok())
        return s;
    if (!initialiseMagick())
        return Status::failure(StatusCode::Unsupported,
                               "The Windows Metafile reader cannot start.");
    try {
        const Magick::Blob blob(bytes.data, bytes.size);
        Magick::Image measured;
        readAt(measured, blob, kMetafileDpi, true);
        const double inchesW = double(measured.columns()) / kMetafileDpi;
        const double inchesH = double(measured.rows()) / kMetafileDpi;
        const metafile::RenderSize size = metafile::renderSizeForInches(inchesW, inchesH);
        if (size.width == 0)
            return Status::failure(StatusCode::Corrupt, "The metafile has no picture size.");
        if (Status s = checkSize(size.width, size.height, options.limits); !s.ok()) return s;

        // The coder sizes the picture from the density; ask for the one that gives our size.
        const double dpi = kMetafileDpi * std::max(size.width / (inchesW * kMetafileDpi),
                                                   size.height / (inchesH * kMetafileDpi));
        Magick::Image image;
        image.backgroundColor(Magick::Color("white"));
        readAt(image, blob, dpi, false);
        // The density's rounding may leave a pixel more or less: fit exactly.
        if (int(image.columns()) != size.width || int(image.rows()) != size.height) {
            Magick::Geometry exact(size.width, size.height);
            exact.aspect(true);
            image.resize(exact);
        }
        Magick::Image canvas(Magick::Geometry(size.width, size.height), Magick::Color("white"));
        canvas.composite(image, 0, 0, Magick::OverCompositeOp);

        Picture picture;
        if (!picture.allocate(size.width, size.height, 24).ok())
            return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
        canvas.write(0, 0, size.width, size.height, "RGB", Magick::CharPixel, picture.pixels());
        picture.info.format = kFormatWmf;
        picture.info.xResolution = picture.info.yResolution = uint32_t(kMetafileDpi);
        picture.info.resolutionUnit = 2;
        out.takeFrom(picture);
        return Status::success();
    } catch (const Magick::Exception& e) {
        return Status::failure(StatusCode::Corrupt, magickReason("Windows Metafile", e.what()));
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    } catch (const std::exception& e) {
        return Status::failure(StatusCode::Corrupt, magickReason("Windows Metafile", e.what()));
    }
}

} // namespace velanox::codec
