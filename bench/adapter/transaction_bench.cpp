// Cost of one device transaction through the adapter library found beside this program (under
// Wine: the stand-in FTCSPI.dll), printed beside the waits the program makes anyway.
//   adapter_transaction_bench [transactions]

#include "device/ftcspi_library_win32.h"
#include "device/transaction.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using brenvik::device::DeviceLink;
using brenvik::device::FtcspiLibrary;
using brenvik::device::kStatusSuccess;

bool openChannelA(FtcspiLibrary& library, DeviceLink& link) {
    std::uint32_t count = 0;
    if (library.getNumHiSpeedDevices(&count) != kStatusSuccess) {
        return false;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        // One byte beyond the size passed, for the zero the library writes past a full name.
        char name[101] = {};
        char channel[5] = {};
        std::uint32_t location = 0;
        std::uint32_t type = 0;
        if (library.getHiSpeedDeviceNameLocIdChannel(index, name, 100, &location, channel,
                                                     sizeof channel, &type) == kStatusSuccess &&
            std::string(channel) == "A") {
            brenvik::device::FtcHandle handle = 0;
            if (library.openHiSpeedDevice(name, location, channel, &handle) != kStatusSuccess) {
                return false;
            }
            link.handle = handle;
            link.startCondition = {0, 0, 1, 0};
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const long transactions = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20000;
    FtcspiLibrary library;
    DeviceLink link(library);
    if (!library.loaded() || !openChannelA(library, link) || transactions <= 0) {
        std::fprintf(stderr, "no adapter library with a channel A beside the program\n");
        return 1;
    }
    // The five transactions of a block fetch: the opening command and four chunk reads.
    const auto start = std::chrono::steady_clock::now();
    long failures = 0;
    for (long i = 0; i < transactions; ++i) {
        const bool chunk = i % 5 != 0;
        const auto reply = brenvik::device::transact(link, chunk ? 4 : 10, {}, 2, chunk ? 12 : 1);
        failures += reply.complete() ? 0 : 1;
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    const double perTransaction = elapsed.count() / static_cast<double>(transactions);
    const double perFetch = 5 * perTransaction;
    std::printf("transactions: %ld (%ld failed)\n", transactions, failures);
    std::printf("one transaction through the adapter library: %.2f us\n", perTransaction);
    std::printf("monitor tick: 5 transactions = %.1f us beside 400 ms of waits, overhead %.6f%%\n",
                perFetch, 100.0 * perFetch / 400'000.0);
    std::printf("read-back: 5 transactions = %.1f us beside 2300 ms of waits, overhead %.6f%%\n",
                perFetch, 100.0 * perFetch / 2'300'000.0);
    return failures == 0 ? 0 : 1;
}
