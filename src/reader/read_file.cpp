// Reading one file, contained: the work of a reader child (see read_file.h).
#include "reader/read_file.h"
#include "codec/codec_module.h"
#include "codec/magick/magick_runtime.h"
#include "codec/picture_load.h"
#include "codec/reader_reply.h"
#include "files/file_io.h"
#include "image/pixel_storage.h"
#include "reader/sandbox.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velanox::reader {

namespace {

constexpr int kInput = 3;
constexpr int kReply = 4;

struct Arguments {
    uint32_t cpuSeconds = 20;
    uint64_t memory = uint64_t(2) << 30;
    codec::LoadRequest request;
    std::string name = "picture";
    std::string folder; ///< private folder for temporaries and ImageMagick's policy
};

bool parse(int argc, char** argv, Arguments& a) {
    const auto number = [](const char* text, auto& value) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(text, &end, 10);
        if (errno || !end || *end || v < 0) return false;
        value = static_cast<std::remove_reference_t<decltype(value)>>(v);
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const int left = argc - i - 1;
        bool ok = left >= 1;
        if (option == "--cpu-seconds" && ok)
            ok = number(argv[++i], a.cpuSeconds);
        else if (option == "--memory" && ok)
            ok = number(argv[++i], a.memory);
        else if (option == "--format" && ok)
            ok = number(argv[++i], a.request.format);
        else if (option == "--page" && ok)
            ok = number(argv[++i], a.request.page);
        else if (option == "--preview" && left >= 2)
            ok = number(argv[++i], a.request.previewMaxWidth) &&
                 number(argv[++i], a.request.previewMaxHeight);
        else if (option == "--max-dimension" && ok)
            ok = number(argv[++i], a.request.limits.maxDimension);
        else if (option == "--max-pixels" && ok)
            ok = number(argv[++i], a.request.limits.maxPixels);
        else if (option == "--max-profile-bytes" && ok)
            ok = number(argv[++i], a.request.limits.maxProfileBytes);
        else if (option == "--budget" && left >= 6)
            ok = number(argv[++i], a.request.limits.budget.budgetBytes) &&
                 number(argv[++i], a.request.limits.budget.fixedBytes) &&
                 number(argv[++i], a.request.limits.budget.bytesPerPixel) &&
                 number(argv[++i], a.request.limits.budget.blockWidth) &&
                 number(argv[++i], a.request.limits.budget.blockHeight) &&
                 number(argv[++i], a.request.limits.budget.bytesPerBlockPixel);
        else if (option == "--name" && ok)
            a.name = argv[++i];
        else if (option == "--folder" && ok)
            a.folder = argv[++i];
        else
            ok = false;
        if (!ok) return false;
    }
    return true;
}

bool send(const std::vector<uint8_t>& reply, int memoryFile) {
    iovec io{const_cast<uint8_t*>(reply.data()), reply.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    if (memoryFile >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &memoryFile, sizeof memoryFile);
    }
    ssize_t n;
    do {
        n = ::sendmsg(kReply, &message, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n == ssize_t(reply.size());
}

int fail(const codec::Status& status) {
    send(codec::encodeReply(status, nullptr), -1);
    return 1;
}

int run(int argc, char** argv) {
    Arguments args;
    if (!parse(argc, argv, args))
        return fail(
            codec::Status::failure(core::StatusCode::CannotOpen, "The reader was misused."));
    // The address space covers the libraries and threads beside the budget for pixels.
    constexpr uint64_t kProgramSpace = uint64_t(512) << 20;
    if (!limitResources(args.cpuSeconds, args.memory + kProgramSpace))
        return fail(codec::Status::failure(core::StatusCode::CannotOpen,
                                           "The reader cannot limit itself."));
    // Temporaries go to the private folder the program made for this read, where ImageMagick
    // also finds its policy file, written by the program.
    if (!args.folder.empty() && (::setenv("TMPDIR", args.folder.c_str(), 1) != 0 ||
                                 ::setenv("MAGICK_TEMPORARY_PATH", args.folder.c_str(), 1) != 0 ||
                                 ::setenv("MAGICK_CONFIGURE_PATH", args.folder.c_str(), 1) != 0))
        return fail(codec::Status::failure(core::StatusCode::CannotOpen,
                                           "The reader cannot limit itself."));
    const char* folder = std::getenv("MAGICK_CONFIGURE_PATH");
    // Its own time limit is left off: ImageMagick would end the process without a reply, where
    // the CPU limit's signal tells the parent what happened.
    codec::magick::configureMagick({args.memory, 0}, folder ? folder : "");
    std::vector<uint8_t> bytes;
    if (codec::Status s = files::readWholeFile(kInput, bytes); !s.ok()) return fail(s);
    ::close(kInput);
    // The module of the file's format (ImageMagick, libheif, ...) is loaded while the process
    // may still map libraries freely; the read reports it when it cannot be had. Only byte
    // checks look at the file before the filter is in place.
    const codec::ByteSpan span{bytes.data(), bytes.size()};
    codec::preloadCodecModule(args.request.format == codec::kFormatAuto
                                  ? codec::sniffFormat(span, args.name)
                                  : args.request.format);
    if (!installSystemCallFilter())
        return fail(codec::Status::failure(core::StatusCode::CannotOpen,
                                           "The reader cannot filter its system calls."));
    image::setPixelPlace(image::PixelPlace::MemoryFile);
    codec::Picture picture;
    const codec::Status status = codec::readPicture(span, args.name, args.request, picture);
    if (!status.ok()) return fail(status);
    bytes = {};
    // The colour profile follows the pixels in the memory file; then it is sealed.
    const int memoryFile = picture.pixelStorage().memoryFile();
    const std::vector<uint8_t>& profile = picture.info.iccProfile;
    const off_t end = off_t(picture.pixelBytes());
    const bool placed =
        memoryFile >= 0 &&
        (profile.empty() ||
         (::ftruncate(memoryFile, end + off_t(profile.size())) == 0 &&
          ::pwrite(memoryFile, profile.data(), profile.size(), end) == ssize_t(profile.size())));
    if (!placed || ::fcntl(memoryFile, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW) != 0)
        return fail(codec::Status::failure(core::StatusCode::OutOfMemory, "Not enough memory."));
    return send(codec::encodeReply(status, &picture), memoryFile) ? 0 : 1;
}
} // namespace

int readFile(int argc, char** argv) {
    int code = 1;
    try {
        code = run(argc, argv);
    } catch (const std::bad_alloc&) {
        code = fail(codec::Status::failure(core::StatusCode::OutOfMemory, "Not enough memory."));
    } catch (...) {
        code = 1;
    }
    return code;
}

} // namespace velanox::reader
