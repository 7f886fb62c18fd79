#include "document/csotavo_doc.h"

namespace velanox {

CSotavoDoc::CSotavoDoc(Host& host, const DocumentSettings& settings) : host_(host) {
    jpeg.jpegQualitySetting = settings.JPGq;
    jpeg.enhancedSamplingSetting = settings.JPGES;
    crop.cropAspect = settings.CropAspect;
    memory = settings.memory;
}

} // namespace velanox
