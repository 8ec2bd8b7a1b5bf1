#include "publish/WatchMetrics.h"

#include "common/OutputFile.h"
#include "model/ModuleText.h"

namespace quorval {

namespace {

QByteArray Escaped(const QString& value) {
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void Family(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

}  // namespace

QByteArray WatchMetricsText(const QString& system, const WatchRound& round,
                            const WatchTracker& tracker) {
    const QByteArray own = "system=\"" + Escaped(system) + '"';
    QByteArray out;
    Family(out, "quorval_link_up", "gauge",
           "Whether the last round reached the system through the port (1) or not (0).");
    out += "quorval_link_up{" + own + "} " + (round.linkUp ? "1" : "0") + '\n';
    Family(out, "quorval_rounds_total", "counter", "Rounds of the watch since it started.");
    out += "quorval_rounds_total{" + own + "} " + QByteArray::number(round.number) + '\n';
    Family(out, "quorval_last_round_timestamp_seconds", "gauge",
           "When the last round started, in seconds since 1970-01-01 UTC.");
    out += "quorval_last_round_timestamp_seconds{" + own + "} " +
           QByteArray::number(static_cast<double>(round.timeMs) / 1000.0, 'f', 3) + '\n';

    // In a round without link nobody answered; the rest is as last seen.
    const auto& known = tracker.Modules();
    const auto module = [&own](const WatchTracker::Known& k) {
        return own + ",module=\"" + QByteArray::number(k.sample.state.id) + '"';
    };
    Family(out, "quorval_module_present", "gauge",
           "Whether the module answered the last round (1) or not (0).");
    for (const auto& k : known) {
        const bool present = round.linkUp && k.sample.present;
        out += "quorval_module_present{" + module(k) + "} " + (present ? "1" : "0") + '\n';
    }
    Family(out, "quorval_module_info", "gauge",
           "The module's firmware version and side as last seen; always 1.");
    for (const auto& k : known) {
        const ModuleState& m = k.sample.state;
        out += "quorval_module_info{" + module(k) + ",version=\"" +
               Escaped(VersionText(m.version)) + "\",side=\"" +
               Escaped(m.side ? QString(QChar(m.side)) : QString()) + "\"} 1\n";
    }
    Family(out, "quorval_channel_in_error", "gauge",
           "Whether the CAN channel reported an error in the module's last answer (1) or not (0).");
    for (const auto& k : known) {
        for (int ch = 1; ch <= 2; ++ch) {
            const bool error = ch == 1 ? k.sample.state.error1 : k.sample.state.error2;
            out += "quorval_channel_in_error{" + module(k) + ",channel=\"" +
                   QByteArray::number(ch) + "\"} " + (error ? "1" : "0") + '\n';
        }
    }
    Family(out, "quorval_channel_errors_total", "counter",
           "The module's error counter of the CAN channel as last seen; it starts again from 0 "
           "when the module restarts.");
    for (const auto& k : known) {
        for (int ch = 1; ch <= 2; ++ch) {
            const int count = ch == 1 ? k.sample.state.count1 : k.sample.state.count2;
            out += "quorval_channel_errors_total{" + module(k) + ",channel=\"" +
                   QByteArray::number(ch) + "\"} " + QByteArray::number(count) + '\n';
        }
    }
    return out;
}

QString WriteWatchMetrics(const QString& path, const QString& system, const WatchRound& round,
                          const WatchTracker& tracker) {
    return WriteWhole(path, WatchMetricsText(system, round, tracker));
}

}  // namespace quorval
