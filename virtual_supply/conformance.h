#pragma once
// The answers the vendor's adapter library gives, as one table of rows (call, arguments,
// expected status and out values), run in order against any library behind the adapter
// interface: natively against the virtual bridge, and by the checker program against an
// FTCSPI.dll under Windows or Wine, so a user with the real library can send us its answers.
// Rows that need a device (or none, or a given kind of bridge) are skipped when the library
// lists no such thing.

#include "device/adapter_library.h"

#include <string>
#include <vector>

namespace brenvik::vsupply::conformance {

enum class Verdict { Ok, Differs, Skipped };

struct RowResult {
    std::string row; // call and arguments, e.g. "33 transfer (chip-select pin 5)"
    Verdict verdict = Verdict::Ok;
    std::string detail; // what was expected and what came, or why the row was skipped
};

std::vector<RowResult> run(device::AdapterLibrary& library);

// "ok: <row>: <detail>", "differs: <row>: <detail>" or "skipped: <row>: <detail>".
std::string line(const RowResult& result);

} // namespace brenvik::vsupply::conformance
