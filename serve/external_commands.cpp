#include "cli/commands.h"
#include "serve/command.h"

namespace brenvik::cli {

std::vector<ExternalCommand> externalCommands() {
    return {serve::serveCommand()};
}

} // namespace brenvik::cli
