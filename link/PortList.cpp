#include "link/PortList.h"

#include <algorithm>
#include <tuple>

#include <QStringList>

namespace quorval {

namespace {

bool Same(const QString& a, const QString& b, PortNaming naming) {
    // Windows port names are not case-sensitive; device paths are.
    return !a.isEmpty() && a.compare(b, naming == PortNaming::Windows ? Qt::CaseInsensitive
                                                                      : Qt::CaseSensitive) == 0;
}

bool IsAdapter(const PortInfo& p) {
    return p.kind == PortKind::Usb || p.kind == PortKind::Acm;
}

// Two adapters of one make without serial numbers share their by-id name, so
// only the socket they are plugged into tells them apart.
bool HasTwin(const std::vector<PortInfo>& ports, std::size_t i) {
    const PortInfo& p = ports[i];
    if (!IsAdapter(p) || !p.serialNumber.isEmpty()) {
        return false;
    }
    for (std::size_t j = 0; j < ports.size(); ++j) {
        const PortInfo& q = ports[j];
        if (j != i && IsAdapter(q) && q.serialNumber.isEmpty() && q.vendorId == p.vendorId &&
            q.productId == p.productId && q.description == p.description &&
            q.manufacturer == p.manufacturer) {
            return true;
        }
    }
    return false;
}

// ttyS2 before ttyS10.
std::tuple<QString, qsizetype, QString> NaturalKey(const QString& device) {
    qsizetype digits = device.size();
    while (digits > 0 && device[digits - 1].isDigit()) {
        --digits;
    }
    QString number = device.mid(digits);
    while (number.size() > 1 && number.startsWith(QLatin1Char('0'))) {
        number.remove(0, 1);
    }
    return {device.left(digits), number.size(), number};
}

struct Place {
    int rank = 0;
    QString name;  // compared within the rank
    QString note;
    std::size_t index = 0;

    bool operator<(const Place& o) const {
        if (rank != o.rank) {
            return rank < o.rank;
        }
        if (rank >= 2) {
            return NaturalKey(name) < NaturalKey(o.name);
        }
        return name < o.name;
    }
};

Place PlaceOf(const std::vector<PortInfo>& ports, std::size_t i) {
    const PortInfo& p = ports[i];
    if (!IsAdapter(p)) {
        return {3, p.device, QStringLiteral("built-in UART"), i};
    }
    const bool twin = HasTwin(ports, i);
    if (!twin && !p.byId.isEmpty()) {
        return {0, p.byId, QStringLiteral("ordered by /dev/serial/by-id"), i};
    }
    if (!p.byPath.isEmpty()) {
        return {1, p.byPath,
                twin ? QStringLiteral("ordered by /dev/serial/by-path: no serial number")
                     : QStringLiteral("ordered by /dev/serial/by-path: no /dev/serial/by-id name"),
                i};
    }
    return {2, p.device, QStringLiteral("ordered by device name: no /dev/serial name"), i};
}

int Matching(const std::vector<PortInfo>& ports, const ComKey& key, PortNaming naming) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (Same(key.text, ports[i].device, naming) || Same(key.target, ports[i].device, naming)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

QString DefaultDevice(int port, PortNaming naming) {
    if (port < 1 || port > 4) {
        return {};
    }
    return naming == PortNaming::Windows ? QStringLiteral("COM%1").arg(port)
                                         : QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

std::array<ComPort, 4> AssignComPorts(const std::vector<PortInfo>& ports,
                                      const std::array<ComKey, 4>& keys, PortNaming naming) {
    std::array<ComPort, 4> com;
    std::vector<bool> taken(ports.size(), false);
    for (std::size_t n = 0; n < keys.size(); ++n) {
        const ComKey& key = keys[n];
        if (key.text.isEmpty()) {
            continue;
        }
        const int match = Matching(ports, key, naming);
        QString note = QStringLiteral("set by the com%1 key").arg(n + 1);
        if (match >= 0) {
            taken[static_cast<std::size_t>(match)] = true;
            if (key.text != ports[static_cast<std::size_t>(match)].device) {
                note += QStringLiteral(": ") + key.text;
            }
        }
        com[n] = {key.text, match, note};
    }

    std::vector<Place> order;
    if (naming == PortNaming::Devices) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if (!taken[i]) {
                order.push_back(PlaceOf(ports, i));
            }
        }
        std::sort(order.begin(), order.end());
    }
    auto next = order.begin();
    for (std::size_t n = 0; n < com.size(); ++n) {
        if (!keys[n].text.isEmpty()) {
            continue;
        }
        if (next != order.end()) {
            com[n] = {ports[next->index].device, static_cast<int>(next->index), next->note};
            ++next;
            continue;
        }
        const QString device = DefaultDevice(static_cast<int>(n) + 1, naming);
        if (naming == PortNaming::Windows) {
            com[n] = {device, Matching(ports, {device, {}}, naming), {}};
            continue;
        }
        // Only when nothing else has it: a device stands for one number.
        const bool used =
            std::any_of(com.begin(), com.end(),
                        [&](const ComPort& c) { return Same(device, c.device, naming); }) ||
            std::any_of(keys.begin(), keys.end(),
                        [&](const ComKey& k) { return Same(device, k.target, naming); });
        com[n] = used ? ComPort{{}, -1, QStringLiteral("no serial port left for it")}
                      : ComPort{device, -1, QStringLiteral("default: no other serial port found")};
    }
    return com;
}

QString PortSummary(const QString& device, const PortInfo* info) {
    QStringList parts{device};
    if (info) {
        for (const QString& part : {info->description, info->manufacturer}) {
            if (!part.isEmpty() && !parts.contains(part)) {
                parts << part;
            }
        }
        if (!info->serialNumber.isEmpty()) {
            parts << QStringLiteral("serial ") + info->serialNumber;
        }
    }
    return parts.join(QStringLiteral(", "));
}

QString DescribeComPort(int port, const ComPort& com, const std::vector<PortInfo>& ports) {
    const PortInfo* info = com.port >= 0 && static_cast<std::size_t>(com.port) < ports.size()
                               ? &ports[static_cast<std::size_t>(com.port)]
                               : nullptr;
    QString text = QStringLiteral("COM%1: ").arg(port);
    if (info) {
        text += PortSummary(info->device, info);
    } else {
        text += com.device.isEmpty() ? QStringLiteral("no device") : com.device;
    }
    if (!com.note.isEmpty()) {
        text += QLatin1Char('\n') + com.note;
    }
    return text;
}

}  // namespace quorval
