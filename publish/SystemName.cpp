#include "publish/SystemName.h"

#include <QSysInfo>

namespace quorval {

QString DefaultSystemName(const QString& host, const QString& device) {
    QString last = device;
    last.replace(QLatin1Char('\\'), QLatin1Char('/'));
    last = last.section(QLatin1Char('/'), -1);
    QString name = (host + QLatin1Char('-') + last).toLower();
    for (QChar& c : name) {
        const char16_t u = c.unicode();
        const bool keep = (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-';
        if (!keep) {
            c = QLatin1Char('-');
        }
    }
    return name;
}

QString SystemNameFor(const QString& given, const QString& device) {
    return given.isEmpty() ? DefaultSystemName(QSysInfo::machineHostName(), device) : given;
}

QString SystemNameProblem(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("the system name is empty");
    }
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') ||
            c.isSpace()) {
            return QStringLiteral("the system name '%1' holds '%2', which a topic cannot carry")
                .arg(name, c.isSpace() ? QStringLiteral(" ") : QString(c));
        }
    }
    return {};
}

}  // namespace quorval
