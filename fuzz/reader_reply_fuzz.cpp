// The program's side of the contained reader's protocol: a reply and a memory file as a hostile
// child could send them. Whatever arrives, the program refuses it with a reason or takes a
// picture that agrees with its size; it never reads outside the memory file.
#include "codec/contained_reader.h"
#include "codec/reader_reply.h"

#include "fuzz_reader.h"

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    // The first byte says what the memory file is: its size as a share of the input's rest,
    // whether it is sealed, or no file at all.
    const uint8_t kind = data[0];
    uint32_t fileBytes;
    std::memcpy(&fileBytes, data + 1, 4);
    fileBytes %= 1u << 22;
    const codec::ByteSpan reply{data + 5, size - 5};
    int fd = -1;
    if (kind & 1) {
        fd = ::memfd_create("fuzz", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd < 0 || ::ftruncate(fd, off_t(fileBytes)) != 0) std::abort();
        if (kind & 2) ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    }
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    codec::Picture picture;
    const codec::Status status = codec::acceptReply(reply, fd, options.limits, picture);
    fuzz::checkRead(status, picture, options);
    if (status.ok()) {
        // Every pixel byte lies in the mapping.
        volatile uint8_t sum = 0;
        for (std::size_t i = 0; i < picture.pixelBytes(); i += 4096)
            sum = uint8_t(sum + picture.pixels()[i]);
        (void)sum;
    }
    return 0;
}
