#include "link/DeviceLock.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quorval {

#ifdef Q_OS_UNIX
bool LockDevice(qintptr handle) {
    int rc = 0;
    do {
        rc = ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool DeviceAccessDenied(const QString& path) {
    const QByteArray native = path.toLocal8Bit();
    return ::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}
#else
bool LockDevice(qintptr) {
    return true;
}
bool DeviceAccessDenied(const QString&) {
    return false;
}
#endif

}  // namespace quorval
