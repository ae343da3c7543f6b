// A file written whole under a temporary name beside where it goes and then
// renamed onto it: a symbolic link is followed to the file it names, so the
// link stays a link, and a file that is replaced keeps its mode and owner.
#pragma once

#include <optional>
#include <string>

namespace vsthost {

// Where the rename lands: the path itself, or for a symbolic link the file it
// leads to. Nothing when the link leads nowhere (errno says why).
std::optional<std::string> renameTarget(const std::string& path);

// Makes the temporary file beside `target`, with the rights `target` has when
// it exists and the usual ones otherwise. Answers its descriptor and fills
// `temporary` with its name, or answers -1 with errno set.
int makeTemporaryBeside(const std::string& target, std::string& temporary);

}  // namespace vsthost
