// --files-from: inputs named in a file (or on standard input) rather than on the command line,
// for jobs whose list is too long for one.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace velanox::cli {

/// The names in a list: one per line (a trailing carriage return is dropped), or, when the text
/// holds a NUL byte, separated by NULs as `find -print0` writes them. Empty names are skipped;
/// every other byte, spaces included, belongs to the name.
std::vector<std::string> parseFileList(std::istream& in);

struct ListedInputs {
    std::vector<std::string> inputs; ///< the command line's INPUTs, then each list's names
    std::vector<std::string> errors; ///< one line per list that could not be read
};

/// The command line's INPUTs followed by the names in each list file, in the order given;
/// "-" reads standard input.
ListedInputs gatherInputs(const std::vector<std::string>& inputs,
                          const std::vector<std::string>& lists);

} // namespace velanox::cli
