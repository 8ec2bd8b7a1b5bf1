#include "link/PortMap.h"

#include "link/SystemPorts.h"

namespace quorval {

PortMap::PortMap(Source system) : system_(std::move(system)) {
    Assign();
}

QString PortMap::Device(int port) const {
    return port < 1 || port > 4 ? QString() : Assigned(port).device;
}

const ComPort& PortMap::Assigned(int port) const {
    return assigned_[static_cast<std::size_t>(qBound(1, port, 4) - 1)];
}

void PortMap::SetDevice(int port, const QString& key) {
    if (port < 1 || port > 4) {
        return;
    }
    keys_[static_cast<std::size_t>(port - 1)] = ComKeyFor(key);
    Assign();
}

void PortMap::Refresh() {
    if (system_) {
        ports_ = system_();
    }
    // A key may lead elsewhere now (a by-id link after a re-plug).
    for (ComKey& key : keys_) {
        key = ComKeyFor(key.text);
    }
    Assign();
}

void PortMap::Assign() {
    assigned_ = AssignComPorts(ports_, keys_);
}

QString PortMap::Describe(int port) const {
    return DescribeComPort(port, Assigned(port), ports_);
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
