#include "bus/ModuleText.h"

#include "bus/ModuleTable.h"

namespace quorval {

QString VersionText(std::uint8_t version) {
    return QStringLiteral("%1.%2").arg(version / 10).arg(version % 10);
}

std::optional<int> ModuleIdFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5) {
        return std::nullopt;
    }
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const int id = t.toInt();
    if (!IsValidModuleID(id)) {
        return std::nullopt;
    }
    return id;
}

}  // namespace quorval
