#include "document/csotavo_doc.h"

namespace velanox::document {

CSotavoDoc::CSotavoDoc(Host& host, const DocumentSettings& settings)
    : host_(host), storeCropAspect_(settings.storeCropAspect) {
    jpeg.jpegQualitySetting = settings.JPGq;
    jpeg.enhancedSamplingSetting = settings.JPGES;
    crop.cropAspect = settings.CropAspect;
    memory = settings.memory;
}

CSotavoDoc::~CSotavoDoc() {
    if (storeCropAspect_) storeCropAspect_(crop.cropAspect);
}

} // namespace velanox::document
