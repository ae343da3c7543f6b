// Where a render writes, checked before anything loads: the audio output and
// the picture, never a file the render reads, never a directory, an existing
// file only with --overwrite, and only into a directory that takes files. A
// symbolic link stands for the file it leads to. A FIFO or a character
// device as OUT is written into as standard output is; nothing else that is
// not a regular file is written at all.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace vsthost {

// A file the render reads: the input, the side-chain, an automation file.
struct ReadFile {
    std::string role;  // "input", "side-chain", "automation file"
    std::string path;
};

// Checks OUT and answers the container to write: --format's when given,
// else the extension's. "-" (standard output), a FIFO and a character device
// need a format that streams.
int checkOutput(const RenderSettingsOptions& options, const std::vector<ReadFile>& reads);

// Checks the picture output, a .png.
void checkPictureOutput(const RenderSettingsOptions& options, const std::vector<ReadFile>& reads);

// How a failure message ends for a render into OUT: "; nothing was written to 'out.wav'".
std::string nothingWrittenTo(const RenderSettingsOptions& options);

}  // namespace vsthost
