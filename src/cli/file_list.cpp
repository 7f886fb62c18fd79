#include "cli/file_list.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

namespace velanox::cli {

std::vector<std::string> parseFileList(std::istream& in) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const char separator = text.find('\0') != std::string::npos ? '\0' : '\n';
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        if (separator == '\n' && !name.empty() && name.back() == '\r') name.pop_back();
        if (!name.empty()) names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

ListedInputs gatherInputs(const std::vector<std::string>& inputs,
                          const std::vector<std::string>& lists) {
    ListedInputs listed;
    listed.inputs = inputs;
    for (const std::string& list : lists) {
        std::vector<std::string> names;
        if (list == "-") {
            names = parseFileList(std::cin);
        } else {
            std::ifstream file(list, std::ios::binary);
            if (!file) {
                listed.errors.push_back(list +
                                        ": cannot read the file list: " + std::strerror(errno));
                continue;
            }
            names = parseFileList(file);
            if (file.bad()) {
                listed.errors.push_back(list + ": cannot read the file list");
                continue;
            }
        }
        listed.inputs.insert(listed.inputs.end(), names.begin(), names.end());
    }
    return listed;
}

} // namespace velanox::cli
