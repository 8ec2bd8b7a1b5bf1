#include "model/ModuleText.h"

#include <QStringList>

#include "common/Parse.h"
#include "model/ModeByte.h"
#include "model/ModuleState.h"
#include "model/ModuleTable.h"

namespace quorval {

QString VersionText(std::uint8_t version) {
    return QStringLiteral("%1.%2").arg(version / 10).arg(version % 10);
}

ModeText DecodeMode(std::uint8_t mode) {
    const QString baud = QString::fromStdString(BaudCaption(mode));
    return ModeText{
        baud.isEmpty() ? QStringLiteral("baud code %1").arg(mode & kModeBaudMask) : baud,
        (mode & kMode29Bit) ? QStringLiteral("29-bit") : QStringLiteral("11-bit"),
        (mode & kModePointToPoint) ? QStringLiteral("point to point")
                                   : QStringLiteral("line or ring"),
        QString::fromStdString(RelayCaption(mode)),
    };
}

QString DecodedMode(std::uint8_t mode) {
    const ModeText t = DecodeMode(mode);
    return QStringLiteral("%1, %2 identifiers, %3, %4")
        .arg(t.baud, t.identifiers, t.topology, t.relay);
}

QString ChannelStateText(bool error) {
    return error ? QStringLiteral("error") : QStringLiteral("ok");
}

QString MissingText() {
    return QStringLiteral("missing");
}

ModuleWords DescribeModule(const ModuleState& m, const RingPlace& place) {
    QStringList parts;
    const QString firmware = QStringLiteral("firmware ") + VersionText(m.version);
    if (place.missing) {
        // Its picture keeps the last answer: say that it is old.
        parts << MissingText() << QStringLiteral("last answer: ") + firmware;
    } else {
        parts << firmware;
    }
    parts
        << QStringLiteral("CH1 %1, error counter %2").arg(ChannelStateText(m.error1)).arg(m.count1)
        << QStringLiteral("CH2 %1, error counter %2").arg(ChannelStateText(m.error2)).arg(m.count2);
    if (place.attached) {
        parts << QStringLiteral("attached to the PC");
    }
    for (const int id : place.redLinks) {
        parts << QStringLiteral("link to module %1 in error").arg(id);
    }
    const QString name = QStringLiteral("Module %1").arg(m.id);
    return ModuleWords{name, parts.join(QStringLiteral("; ")),
                       name + QLatin1Char('\n') + parts.join(QLatin1Char('\n'))};
}

QString RingName(int modules, int missing) {
    QString name = QStringLiteral("Bus Info, %1 %2")
                       .arg(modules)
                       .arg(modules == 1 ? QStringLiteral("module") : QStringLiteral("modules"));
    if (missing > 0) {
        name += QStringLiteral(", %1 missing").arg(missing);
    }
    return name;
}

std::optional<int> ModuleIdFromText(const QString& text) {
    const std::string t = text.toStdString();
    const auto id = ParseWhole(TrimBlanks(t), 0, kMaxModuleID);
    return id ? std::optional<int>(static_cast<int>(*id)) : std::nullopt;
}

}  // namespace quorval
