// A file named on the command line. The publisher named it, so a link there is
// followed here, once, by the host's own rules; the tool then opens the file
// it leads to as a regular file, so that a pipe or a device fails at once
// instead of making the command wait for a writer.
#pragma once
#include <string>

// The path of the file `utf8` leads to, links resolved (UTF-8); `utf8` itself
// when it leads nowhere, so that the open reports it missing.
std::string resolve_named_file(const std::string& utf8);
