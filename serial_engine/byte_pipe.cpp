#include "serial_engine/byte_pipe.h"

#include <algorithm>
#include <cctype>

namespace brenvik::engine {

char channelOfDescription(std::string_view description) {
    std::string upper(description);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find(" A") != std::string::npos) {
        return 'A';
    }
    if (upper.find(" B") != std::string::npos) {
        return 'B';
    }
    return 0;
}

bool listedByAdapterLibrary(std::string_view description) {
    return description.ends_with(" A") || description.ends_with(" B");
}

} // namespace brenvik::engine
