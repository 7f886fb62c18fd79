#include "codec/codec_module.h"

#include "files/file_io.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include <dlfcn.h>
#include <unistd.h>

namespace velanox::codec {

namespace {

constexpr const char* kNotInstalled = "The reader for this format is not installed.";

const char* familyName(CodecFamily family) {
    switch (family) {
    case CodecFamily::Magick:
        return "magick";
    case CodecFamily::Metafile:
        return "metafile";
    case CodecFamily::Heif:
        return "heif";
    case CodecFamily::Avif:
        return "avif";
    case CodecFamily::Webp:
        return "webp";
    case CodecFamily::Jxl:
        return "jxl";
    }
    return "";
}

struct Slot {
    std::atomic<const CodecModule*> builtIn{nullptr};
    std::once_flag once;
    const CodecModule* loaded = nullptr;
    Status status;
};

std::array<Slot, kCodecFamilyCount>& slots() {
    static std::array<Slot, kCodecFamilyCount> all;
    return all;
}

// The first line of what the dynamic loader said, without the folder of the module.
std::string loaderMessage(const std::string& path) {
    const char* error = ::dlerror();
    std::string text = error ? error : "unknown error";
    if (const std::size_t at = text.find(path); at != std::string::npos)
        text.replace(at, path.size(), path.substr(path.rfind('/') + 1));
    return text.substr(0, text.find('\n'));
}

} // namespace

std::string codecModuleFileName(CodecFamily family) {
    return std::string("velanox-codec-") + familyName(family) + ".so";
}

bool codecFamilyOf(uint32_t formatId, CodecFamily& family) {
    switch (formatId) {
    case kFormatBmp:
    case kFormatBmp8:
    case kFormatBmp1:
        // The bitmap writer is the core's own; only reading goes through ImageMagick.
    case kFormatPcx:
    case kFormatPcx8:
    case kFormatTarga:
    case kFormatTarga8:
    case kFormatPsd:
    case kFormatPsd8:
    case kFormatWbmp:
    case kFormatPhotoCd:
        family = CodecFamily::Magick;
        return true;
    case kFormatWmf:
    case kFormatEmf:
        family = CodecFamily::Metafile;
        return true;
    case kFormatHeif:
        family = CodecFamily::Heif;
        return true;
    case kFormatAvif:
        family = CodecFamily::Avif;
        return true;
    case kFormatWebp:
        family = CodecFamily::Webp;
        return true;
    case kFormatJxl:
        family = CodecFamily::Jxl;
        return true;
    default:
        return false;
    }
}

std::vector<std::string> codecModuleFolders() {
    std::vector<std::string> folders;
    const std::string program = files::folderOfExecutable();
    if (!program.empty()) {
        folders.push_back(program);
        folders.push_back(program + "/../libexec/velanox-nr");
    }
#ifdef VELANOX_CODEC_MODULE_BUILD_DIR
    folders.push_back(VELANOX_CODEC_MODULE_BUILD_DIR);
#endif
    return folders;
}

Status openCodecModule(const std::string& path, const CodecModule*& out) {
    out = nullptr;
    // Never closed: the functions it hands out stay in use until the program ends.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return Status::failure(core::StatusCode::NoReader,
                               "The reader for this format cannot be loaded (" +
                                   loaderMessage(path) + ").");
    using Entry = const CodecModule* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "velanox_codec_module"));
    const CodecModule* module = entry ? entry() : nullptr;
    if (!module || !module->stamp || std::strcmp(module->stamp, kCodecModuleStamp) != 0 ||
        module->pictureSize != sizeof(Picture))
        return Status::failure(core::StatusCode::NoReader,
                               "The reader for this format belongs to another version of the "
                               "program.");
    out = module;
    return Status::success();
}

Status findCodecModule(CodecFamily family, const std::vector<std::string>& folders,
                       const CodecModule*& out) {
    out = nullptr;
    const std::string name = codecModuleFileName(family);
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + name;
        if (::access(path.c_str(), R_OK) == 0) return openCodecModule(path, out);
    }
    return Status::failure(core::StatusCode::NoReader, kNotInstalled);
}

Status codecModule(CodecFamily family, const CodecModule*& out) {
    Slot& slot = slots()[std::size_t(family)];
    if (const CodecModule* builtIn = slot.builtIn.load(std::memory_order_acquire)) {
        out = builtIn;
        return Status::success();
    }
    std::call_once(slot.once, [&] {
        slot.status = findCodecModule(family, codecModuleFolders(), slot.loaded);
    });
    out = slot.loaded;
    return slot.status;
}

Status moduleFormat(CodecFamily family, uint32_t formatId, const ModuleFormat*& out) {
    out = nullptr;
    const CodecModule* module = nullptr;
    if (Status s = codecModule(family, module); !s.ok()) return s;
    for (std::size_t i = 0; i < module->formatCount; ++i) {
        if (module->formats[i].id == formatId) {
            out = &module->formats[i];
            return Status::success();
        }
    }
    return Status::failure(core::StatusCode::NoReader, "No reader for this format.");
}

void preloadCodecModule(uint32_t formatId) {
    CodecFamily family;
    const CodecModule* module = nullptr;
    if (codecFamilyOf(formatId, family)) (void)codecModule(family, module);
}

void provideBuiltInCodecModule(CodecFamily family, const CodecModule& module) {
    slots()[std::size_t(family)].builtIn.store(&module, std::memory_order_release);
}

} // namespace velanox::codec
