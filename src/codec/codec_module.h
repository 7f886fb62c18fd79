// The format families behind large libraries (ImageMagick, cairo, libheif, libavif, libwebp,
// libjxl) are shared modules, loaded the first time a file of theirs is read or written: a
// program that reads JPEGs never maps them. The format table's rows of these families forward
// to the module; the probes stay in the core, so detection never loads a module.
//
// A module exports one C function, velanox_codec_module(), that returns its CodecModule. Its
// code calls back into the core of the program that loads it (the programs export their
// symbols), so a module fits only the build it came from: the stamp checks that.
#pragma once

#include "codec/format_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velanox::codec {

/// One format id a module reads or writes.
struct ModuleFormat {
    uint32_t id;
    ReadFn read;   ///< null when the id is not read
    WriteFn write; ///< null when the id has no writer
};

/// What a module's entry point returns.
struct CodecModule {
    const char* stamp;       ///< kCodecModuleStamp of the build the module belongs to
    std::size_t pictureSize; ///< sizeof(Picture) where the module was built
    const char* name;        ///< "magick", "heif", ...
    const ModuleFormat* formats;
    std::size_t formatCount;
};

#ifndef VELANOX_CODEC_MODULE_STAMP
#define VELANOX_CODEC_MODULE_STAMP "unversioned"
#endif

/// The stamp of a build, compiled into the core and into every module: the program's version.
inline constexpr const char* kCodecModuleStamp = VELANOX_CODEC_MODULE_STAMP;

/// The families that live in modules.
enum class CodecFamily : int { Magick, Metafile, Heif, Avif, Webp, Jxl };
inline constexpr int kCodecFamilyCount = 6;

/// The module file of a family: "velanox-codec-magick.so".
std::string codecModuleFileName(CodecFamily family);

/// The family whose module reads or writes a format id; false for the formats of the core.
bool codecFamilyOf(uint32_t formatId, CodecFamily& family);

/// Where modules are looked for, in order: beside the running program, the installed
/// libexec/velanox-nr folder next to its bin folder, and the build folder's codecs folder.
std::vector<std::string> codecModuleFolders();

/// Opens one module file and checks its entry point and stamp.
Status openCodecModule(const std::string& path, const CodecModule*& out);

/// Looks for a family's module in the folders, first one found; the reason says "The reader for
/// this format is not installed." when no folder has it.
Status findCodecModule(CodecFamily family, const std::vector<std::string>& folders,
                       const CodecModule*& out);

/// The module of a family: the copy built into the program (test and fuzz programs), else the
/// module file, loaded once per process (thread-safe) from codecModuleFolders().
Status codecModule(CodecFamily family, const CodecModule*& out);

/// The entry of a format id in a family's module; the reason of codecModule() when it cannot
/// be had, or "No reader for this format." when the module does not know the id.
Status moduleFormat(CodecFamily family, uint32_t formatId, const ModuleFormat*& out);

/// Loads the module of a format now, if it has one (the contained reader does so before it
/// filters its system calls). Failures are kept for the read to report.
void preloadCodecModule(uint32_t formatId);

/// Programs linked with the families themselves hand them over here (codec/modules'
/// built-in list); such a family never loads its module file.
void provideBuiltInCodecModule(CodecFamily family, const CodecModule& module);

/// The families' modules, as each family defines them (in the family's own library).
const CodecModule& magickCodecModule();
const CodecModule& metafileCodecModule();
const CodecModule& heifCodecModule();
const CodecModule& avifCodecModule();
const CodecModule& webpCodecModule();
const CodecModule& jxlCodecModule();

} // namespace velanox::codec
