#include "link/MSComm.h"

namespace quorval {

QString OpenErrorReason(int error, const QString& detail) {
    switch (error) {
        case MSComm::kErrNoSuchPort:
            return QStringLiteral("not found");
        case MSComm::kErrPortInUse:
            return QStringLiteral("in use by another program");
        case MSComm::kErrNoPermission:
            return QStringLiteral("no permission (on Linux: add the user to the dialout group)");
        default:
            return detail.isEmpty() ? QStringLiteral("cannot be opened") : detail;
    }
}

}  // namespace quorval
