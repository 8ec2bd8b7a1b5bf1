#include "model/ModuleText.h"

#include "common/Parse.h"
#include "model/ModeByte.h"
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

std::optional<int> ModuleIdFromText(const QString& text) {
    const std::string t = text.toStdString();
    const auto id = ParseWhole(TrimBlanks(t), 0, kMaxModuleID);
    return id ? std::optional<int>(static_cast<int>(*id)) : std::nullopt;
}

}  // namespace quorval
