// ports: the serial ports the system has and the devices of COM1..COM4.

#include <memory>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/Cli.h"
#include "link/PortMap.h"
#include "link/SetupPorts.h"
#include "link/SystemPorts.h"
#include "session/PortTests.h"

namespace quorval {

namespace {

// One line of the listing.
struct Row {
    int com = 0;  // 0: no COM number stands for it
    QString device;
    const PortInfo* info = nullptr;
    QString note;
    PortTest test;
};

std::vector<Row> Rows(const PortMap& map) {
    const std::vector<PortInfo>& ports = map.Ports();
    std::vector<Row> rows;
    std::vector<bool> listed(ports.size(), false);
    for (int n = 1; n <= 4; ++n) {
        const ComPort& com = map.Assigned(n);
        Row row{n, com.device, nullptr, com.note, {}};
        if (com.port >= 0) {
            listed[static_cast<std::size_t>(com.port)] = true;
            row.info = &ports[static_cast<std::size_t>(com.port)];
            row.device = row.info->device;
        }
        rows.push_back(row);
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (!listed[i]) {
            rows.push_back({0, ports[i].device, &ports[i], {}, {}});
        }
    }
    return rows;
}

QString State(const PortTest& t) {
    if (t.error == MSComm::kErrNone) {
        return QStringLiteral("free");
    }
    const QString word = PortStateWord(t.error);
    return word.isEmpty() ? QStringLiteral("cannot be opened") : word;
}

// Why, where the state alone does not say it.
QString Reason(const PortTest& t) {
    return t.error == MSComm::kErrNone || t.error == MSComm::kErrPortInUse ||
                   t.error == MSComm::kErrNoPermission || t.error == MSComm::kErrNoSuchPort
               ? QString()
               : t.text;
}

QString Usb(const PortInfo* p) {
    return p && p->vendorId >= 0 ? QStringLiteral("%1:%2")
                                       .arg(p->vendorId, 4, 16, QLatin1Char('0'))
                                       .arg(qMax(p->productId, 0), 4, 16, QLatin1Char('0'))
                                 : QString();
}

QString Kind(const PortInfo* p) {
    if (!p) {
        return {};
    }
    switch (p->kind) {
        case PortKind::Usb:
            return QStringLiteral("usb");
        case PortKind::Acm:
            return QStringLiteral("acm");
        default:
            return QStringLiteral("built-in");
    }
}

QString Line(const Row& r) {
    QStringList fields{r.com ? QStringLiteral("COM%1").arg(r.com) : QStringLiteral("-   "),
                       r.device.isEmpty() ? QStringLiteral("(no device)") : r.device};
    const QString reason = Reason(r.test);
    fields << State(r.test) + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    QStringList details;
    if (r.info) {
        details << PortSummary(r.info->device, r.info).section(QStringLiteral(", "), 1);
        if (const QString usb = Usb(r.info); !usb.isEmpty()) {
            details << QStringLiteral("USB ") + usb;
        }
        if (!r.info->byId.isEmpty()) {
            details << QStringLiteral("by-id ") + r.info->byId;
        }
    }
    details.removeAll(QString());
    if (!details.isEmpty()) {
        fields << details.join(QStringLiteral(", "));
    }
    if (!r.note.isEmpty()) {
        fields << QLatin1Char('[') + r.note + QLatin1Char(']');
    }
    return fields.join(QStringLiteral("  "));
}

QJsonObject Json(const Row& r) {
    const PortInfo none;
    const PortInfo& p = r.info ? *r.info : none;
    return {{"com", r.com ? QJsonValue(r.com) : QJsonValue()},
            {"device", r.device},
            {"byId", p.byId},
            {"byPath", p.byPath},
            {"description", p.description},
            {"manufacturer", p.manufacturer},
            {"serialNumber", p.serialNumber},
            {"usb", Usb(r.info)},
            {"kind", Kind(r.info)},
            {"state", State(r.test)},
            {"reason", Reason(r.test)},
            {"note", r.note}};
}

void List(const Session& s, const std::vector<Row>& rows) {
    if (s.o.json) {
        QJsonArray array;
        for (const Row& r : rows) {
            array.append(Json(r));
        }
        Out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    for (const Row& r : rows) {
        Out(Line(r));
    }
}

int Ports(Session& s) {
    // The rows point into the map's ports: it stays until they are listed.
    auto map = std::make_shared<PortMap>(SystemPorts);
    const std::array<QString, 4> keys = ReadSetupPorts().keys;
    for (int n = 1; n <= 4; ++n) {
        map->SetDevice(n, keys[static_cast<std::size_t>(n - 1)]);
    }
    map->Refresh();
    std::vector<Row> rows = Rows(*map);
    QStringList devices;
    for (const Row& r : rows) {
        devices << r.device;
    }
    auto* tests = new PortTests(&s.app);
    QObject::connect(
        tests, &PortTests::finished,
        [&s, map, rows = std::move(rows)](const std::vector<PortTest>& results) mutable {
            for (std::size_t i = 0; i < rows.size() && i < results.size(); ++i) {
                rows[i].test = results[i];
            }
            List(s, rows);
            s.Finish(kExitOk);
        });
    tests->Start({devices, std::nullopt});
    return kRunning;
}

}  // namespace

std::vector<CommandRule> PortCommands() {
    return {
        {"ports", nullptr, PortUse::None, false, {"json"}, {}, Ports},
    };
}

}  // namespace quorval
