#include "document/csotavo_doc.h"

namespace velanox::document {

CSotavoDoc::CSotavoDoc(Host& host, const DocumentSettings& settings)
    : m_host(host), m_storeCropAspect(settings.storeCropAspect) {
    jpeg.jpegQualitySetting = settings.JPGq;
    jpeg.enhancedSamplingSetting = settings.JPGES;
    crop.cropAspect = settings.CropAspect;
    memory = settings.memory;
}

CSotavoDoc::~CSotavoDoc() {
    if (m_storeCropAspect) m_storeCropAspect(crop.cropAspect);
}

} // namespace velanox::document
