#include "link/MSComm.h"

namespace quorval {

PortTestPlan MSComm::PlanPortTests() {
    std::array<PortTest, 4> tests;
    for (int n = 1; n <= 4; ++n) {
        SetCommPort(n);
        const int error = SetPortOpen(true);
        if (PortOpen()) {
            SetPortOpen(false);
        } else {
            tests[static_cast<std::size_t>(n - 1)] = {error ? error : kErrOther, LastErrorText()};
        }
    }
    return {{}, tests};
}

QString OpenErrorReason(int error, const QString& detail) {
    switch (error) {
        case MSComm::kErrNoSuchPort:
            return QStringLiteral("not found");
        case MSComm::kErrPortInUse:
            return QStringLiteral("in use by another program");
        case MSComm::kErrNotADevice:
            return detail.isEmpty() ? QStringLiteral("not a serial device") : detail;
        case MSComm::kErrNotResponding:
            return QStringLiteral("not responding (its driver did not answer)");
        case MSComm::kErrNoPermission:
            return QStringLiteral("no permission (on Linux: add the user to the dialout group)");
        default:
            return detail.isEmpty() ? QStringLiteral("cannot be opened") : detail;
    }
}

QString PortStateWord(int error) {
    switch (error) {
        case MSComm::kErrPortInUse:
            return QStringLiteral("in use");
        case MSComm::kErrNoSuchPort:
        case MSComm::kErrNotADevice:
            return QStringLiteral("not found");
        case MSComm::kErrNoPermission:
            return QStringLiteral("no permission");
        case MSComm::kErrNotResponding:
            return QStringLiteral("not responding");
        default:
            return {};
    }
}

QString PortCaption(int port, int error) {
    const QString name = QStringLiteral("COM%1").arg(port);
    const QString word = PortStateWord(error);
    return word.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, word);
}

}  // namespace quorval
