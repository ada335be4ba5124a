#pragma once
// The adapter library's statuses that the stand-in library and the virtual bridge return, under
// one set of names. Success and "channel in use" are in adapter_library.h.

#include "device/adapter_library.h"

namespace brenvik::device::status {

inline constexpr FtcStatus kInvalidHandle = 1;
inline constexpr FtcStatus kDeviceNotFound = 2; // no device listed
inline constexpr FtcStatus kIoError = 4;        // the driver could not reach the bridge
inline constexpr FtcStatus kInvalidParameter = 6;
inline constexpr FtcStatus kFailedToComplete = 20; // no answer from the bridge in time
inline constexpr FtcStatus kFailedToSynchronise = 21;
inline constexpr FtcStatus kInvalidDeviceIndex = 22;
inline constexpr FtcStatus kNullNameBuffer = 23;
inline constexpr FtcStatus kNameBufferTooSmall = 24;
inline constexpr FtcStatus kInvalidDeviceName = 25;
inline constexpr FtcStatus kInvalidLocationId = 26;
inline constexpr FtcStatus kDeviceInUse = kStatusDeviceInUse; // or location 0
inline constexpr FtcStatus kNullChannelBuffer = 29;
inline constexpr FtcStatus kChannelBufferTooSmall = 30;
inline constexpr FtcStatus kInvalidChannel = 31;
inline constexpr FtcStatus kInvalidLatency = 32;
inline constexpr FtcStatus kInvalidClockDivisor = 33;
inline constexpr FtcStatus kNullHighOutputRecord = 37;
inline constexpr FtcStatus kNullStartCondition = 38;
inline constexpr FtcStatus kNullWriteBuffer = 39;
inline constexpr FtcStatus kNullReadBuffer = 42;
inline constexpr FtcStatus kInvalidWriteBits = 44;
inline constexpr FtcStatus kInvalidWriteBytes = 45;
inline constexpr FtcStatus kWriteBytesTooFew = 46;
inline constexpr FtcStatus kInvalidReadBits = 50;
inline constexpr FtcStatus kClockStateMismatch = 51;
inline constexpr FtcStatus kInvalidChipSelectPin = 52;
inline constexpr FtcStatus kHighPinNotOutput = 55;

} // namespace brenvik::device::status
