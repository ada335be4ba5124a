#pragma once
// `brenvik serve`: polls the supplies and answers for them over HTTP (Linux build only).

#include "cli/commands.h"

namespace brenvik::serve {

cli::ExternalCommand serveCommand();

} // namespace brenvik::serve
