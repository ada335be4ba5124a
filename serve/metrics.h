#pragma once
// The supplies in the Prometheus text exposition format (version 0.0.4).
//
// Readings are gauges named with their unit, labelled with the bridge, its location, the part
// number and the firmware; they keep the last good poll's values while polls fail, and are
// absent until a first good poll. The poll gauges and counters carry the bridge and location.
// Hours the supply counts are given in seconds, Prometheus's base unit of time.

#include "serve/board.h"

#include <string>
#include <vector>

namespace brenvik::serve {

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

std::string metricsText(const std::vector<SupplyView>& supplies);

} // namespace brenvik::serve
