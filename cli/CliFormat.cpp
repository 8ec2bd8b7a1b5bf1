#include "cli/CliFormat.h"

#include "common/Bits.h"

namespace quorval {

namespace {

QString Channel(int n, bool error, int count) {
    return QStringLiteral("CH%1 %2 %3")
        .arg(n)
        .arg(error ? QStringLiteral("error") : QStringLiteral("ok   "))
        .arg(count, 5);
}

QString ModeBits(std::uint8_t mode) {
    return QString::fromStdString(ByteToBits(mode));
}

}  // namespace

QString ModuleLine(const ModuleData& m) {
    const char side = m.GetSide() >= 0x20 && m.GetSide() < 0x7F ? char(m.GetSide()) : '?';
    return QStringLiteral("%1  %2  %3  %4  %5  %6  (%7)")
        .arg(m.GetModuleID(), 5)
        .arg(QChar(side))
        .arg(VersionText(m.GetVersion()), 4)
        .arg(Channel(1, m.GetStatusChannel1(), m.GetErrorCounterChannel1()))
        .arg(Channel(2, m.GetStatusChannel2(), m.GetErrorCounterChannel2()))
        .arg(ModeBits(m.GetMode()))
        .arg(DecodedMode(m.GetMode()));
}

QString FrameLine(const ResponseFrame& f, FrameOutcome outcome) {
    const QString what = outcome == FrameOutcome::New ? QStringLiteral("new")
                         : outcome == FrameOutcome::Repeat
                             ? QStringLiteral("repeat")
                             : QStringLiteral("ID outside 0..32000, skipped");
    return QStringLiteral("%1 %2  %3  %4  %5  %6  %7")
        .arg(QChar(f.Letter))
        .arg(f.ModuleID, 5)
        .arg(VersionText(f.Version), 4)
        .arg(Channel(1, f.StatusChannel1, f.ErrorCounterChannel1))
        .arg(Channel(2, f.StatusChannel2, f.ErrorCounterChannel2))
        .arg(ModeBits(f.Mode))
        .arg(what);
}

}  // namespace quorval
