#pragma once
// The read of a serial device under its time-out record, the same for every device: the rule
// is applied here once, and a device only says what is there now and waits until it is told
// (ReadTransport.h).
//
// A read of n bytes returns when
//  - n bytes have come;
//  - at once with what is there, when ReadIntervalTimeout is MAXDWORD and both total terms
//    are 0;
//  - ReadTotalTimeoutMultiplier * n + ReadTotalTimeoutConstant ms have passed since it began
//    (a total of 0: no total bound);
//  - after the first byte, ReadIntervalTimeout ms have passed without another (0: no interval
//    bound; MAXDWORD with a total: as soon as nothing more is there).
// Success with fewer than n bytes (none at all included) means a bound passed.
//
// Promises on failure: a device that fails or is gone before any byte was taken fails the
// read (false, the device's last error set); bytes taken before it are the caller's, so the
// read succeeds with them and the failure meets the next read. Nothing is thrown, and no wait
// lasts beyond the bounds of the record.

#include <cstdint>

#include "platform/devices/ReadTransport.h"
#include "platform/devices/SerialDevice.h"

namespace platform {

bool TimedRead(ReadTransport& device, const COMMTIMEOUTS& timeouts, void* buf, uint32_t n,
               uint32_t* got);

}  // namespace platform
