#include "link/PortProbe.h"

#include "link/QtSerialComm.h"

namespace quorval {

PortTest OpenAndClose(const QString& device) {
    QtSerialComm port{PortMap()};  // no COM numbers: only this device
    const int error = port.OpenDevice(device);
    return {error, error ? port.LastErrorText() : QString()};
}

}  // namespace quorval
