#include "report/WatchSection.h"

#include <QDateTime>

#include "record/WatchText.h"
#include "report/Html.h"
#include "report/Report.h"
#include "report/TrendSvg.h"

namespace quorval {

namespace {

constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

QString Count(long long n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

void Source(Html& h, const WatchDigest& w) {
    QString text = QStringLiteral("From the watch log %1: ").arg(w.file);
    text += w.rounds > 0 ? QStringLiteral("rounds %1 to %2.").arg(w.firstRound).arg(w.lastRound)
                         : QStringLiteral("it holds no round that could be read.");
    if (w.watches > 1) {
        text +=
            QStringLiteral(
                " It holds %1 watches, one appended to the other: this is the last; "
                "the %2 before it (%3 to %4) %5 not in this report.")
                .arg(w.watches)
                .arg(Count(w.watches - 1, "watch", "watches"), WatchTimeText(w.earlierFromMs),
                     WatchTimeText(w.earlierToMs), QLatin1String(w.watches == 2 ? "is" : "are"));
    }
    h.Element("p", text);
}

// What of the log is not in the report, and why.
void Notes(Html& h, const WatchDigest& w) {
    QStringList notes;
    if (w.roundsNotLogged > 0) {
        notes << QStringLiteral(
                     "%1 not in the log (numbers skipped): the link was lost then, "
                     "no module had answered yet, or their rows could not be read.")
                     .arg(Count(w.roundsNotLogged, "round is", "rounds are"));
    }
    if (w.roundsLeftOut > 0) {
        notes << QStringLiteral(
                     "%1 left out: cut off or with rows missing, or earlier than the "
                     "round before.")
                     .arg(Count(w.roundsLeftOut, "round was", "rounds were"));
    }
    if (w.plotsLeftOut > 0) {
        notes << QStringLiteral(
                     "%1 more where something happened not plotted; the summary names "
                     "them.")
                     .arg(Count(w.plotsLeftOut, "channel", "channels"));
    }
    for (const QString& note : notes) {
        h.Element("p", note, {{"class", "note"}});
    }
    if (w.badRows == 0) {
        return;
    }
    h.Element(
        "p",
        QStringLiteral("%1 of the file could not be read and %2 left out%3:")
            .arg(Count(w.badRows, "row", "rows"), QLatin1String(w.badRows == 1 ? "was" : "were"),
                 w.badRows > w.badRowSample.size() ? QStringLiteral(", the first") : QString()),
        {{"class", "note"}});
    h.Open("ul", {{"class", "note"}});
    for (const QString& problem : w.badRowSample) {
        h.Element("li", problem);
    }
    h.Close();
}

void Summary(Html& h, const WatchDigest& w) {
    h.Element("p", QStringLiteral("Summary: ") + w.summary.value(0), {{"class", "summary"}});
    if (w.summary.size() > 1) {
        h.Open("ul", {{"class", "summary"}});
        for (int i = 1; i < w.summary.size(); ++i) {
            h.Element("li", w.summary[i]);
        }
        h.Close();
    }
    if (!w.quiet.empty()) {
        QStringList ids;
        for (const int id : w.quiet) {
            ids << QString::number(id);
        }
        h.Element("p",
                  QStringLiteral("Nothing happened at %1: %2.")
                      .arg(Count(static_cast<long long>(w.quiet.size()), "module", "modules"),
                           ids.join(QStringLiteral(", "))),
                  {{"class", "quiet"}});
    }
}

// "12:16:58 missing; 12:17:01 back": the caption names the module and channel,
// and the times read as those of the axis.
QString EventList(const WatchDigest& w, const TrendPlot& p) {
    const QString format =
        w.toMs - w.fromMs < kDayMs ? QStringLiteral("HH:mm:ss") : QStringLiteral("MM-dd HH:mm:ss");
    QStringList events;
    for (const WatchEvent& e : p.events) {
        QString text = WatchEventText(e);
        for (const QString& prefix : {QStringLiteral("module %1 CH%2 ").arg(e.id).arg(e.channel),
                                      QStringLiteral("module %1 ").arg(e.id)}) {
            if (text.startsWith(prefix)) {
                text.remove(0, prefix.size());
                break;
            }
        }
        events << QDateTime::fromMSecsSinceEpoch(e.timeMs, Qt::UTC).toString(format) +
                      QLatin1Char(' ') + text;
    }
    if (p.moreEvents > 0) {
        events << QStringLiteral("and %1").arg(Count(p.moreEvents, "more event", "more events"));
    }
    return events.join(QStringLiteral("; "));
}

void Plot(Html& h, const WatchDigest& w, const TrendPlot& p) {
    const bool module = p.channel == 0;
    h.Open("figure", {{"class", "trend"},
                      {"id", module ? QStringLiteral("trend-%1").arg(p.id)
                                    : QStringLiteral("trend-%1-ch%2").arg(p.id).arg(p.channel)}});
    h.Open("figcaption");
    h.Element("strong", module ? QStringLiteral("Module %1").arg(p.id)
                               : QStringLiteral("Module %1, CH%2").arg(p.id).arg(p.channel));
    QStringList about;
    for (const QString& line : p.summary) {
        about << line.section(QStringLiteral(": "), 1);
    }
    if (module) {
        about << QStringLiteral("the counters of CH1 (blue) and CH2 (green) unchanged");
    }
    if (!about.isEmpty()) {
        h.Text(QStringLiteral(": ") + about.join(QStringLiteral("; ")));
    }
    h.Close();
    WriteTrendSvg(h, TrendFrame(), w.fromMs, w.toMs, p);
    if (!p.events.empty()) {
        h.Element("p", EventList(w, p), {{"class", "events"}});
    }
    h.Close();
}

}  // namespace

void WatchSection(Html& h, const ReportData& d) {
    if (!d.watch) {
        return;
    }
    const WatchDigest& w = *d.watch;
    h.Open("section", {{"id", "watch"}});
    h.Element("h2", QStringLiteral("Watch"));
    Source(h, w);
    Notes(h, w);
    if (w.rounds > 0) {
        Summary(h, w);
    }
    if (!w.plots.empty()) {
        h.Element("p",
                  QStringLiteral("Each plot is the error counter of one channel over the watch "
                                 "(of both, where a module went missing and they stayed as "
                                 "they were), grey where the module did not answer, with a red "
                                 "bar along the bottom while the channel was in error. Marks on "
                                 "top: red where it went into error, green where it was ok "
                                 "again, blue where the module went missing, came back or was "
                                 "new, a short orange tick for each rise; a violet line where "
                                 "the counter fell (restart or reset). Times in UTC."),
                  {{"class", "legend"}});
    }
    for (const TrendPlot& p : w.plots) {
        Plot(h, w, p);
    }
    h.Close();
}

}  // namespace quorval
