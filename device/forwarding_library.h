#pragma once
// An adapter library that passes every call on to another one through a single hook, which sees
// the call's ordinal and runs it (or not) as it likes. Hosts of the virtual bridge and watchers
// of the calls build on it instead of restating every call.

#include "device/adapter_library.h"

#include <functional>

namespace brenvik::device {

class ForwardingLibrary : public AdapterLibrary {
public:
    explicit ForwardingLibrary(AdapterLibrary& target) : target_(target) {}

#define BRENVIK_FORWARD_CALL(number, constant, vendor, method, parameters, arguments)              \
    FtcStatus method parameters final {                                                            \
        return through(number, [&] { return target_.method arguments; });                          \
    }
    BRENVIK_ADAPTER_CALLS(BRENVIK_FORWARD_CALL)
#undef BRENVIK_FORWARD_CALL

protected:
    // Runs one call of the ordinal on the target.
    virtual FtcStatus through(std::uint32_t ordinal, const std::function<FtcStatus()>& call) = 0;

private:
    AdapterLibrary& target_;
};

} // namespace brenvik::device
