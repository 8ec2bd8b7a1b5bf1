#include "link/PortMap.h"

namespace quorval {

PortMap::PortMap() {
    for (int port = 1; port <= 4; ++port) {
        devices_[static_cast<std::size_t>(port - 1)] = DefaultDevice(port);
    }
}

QString PortMap::Device(int port) const {
    if (port < 1 || port > 4) {
        return {};
    }
    return devices_[static_cast<std::size_t>(port - 1)];
}

void PortMap::SetDevice(int port, const QString& device) {
    if (port < 1 || port > 4) {
        return;
    }
    devices_[static_cast<std::size_t>(port - 1)] = device.isEmpty() ? DefaultDevice(port) : device;
}

QString PortMap::DefaultDevice(int port) {
    if (port < 1 || port > 4) {
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

int ComPortNumber(const QString& name) {
    const QString n = name.trimmed().toUpper();
    if (n.size() == 4 && n.startsWith(QLatin1String("COM")) && n[3] >= QLatin1Char('1') &&
        n[3] <= QLatin1Char('4')) {
        return n[3].unicode() - '0';
    }
    return 0;
}

}  // namespace quorval
