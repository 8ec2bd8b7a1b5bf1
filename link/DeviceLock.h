#pragma once

#include <QString>

namespace quorval {

// Platform checks around opening a serial device. On Windows a COM port is
// exclusive by itself and these do nothing.

// Takes an advisory exclusive lock on an open descriptor; false when another
// opener holds it (root passes TIOCEXCL, but not this).
bool LockDevice(qintptr handle);

// True when the device exists but this user may not read and write it.
bool DeviceAccessDenied(const QString& path);

}  // namespace quorval
