#include "cli/commands.h"

namespace brenvik::cli {

std::vector<ExternalCommand> externalCommands() {
    return {};
}

} // namespace brenvik::cli
