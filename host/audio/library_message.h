// libsndfile's error texts as part of a sentence of ours: "Error : flac
// decoder lost sync." reads "flac decoder lost sync".
#pragma once

#include <string>

namespace vsthost {

std::string libraryMessage(const char* text);

}  // namespace vsthost
