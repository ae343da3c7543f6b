#include "library_message.h"

#include <cctype>
#include <cstring>

namespace vsthost {

std::string libraryMessage(const char* text) {
    std::string message = text != nullptr ? text : "";
    for (const char* prefix : {"Error : ", "Error: "})
        if (message.rfind(prefix, 0) == 0) message.erase(0, std::strlen(prefix));
    while (!message.empty() && (message.back() == '.' || std::isspace(static_cast<unsigned char>(message.back()))))
        message.pop_back();
    // A capital that only starts libsndfile's sentence, not a name like "FLAC".
    if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
        std::islower(static_cast<unsigned char>(message[1])))
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    return message.empty() ? "no reason given" : message;
}

}  // namespace vsthost
