// Where build may write its updater. The output and its temporary name
// "<out>.tmp" are replaced as names, so either one naming a file the build
// reads would destroy that input: the stub, a base list or a file of a source
// or base folder.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

// "" when `out` (as given, UTF-8) lies in an existing folder, is no folder
// itself, and neither it nor its temporary name is one of `inputs` (the same
// file by device and inode, or the same path when one does not exist yet);
// else the refusal, naming the input.
std::string check_output(const std::string& out, const std::vector<std::filesystem::path>& inputs);
