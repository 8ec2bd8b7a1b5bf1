#include "link/SetupPorts.h"

#include "common/Ini.h"
#include "link/MSComm.h"
#include "link/PortMap.h"

namespace quorval {

SetupPorts ReadSetupPorts() {
    SetupPorts p;
    p.file = SettingsFilesOf(QStringLiteral("quorval-setup")).InUse();
    const IniReader settings(p.file);
    const QString section = QString::fromLatin1(kAppTitle);
    for (int n = 1; n <= 4; ++n) {
        p.keys[static_cast<std::size_t>(n - 1)] =
            DeviceSetting(settings.String(section, QStringLiteral("com%1").arg(n)));
    }
    const int comport = ByteSetting(settings.Int(section, QStringLiteral("comport")));
    p.comport = comport >= 1 && comport <= 4 ? comport : 0;
    return p;
}

int SelectPort(MSComm& comm, const QString& port, const SetupPorts& setup) {
    for (int n = 1; n <= 4; ++n) {
        comm.MapPort(n, setup.keys[static_cast<std::size_t>(n - 1)]);
    }
    if (port.isEmpty()) {
        return 0;
    }
    int number = ComPortNumber(port);
    if (number == 0) {
        number = 1;
        comm.MapPort(number, port);
    }
    comm.SetCommPort(number);
    return number;
}

}  // namespace quorval
