// Where VST 2.4 plug-ins are installed: the folders of VST_PATH when it is
// set (colon separated), otherwise ~/.vst, /usr/lib/vst, /usr/local/lib/vst
// and the system's multiarch folder; and every library (*.so) in them and in
// their subfolders. Whether a library is a VST 2.4 plug-in shows only once it
// is opened: see vst2_description.h.
#pragma once

#include <string>
#include <vector>

namespace vsthost {

std::vector<std::string> vst2Folders();

// Every *.so under the folders, each file once however many ways lead to it
// (symbolic links, a folder named twice), in the order found; folders that
// do not exist or cannot be read are passed over.
std::vector<std::string> vst2Libraries(const std::vector<std::string>& folders);

}  // namespace vsthost
