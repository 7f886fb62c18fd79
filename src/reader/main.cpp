// velanox-nr-reader: reads pictures for the desktop program and the batch tool, contained.
// With --serve it is the reader service (reader/service.h): started once per program, it forks
// a child per file. Otherwise it reads one file itself: the file open as descriptor 3, the
// reply socket as descriptor 4, the arguments of reader/read_file.h.
#include "codec/contained_reader_protocol.h"
#include "reader/read_file.h"
#include "reader/service.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    using namespace velanox::reader;
    if (argc == 2 && std::strcmp(argv[1], "--serve") == 0)
        std::_Exit(serve(velanox::codec::kServiceControlDescriptor, readFile));
    // Nothing to tidy up: the parent maps the pixels and removes the temporaries.
    std::_Exit(readFile(argc, argv));
}
