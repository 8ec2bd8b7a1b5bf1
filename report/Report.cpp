#include "report/Report.h"

#include <algorithm>

#include "model/ModuleText.h"
#include "report/Html.h"
#include "report/RingSvg.h"
#include "report/WatchSection.h"

namespace quorval {

namespace {

// Browsers read a style element as raw text: nothing here may need escaping
// in XML (no angle brackets, ampersands or quotes).
const char* const kStyle = R"(
@page { size: A4; margin: 15mm; }
html { print-color-adjust: exact; -webkit-print-color-adjust: exact; }
body { font-family: sans-serif; font-size: 10pt; color: #000; background: #fff;
       max-width: 178mm; margin: 8mm auto; }
h1 { font-size: 17pt; margin: 0 0 3mm 0; }
h2 { font-size: 13pt; margin: 7mm 0 2mm 0; break-after: avoid; page-break-after: avoid; }
p { margin: 1mm 0 2mm 0; }
table { border-collapse: collapse; width: 100%; font-size: 9pt; }
th, td { border: 0.3mm solid #999; padding: 0.7mm 1.3mm; text-align: left; vertical-align: top; }
thead th { background: #e4e4e4; }
thead { display: table-header-group; }
tr, header, section { break-inside: avoid; page-break-inside: avoid; }
table.facts { width: auto; }
table.facts th { background: #f0f0f0; font-weight: normal; }
td.number, th.number { text-align: right; font-variant-numeric: tabular-nums; }
th.group { text-align: center; }
td.nowrap { white-space: nowrap; }
.error { color: #c00000; font-weight: bold; }
.verdict { font-weight: bold; }
figure { margin: 0; }
svg.ring { display: block; width: 150mm; max-width: 100%; height: auto; margin: 0 auto; }
svg .link { fill: none; stroke-width: 3; }
svg path { shape-rendering: crispEdges; }
svg path.link { shape-rendering: auto; }
svg text { font-family: sans-serif; font-size: 13px; text-anchor: middle; dominant-baseline: central; }
svg text.pc { font-size: 22px; font-weight: bold; text-anchor: start; dominant-baseline: hanging; }
figcaption { font-size: 9pt; color: #333; margin-top: 1mm; text-align: center; }
footer { margin-top: 8mm; font-size: 8pt; color: #555; }
section#watch { break-inside: auto; page-break-inside: auto; }
p.note, ul.note { font-size: 9pt; color: #333; }
p.summary { font-weight: bold; margin-bottom: 0; }
ul.summary { margin: 0.5mm 0 2mm 0; padding-left: 6mm; }
p.legend { font-size: 8pt; color: #333; }
figure.trend { margin: 3mm 0 3mm 0; break-inside: avoid; page-break-inside: avoid; }
figure.trend figcaption { text-align: left; color: #000; margin: 0 0 0.5mm 0; }
p.events { font-size: 8pt; color: #333; margin: 0.5mm 0 0 0; }
svg.trend { display: block; width: 100%; height: auto; }
svg.trend text { font-size: 11px; }
svg.trend text.value { text-anchor: end; }
svg.trend text.time { dominant-baseline: hanging; }
svg.trend .area { fill: #fff; stroke: #777; stroke-width: 1; }
svg.trend .gap { fill: #d4d4d4; }
svg.trend .grid { stroke: #e4e4e4; stroke-width: 1; }
svg.trend .axis { stroke: #777; stroke-width: 1; }
svg.trend path.series { fill: none; stroke: #1f4e9e; stroke-width: 1.6; stroke-linejoin: round; shape-rendering: auto; }
svg.trend .point { fill: #1f4e9e; }
svg.trend path.series.ch2 { stroke: #008060; stroke-dasharray: 5 3; }
svg.trend .point.ch2 { fill: #008060; }
svg.trend .in-error { fill: #e00000; }
svg.trend .mark { stroke-width: 1.3; }
svg.trend .mark.error { stroke: #d00000; fill: #d00000; }
svg.trend .mark.ok { stroke: #009000; fill: #009000; }
svg.trend .mark.fell { stroke: #8a2be2; fill: #8a2be2; }
svg.trend .mark.missing, svg.trend .mark.back, svg.trend .mark.new { stroke: #3070c0; fill: #3070c0; }
svg.trend .mark.rose { stroke: #e07000; stroke-width: 1.5; }
svg.trend .mark.foreign { stroke: #000; fill: #000; }
)";

QString When(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"))
                       : QStringLiteral("not recorded");
}

QString Program(const Snapshot& s) {
    return s.plainList ? QStringLiteral("not recorded")
                       : QStringLiteral("%1 %2").arg(s.programName, s.programVersion);
}

QString LowestFirmware(const std::vector<ModuleState>& modules) {
    if (modules.empty()) {
        return QStringLiteral("none");
    }
    const auto lowest = std::min_element(
        modules.begin(), modules.end(),
        [](const ModuleState& a, const ModuleState& b) { return a.version < b.version; });
    return VersionText(lowest->version);
}

void Fact(Html& h, const QString& name, const QString& value, const QString& cls = {}) {
    h.Open("tr");
    h.Element("th", name);
    h.Element("td", value, {{"class", cls}});
    h.Close();
}

void Heads(Html& h, std::initializer_list<const char*> names) {
    h.Open("thead");
    h.Open("tr");
    for (const char* name : names) {
        h.Element("th", QString::fromUtf8(name));
    }
    h.Close();
    h.Close();
}

QString StatusText(bool error) {
    return error ? QStringLiteral("error") : QStringLiteral("ok");
}

QString ErrorClass(bool error) {
    return error ? QStringLiteral("error") : QString();
}

// The sections, in the order of the page. Each writes nothing when it has
// nothing to show.
void Header(Html& h, const ReportData& d) {
    const Snapshot& s = d.state;
    h.Open("header");
    h.Element("h1", d.title);
    h.Open("table", {{"class", "facts"}});
    Fact(h, QStringLiteral("Taken"), When(s.taken));
    if (!d.stateFrom.isEmpty()) {
        Fact(h, QStringLiteral("State"), d.stateFrom);
    }
    Fact(h, QStringLiteral("Port"), s.plainList ? QStringLiteral("not recorded") : s.port);
    Fact(h, QStringLiteral("Program"), Program(s));
    Fact(h, QStringLiteral("Modules"), QString::number(s.modules.size()));
    Fact(h, QStringLiteral("Lowest firmware"), LowestFirmware(s.modules));
    if (d.baseline) {
        Fact(
            h, QStringLiteral("Baseline"),
            QStringLiteral("%1, taken %2").arg(d.baseline->file, When(d.baseline->snapshot.taken)));
        const auto& differences = d.baseline->differences;
        Fact(h, QStringLiteral("Verdict"), Verdict(differences, static_cast<int>(s.modules.size())),
             SystemDiffers(differences) ? QStringLiteral("error verdict")
                                        : QStringLiteral("verdict"));
    }
    if (d.watch) {
        Fact(h, QStringLiteral("Watch"),
             d.watch->rounds > 0 ? d.watch->summary.value(0)
                                 : QStringLiteral("%1: no rounds").arg(d.watch->file));
    }
    h.Close();
    h.Close();
}

void RingSection(Html& h, const ReportData& d) {
    h.Open("section", {{"id", "ring"}});
    h.Element("h2", QStringLiteral("Ring"));
    h.Open("figure");
    WriteRingSvg(h, d.state.modules);
    h.Element("figcaption",
              QStringLiteral("As the bus view draws it: the modules in display order "
                             "counter-clockwise from the one attached to the PC (\"PC\"), the "
                             "left lamp for CAN channel 1, the right one for channel 2, green "
                             "when fine and red in error; a link is red where the modules at "
                             "both ends report errors."));
    h.Close();
    h.Close();
}

void ModuleTable(Html& h, const ReportData& d) {
    h.Open("section", {{"id", "modules"}});
    h.Element("h2", QStringLiteral("Modules"));
    h.Open("table");
    h.Open("thead");
    h.Open("tr");
    for (const char* name : {"#", "ID", "Side", "Firmware", "Configuration"}) {
        h.Element("th", QString::fromLatin1(name), {{"rowspan", "2"}});
    }
    h.Element("th", QStringLiteral("CH1"), {{"colspan", "2"}, {"class", "group"}});
    h.Element("th", QStringLiteral("CH2"), {{"colspan", "2"}, {"class", "group"}});
    h.Close();
    h.Open("tr");
    for (int channel = 1; channel <= 2; ++channel) {
        h.Element("th", QStringLiteral("status"));
        h.Element("th", QStringLiteral("counter"), {{"class", "number"}});
    }
    h.Close();
    h.Close();
    h.Open("tbody");
    int position = 0;
    for (const ModuleState& m : d.state.modules) {
        const ModeText mode = DecodeMode(m.mode);
        h.Open("tr");
        h.Element("td", QString::number(position++), {{"class", "number"}});
        h.Element("td", QString::number(m.id), {{"class", "number"}});
        h.Element("td", QString(QChar(static_cast<unsigned char>(m.side))));
        h.Element("td", VersionText(m.version));
        h.Open("td", {{"class", "nowrap"}});
        h.Text(QStringLiteral("0x%1: %2, %3, %4")
                   .arg(m.mode, 2, 16, QLatin1Char('0'))
                   .arg(mode.baud, mode.identifiers, mode.topology));
        h.Empty("br");
        h.Text(mode.relay);
        h.Close();
        h.Element("td", StatusText(m.error1), {{"class", ErrorClass(m.error1)}});
        h.Element("td", QString::number(m.count1), {{"class", "number"}});
        h.Element("td", StatusText(m.error2), {{"class", ErrorClass(m.error2)}});
        h.Element("td", QString::number(m.count2), {{"class", "number"}});
        h.Close();
    }
    h.Close();
    h.Close();
    h.Close();
}

void Differences(Html& h, const ReportData& d) {
    if (!d.baseline) {
        return;
    }
    const auto& differences = d.baseline->differences;
    h.Open("section", {{"id", "differences"}});
    h.Element("h2", QStringLiteral("Differences from the baseline"));
    h.Element("p", QStringLiteral("Baseline %1, taken %2, %3 modules; most serious first.")
                       .arg(d.baseline->file, When(d.baseline->snapshot.taken))
                       .arg(d.baseline->snapshot.modules.size()));
    if (differences.empty()) {
        h.Element("p", QStringLiteral("No differences."), {{"class", "verdict"}});
        h.Close();
        return;
    }
    h.Open("table");
    Heads(h, {"Module", "What", "Was", "Now"});
    h.Open("tbody");
    for (const Difference& diff : differences) {
        const bool serious = !IsCounterChange(diff.change);
        const QString now = diff.now + CounterNote(diff);
        h.Open("tr", {{"class", serious ? "difference" : "counter"}});
        h.Element("td", QString::number(diff.module), {{"class", "number"}});
        h.Element("td", diff.what, {{"class", ErrorClass(serious)}});
        h.Element("td", diff.was);
        h.Element("td", now);
        h.Close();
    }
    h.Close();
    h.Close();
    h.Close();
}

void Footer(Html& h, const ReportData& d) {
    h.Element("footer", QStringLiteral("Written by %1 on %2.").arg(d.writtenBy, When(d.written)));
}

using Section = void (*)(Html&, const ReportData&);
constexpr Section kSections[] = {Header,      RingSection,  ModuleTable,
                                 Differences, WatchSection, Footer};

}  // namespace

QByteArray ReportXhtml(const ReportData& data) {
    QByteArray out;
    {
        Html h(&out);
        h.Open("html", {{"lang", "en"}});
        h.Open("head");
        h.Empty("meta", {{"charset", "utf-8"}});
        h.Element("title", data.title);
        h.Element("style", QString::fromLatin1(kStyle));
        h.Close();
        h.Open("body");
        for (const Section section : kSections) {
            section(h, data);
        }
        h.Close();
        h.Close();
    }
    return out;
}

}  // namespace quorval
