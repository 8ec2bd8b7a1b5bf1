#include "link/SystemPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace quorval {

namespace {

// Device -> the first of the links in the folder that lead to it.
QHash<QString, QString> LinkNames(const QString& folder) {
    QHash<QString, QString> names;
    const QFileInfoList links = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !names.contains(target)) {
            names.insert(target, link.fileName());
        }
    }
    return names;
}

}  // namespace

std::vector<PortInfo> SystemPorts() {
    const bool devices = kHostNaming == PortNaming::Devices;
    const QHash<QString, QString> byId =
        devices ? LinkNames(QStringLiteral("/dev/serial/by-id")) : QHash<QString, QString>();
    const QHash<QString, QString> byPath =
        devices ? LinkNames(QStringLiteral("/dev/serial/by-path")) : QHash<QString, QString>();
    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo p;
        p.device = devices ? info.systemLocation() : info.portName();
        p.byId = byId.value(p.device);
        p.byPath = byPath.value(p.device);
        p.description = info.description();
        p.manufacturer = info.manufacturer();
        p.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier()) {
            p.vendorId = info.vendorIdentifier();
            p.productId = info.hasProductIdentifier() ? info.productIdentifier() : -1;
            p.kind =
                info.portName().startsWith(QLatin1String("ttyACM")) ? PortKind::Acm : PortKind::Usb;
        }
        ports.push_back(p);
    }
    return ports;
}

ComKey ComKeyFor(const QString& text) {
    if (kHostNaming == PortNaming::Windows) {
        return {text, text};
    }
    return {text, text.isEmpty() ? QString() : QFileInfo(text).canonicalFilePath()};
}

}  // namespace quorval
