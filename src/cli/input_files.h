// The files a batch run works on: the files named on the command line, and the readable image
// files of the folders named there (of their sub-folders too with -r).
#pragma once

#include <string>
#include <vector>

namespace velanox::cli {

struct InputFile {
    std::string path;
    /// The folder below the named INPUT folder that holds the file ("" for named files and the
    /// folder's own files), so that a folder-to-folder run keeps the tree.
    std::string relativeFolder;
};

struct InputListing {
    std::vector<InputFile> files;
    std::vector<std::string> errors; ///< one line per INPUT that is neither a file nor a folder
};

/// A named file is taken whatever its extension (its content decides); in folders only files
/// whose extension a reader claims are taken (the format table's, PhotoCD's and the camera raw
/// list of the Open dialog), and not the program's own results ("_NR" in the name, as folder
/// stepping passes them over), so that a second run over a folder does not process the first
/// run's outputs again. Each folder is listed in name order; a file named twice is taken once.
InputListing enumerateInputs(const std::vector<std::string>& inputs, bool recursive);

/// Whether a file name's extension is one the readers claim (case-insensitive).
bool isReadableImageName(const std::string& path);

} // namespace velanox::cli
