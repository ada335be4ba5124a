#include "device/transaction.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace brenvik::device {
namespace {

// Records the arguments of every transfer and answers with a scripted reply.
class TransferRecorder final : public AdapterLibrary {
public:
    struct Call {
        FtcHandle handle;
        StartCondition start;
        std::uint32_t frameBitOrder, frameClockEdge, frameBits;
        std::vector<std::uint8_t> frame;
        std::uint32_t frameBytes, replyBitOrder, replyClockEdge, replyBits;
        const void* startAddress;
        const void* highPinsAddress;
    };

    FtcStatus closeDevice(FtcHandle) override { return 0; }
    FtcStatus initDevice(FtcHandle, std::uint32_t) override { return 0; }
    FtcStatus setClock(FtcHandle, std::uint32_t, std::uint32_t*) override { return 0; }
    FtcStatus setLoopback(FtcHandle, std::uint32_t) override { return 0; }
    FtcStatus getDllVersion(char*, std::uint32_t) override { return 0; }
    FtcStatus getNumHiSpeedDevices(std::uint32_t*) override { return 0; }
    FtcStatus getHiSpeedDeviceNameLocIdChannel(std::uint32_t, char*, std::uint32_t, std::uint32_t*,
                                               char*, std::uint32_t, std::uint32_t*) override {
        return 0;
    }
    FtcStatus openHiSpeedDevice(const char*, std::uint32_t, const char*, FtcHandle*) override {
        return 0;
    }
    FtcStatus getHiSpeedDeviceType(FtcHandle, std::uint32_t*) override { return 0; }
    FtcStatus turnOnDivideByFiveClock(FtcHandle) override { return 0; }
    FtcStatus turnOffDivideByFiveClock(FtcHandle) override { return 0; }
    FtcStatus setDeviceLatencyTimer(FtcHandle, std::uint8_t) override { return 0; }
    FtcStatus getDeviceLatencyTimer(FtcHandle, std::uint8_t*) override { return 0; }
    FtcStatus getHiSpeedDeviceClock(std::uint32_t, std::uint32_t*) override { return 0; }
    FtcStatus setHiSpeedDeviceGpios(FtcHandle, const LowPinStates*,
                                    const HighPinSettings*) override {
        return 0;
    }
    FtcStatus getHiSpeedDeviceGpios(FtcHandle, HighPinStates*) override { return 0; }
    FtcStatus writeRead(FtcHandle handle, const StartCondition* start, std::uint32_t frameBitOrder,
                        std::uint32_t frameClockEdge, std::uint32_t frameBits,
                        const std::uint8_t* frame, std::uint32_t frameBytes,
                        std::uint32_t replyBitOrder, std::uint32_t replyClockEdge,
                        std::uint32_t replyBits, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered,
                        const HighPinRecord* highPins) override {
        calls.push_back({handle, *start, frameBitOrder, frameClockEdge, frameBits,
                         std::vector<std::uint8_t>(frame, frame + 12), frameBytes, replyBitOrder,
                         replyClockEdge, replyBits, start, highPins});
        replyAreas.push_back(std::vector<std::uint8_t>(reply, reply + 12));
        std::copy(answer.begin(), answer.end(), reply);
        *replyBytesDelivered = delivered;
        return status;
    }

    std::vector<Call> calls;
    std::vector<std::vector<std::uint8_t>> replyAreas; // the area as the library received it
    std::vector<std::uint8_t> answer;
    std::uint32_t delivered = 0;
    FtcStatus status = 0;
};

TEST(Transaction, PassesTheThirteenArgumentsInOrder) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    link.handle = 0x42;
    link.startCondition = {0, 0, 1, 0};
    const std::vector<std::uint8_t> payload{7, 18, 20, 11, 0, 0x9A};
    adapter.answer = {0x55, 0, 0, 0};
    adapter.delivered = 4;

    const Reply reply = transact(link, 13, payload, 8, 4);

    ASSERT_EQ(adapter.calls.size(), 1u);
    const auto& call = adapter.calls[0];
    EXPECT_EQ(call.handle, 0x42u);
    EXPECT_EQ(call.startAddress, &link.startCondition);
    EXPECT_EQ(call.start.chipSelectPinState, 1u);
    EXPECT_EQ(call.frameBitOrder, 1u);
    EXPECT_EQ(call.frameClockEdge, 0u);
    EXPECT_EQ(call.frameBits, 64u);
    EXPECT_EQ(call.frameBytes, 8u);
    EXPECT_EQ(call.replyBitOrder, 1u);
    EXPECT_EQ(call.replyClockEdge, 0u);
    EXPECT_EQ(call.replyBits, 32u);
    EXPECT_EQ(call.highPinsAddress, &link.highPins);
    EXPECT_EQ(call.frame,
              (std::vector<std::uint8_t>{0x0D, 0x55, 7, 18, 20, 11, 0, 0x9A, 0, 0, 0, 0}));
    EXPECT_TRUE(reply.complete());
    EXPECT_TRUE(acknowledged(reply));
    EXPECT_EQ(reply.requested, 4u);
    EXPECT_EQ(reply.delivered, 4u);
}

TEST(Transaction, FrameLengthsAndBitCountsFollowTheCommand) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    adapter.delivered = 12;
    transact(link, 10, {}, 2, 1);
    transact(link, 4, {}, 2, 12);
    transact(link, 1, std::vector<std::uint8_t>(9, 3), 11, 10);
    transact(link, 6, {}, 2, 3);

    ASSERT_EQ(adapter.calls.size(), 4u);
    EXPECT_EQ(adapter.calls[0].frameBits, 16u);
    EXPECT_EQ(adapter.calls[0].replyBits, 8u);
    EXPECT_EQ(adapter.calls[0].frame,
              (std::vector<std::uint8_t>{10, 0x55, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(adapter.calls[1].replyBits, 96u);
    EXPECT_EQ(adapter.calls[2].frameBits, 88u);
    EXPECT_EQ(adapter.calls[2].frameBytes, 11u);
    EXPECT_EQ(adapter.calls[2].replyBits, 80u);
    EXPECT_EQ(adapter.calls[3].replyBits, 24u);
}

TEST(Transaction, StoresTheAdapterStatusAndLeavesTheLinkFlagAlone) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    link.linkOk = false;
    adapter.status = 4;
    transact(link, 10, {}, 2, 1);
    EXPECT_EQ(link.adapterStatus, 4u);
    EXPECT_FALSE(link.linkOk);

    adapter.status = 0;
    link.linkOk = true;
    transact(link, 10, {}, 2, 1);
    EXPECT_EQ(link.adapterStatus, 0u);
    EXPECT_TRUE(link.linkOk);
}

// A transfer that delivers nothing must never be judged on an earlier transfer's bytes.
TEST(Transaction, StaleReplyBytesNeverCount) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    adapter.answer = {0x55};
    adapter.delivered = 1;
    ASSERT_TRUE(acknowledged(transact(link, 10, {}, 2, 1)));

    // The library writes nothing, delivers nothing, yet reports success.
    adapter.answer.clear();
    adapter.delivered = 0;
    const Reply silent = transact(link, 10, {}, 2, 1);
    EXPECT_EQ(adapter.replyAreas.back(), std::vector<std::uint8_t>(12, 0));
    EXPECT_FALSE(silent.complete());
    EXPECT_FALSE(acknowledged(silent));

    // Every byte asked for, but a failed status.
    adapter.answer = {0x55};
    adapter.delivered = 1;
    adapter.status = 4;
    EXPECT_FALSE(acknowledged(transact(link, 10, {}, 2, 1)));

    // A short transfer: the undelivered tail reads as zero, and the reply is incomplete.
    adapter.status = 0;
    adapter.answer = {0x55, 0x55, 0x55, 0x55};
    adapter.delivered = 2;
    const Reply partial = transact(link, 12, {}, 2, 4);
    EXPECT_FALSE(partial.complete());
    EXPECT_EQ(partial.bytes[2], 0);
    EXPECT_EQ(partial.bytes[3], 0);
}

TEST(Transaction, WithoutAnOpenDeviceTheVirtualBridgeDeliversNothing) {
    vsupply::VirtualBridge bridge;
    DeviceLink link(bridge);
    const Reply reply = transact(link, 10, {}, 2, 1);
    EXPECT_EQ(reply.delivered, 0u);
    EXPECT_NE(link.adapterStatus, kStatusSuccess);
    EXPECT_FALSE(acknowledged(reply));
}

TEST(Transaction, RoundTripsThroughAnOpenVirtualLink) {
    vsupply::VirtualLink rig;
    const Reply reply = transact(rig.link, 10, {}, 2, 1);
    EXPECT_TRUE(acknowledged(reply));
    EXPECT_EQ(rig.bridge.commandsSent(), (std::vector<std::uint8_t>{10}));
    EXPECT_EQ(rig.link.adapterStatus, kStatusSuccess);
}

} // namespace
} // namespace brenvik::device
