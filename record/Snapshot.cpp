#include "record/Snapshot.h"

#include <cmath>
#include <utility>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include "common/IniText.h"
#include "model/ModuleTable.h"
#include "model/ModuleText.h"
#include "quorval/Version.h"

namespace quorval {

namespace {

// Far beyond 32001 modules of a few hundred bytes each; anything larger is not ours.
constexpr std::size_t kMaxSnapshotBytes = 64 * 1024 * 1024;

const QStringList kModuleKeys{"id",      "side",    "version", "firmware", "mode", "configuration",
                              "status1", "errors1", "status2", "errors2"};
const QStringList kSnapshotKeys{"taken", "port", "program", "modules"};

QString SideText(char side) {
    return QString(QChar(side ? static_cast<unsigned char>(side) : '?'));
}

QJsonObject ConfigurationJson(std::uint8_t mode) {
    const ModeText t = DecodeMode(mode);
    return QJsonObject{{"baud", t.baud},
                       {"identifiers", t.identifiers},
                       {"topology", t.topology},
                       {"relay", t.relay}};
}

// A value on one line, with a blank after each colon and comma.
QByteArray Compact(const QJsonValue& v) {
    if (v.isObject()) {
        QByteArrayList parts;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            parts << Compact(it.key()) + ": " + Compact(it.value());
        }
        return "{" + parts.join(", ") + "}";
    }
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// One object on one line, with its keys in the order given.
QByteArray Line(const std::vector<std::pair<const char*, QJsonValue>>& fields) {
    QByteArrayList parts;
    for (const auto& [key, value] : fields) {
        parts << Compact(QString::fromLatin1(key)) + ": " + Compact(value);
    }
    return "{" + parts.join(", ") + "}";
}

QString Shown(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Double:
            return QString::number(v.toDouble(), 'g', 12);
        case QJsonValue::String: {
            const QString s = v.toString();
            return QLatin1Char('"') + (s.size() > 40 ? s.left(40) + QStringLiteral("...") : s) +
                   QLatin1Char('"');
        }
        case QJsonValue::Array:
            return QStringLiteral("a list");
        case QJsonValue::Object:
            return QStringLiteral("an object");
        default:
            return QStringLiteral("nothing");
    }
}

// Reads fields and keeps the first problem with its place.
class Reader {
  public:
    explicit Reader(QString name) : name_(std::move(name)) {}

    bool Fail(const QString& place, const QString& what) {
        if (error_.isEmpty()) {
            error_ = QStringLiteral("%1: %2: %3").arg(name_, place, what);
        }
        return false;
    }
    const QString& Error() const { return error_; }

    bool Keys(const QJsonObject& o, const QStringList& allowed, const QString& place) {
        for (const QString& key : o.keys()) {
            if (!allowed.contains(key)) {
                return Fail(Join(place, key), QStringLiteral("unknown key"));
            }
        }
        return true;
    }

    // The value at key, or nothing (and the problem kept) when it is missing.
    std::optional<QJsonValue> Value(const QJsonObject& o, const QString& place,
                                    const QString& key) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            Fail(Join(place, key), QStringLiteral("missing"));
            return std::nullopt;
        }
        return v;
    }

    std::optional<int> Whole(const QJsonObject& o, const QString& place, const QString& key,
                             int low, int high) {
        const auto v = Value(o, place, key);
        if (!v) {
            return std::nullopt;
        }
        const double d = v->toDouble();
        if (!v->isDouble() || d != std::floor(d) || d < low || d > high) {
            Fail(Join(place, key), QStringLiteral("must be a whole number from %1 to %2, not %3")
                                       .arg(low)
                                       .arg(high)
                                       .arg(Shown(*v)));
            return std::nullopt;
        }
        return static_cast<int>(d);
    }

    std::optional<bool> Flag(const QJsonObject& o, const QString& place, const QString& key) {
        const auto v = Value(o, place, key);
        if (v && !v->isBool()) {
            Fail(Join(place, key), QStringLiteral("must be true or false, not %1").arg(Shown(*v)));
            return std::nullopt;
        }
        return v ? std::optional<bool>(v->toBool()) : std::nullopt;
    }

    std::optional<QString> Text(const QJsonObject& o, const QString& place, const QString& key) {
        const auto v = Value(o, place, key);
        if (v && !v->isString()) {
            Fail(Join(place, key), QStringLiteral("must be a text, not %1").arg(Shown(*v)));
            return std::nullopt;
        }
        return v ? std::optional<QString>(v->toString()) : std::nullopt;
    }

    static QString Join(const QString& place, const QString& key) {
        return place.isEmpty() ? key : place + QLatin1Char('.') + key;
    }

  private:
    QString name_;
    QString error_;
};

std::optional<ModuleState> ReadModule(Reader& r, const QJsonValue& value, const QString& place) {
    if (!value.isObject()) {
        r.Fail(place, QStringLiteral("must be an object, not %1").arg(Shown(value)));
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    if (!r.Keys(o, kModuleKeys, place)) {
        return std::nullopt;
    }
    const auto id = r.Whole(o, place, "id", 0, kMaxModuleID);
    const auto side = r.Text(o, place, "side");
    const auto version = r.Whole(o, place, "version", 0, 255);
    const auto mode = r.Whole(o, place, "mode", 0, 255);
    const auto status1 = r.Flag(o, place, "status1");
    const auto status2 = r.Flag(o, place, "status2");
    const auto errors1 = r.Whole(o, place, "errors1", 0, 32767);
    const auto errors2 = r.Whole(o, place, "errors2", 0, 32767);
    if (!id || !side || !version || !mode || !status1 || !status2 || !errors1 || !errors2) {
        return std::nullopt;
    }
    if (*side != QLatin1String("G") && *side != QLatin1String("L") && *side != QLatin1String("R")) {
        r.Fail(Reader::Join(place, "side"),
               QStringLiteral("must be \"G\", \"L\" or \"R\", not %1").arg(Shown(*side)));
        return std::nullopt;
    }
    // The words are there for people; the raw values count, and the two must agree.
    const auto version8 = static_cast<std::uint8_t>(*version);
    const auto mode8 = static_cast<std::uint8_t>(*mode);
    if (o.contains("firmware") && o.value("firmware") != VersionText(version8)) {
        r.Fail(Reader::Join(place, "firmware"), QStringLiteral("%1 does not match version %2 (%3)")
                                                    .arg(Shown(o.value("firmware")))
                                                    .arg(*version)
                                                    .arg(VersionText(version8)));
        return std::nullopt;
    }
    if (o.contains("configuration") && o.value("configuration") != ConfigurationJson(mode8)) {
        r.Fail(Reader::Join(place, "configuration"),
               QStringLiteral("does not match mode %1 (%2)").arg(*mode).arg(DecodedMode(mode8)));
        return std::nullopt;
    }
    return ModuleState{
        *id, side->at(0).toLatin1(), version8, mode8, *status1, *status2, *errors1, *errors2};
}

bool ReadModules(Reader& r, const QJsonArray& list, const QString& place,
                 std::vector<ModuleState>& modules) {
    QHash<int, int> seen;  // module ID -> its index
    for (int i = 0; i < list.size(); ++i) {
        const QString at = QStringLiteral("%1[%2]").arg(place).arg(i);
        const auto m = ReadModule(r, list[i], at);
        if (!m) {
            return false;
        }
        if (const auto first = seen.constFind(m->id); first != seen.constEnd()) {
            return r.Fail(at + QStringLiteral(".id"),
                          QStringLiteral("%1 is listed twice (also %2[%3])")
                              .arg(m->id)
                              .arg(place)
                              .arg(*first));
        }
        seen.insert(m->id, i);
        modules.push_back(*m);
    }
    return true;
}

bool ReadHeader(Reader& r, const QJsonObject& o, Snapshot& s) {
    if (!r.Keys(o, kSnapshotKeys, {})) {
        return false;
    }
    const auto taken = r.Text(o, {}, "taken");
    const auto port = r.Text(o, {}, "port");
    const auto program = r.Value(o, {}, "program");
    if (!taken || !port || !program) {
        return false;
    }
    s.taken = QDateTime::fromString(*taken, Qt::ISODateWithMs);
    if (!s.taken.isValid()) {
        return r.Fail("taken", QStringLiteral("must be a date and time as 2026-12-08T10:20:01Z, "
                                              "not %1")
                                   .arg(Shown(*taken)));
    }
    s.taken = s.taken.toUTC();
    s.port = *port;
    if (!program->isObject()) {
        return r.Fail("program", QStringLiteral("must be an object, not %1").arg(Shown(*program)));
    }
    const QJsonObject p = program->toObject();
    if (!r.Keys(p, {"name", "version"}, "program")) {
        return false;
    }
    const auto name = r.Text(p, "program", "name");
    const auto version = r.Text(p, "program", "version");
    if (!name || !version) {
        return false;
    }
    s.programName = *name;
    s.programVersion = *version;
    const auto modules = r.Value(o, {}, "modules");
    if (modules && !modules->isArray()) {
        return r.Fail("modules", QStringLiteral("must be a list, not %1").arg(Shown(*modules)));
    }
    return modules && ReadModules(r, modules->toArray(), "modules", s.modules);
}

}  // namespace

Snapshot TakeSnapshot(ModuleTable& table, const QString& port) {
    return Snapshot{QDateTime::currentDateTimeUtc(), port, QCoreApplication::applicationName(),
                    QString::fromLatin1(version::kText), ScannedModules(table)};
}

QJsonObject ModuleJson(const ModuleState& m, const char* letterKey) {
    return QJsonObject{
        {"id", m.id},          {letterKey, SideText(m.side)}, {"version", m.version},
        {"mode", m.mode},      {"status1", m.error1},         {"status2", m.error2},
        {"errors1", m.count1}, {"errors2", m.count2},
    };
}

QByteArray SnapshotJson(const Snapshot& s) {
    QByteArray modules = "[";
    const char* separator = "\n";
    for (const ModuleState& m : s.modules) {
        modules += separator;
        modules += "    " + Line({{"id", m.id},
                                  {"side", SideText(m.side)},
                                  {"version", m.version},
                                  {"firmware", VersionText(m.version)},
                                  {"mode", m.mode},
                                  {"configuration", ConfigurationJson(m.mode)},
                                  {"status1", m.error1},
                                  {"errors1", m.count1},
                                  {"status2", m.error2},
                                  {"errors2", m.count2}});
        separator = ",\n";
    }
    modules += s.modules.empty() ? "]" : "\n  ]";
    if (s.plainList) {  // it knows no more than the list it was read from
        return modules + "\n";
    }
    return "{\n  \"taken\": " + Compact(s.taken.toUTC().toString(Qt::ISODate)) +
           ",\n  \"port\": " + Compact(s.port) +
           ",\n  \"program\": " + Line({{"name", s.programName}, {"version", s.programVersion}}) +
           ",\n  \"modules\": " + modules + "\n}\n";
}

SnapshotRead ParseSnapshot(const QByteArray& json, const QString& name) {
    if (json.trimmed().isEmpty()) {
        return {std::nullopt, QStringLiteral("%1: the file is empty").arg(name)};
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const QByteArray before = json.left(parse.offset);
        const int line = static_cast<int>(before.count('\n')) + 1;
        const int column = static_cast<int>(before.size() - before.lastIndexOf('\n'));
        return {std::nullopt, QStringLiteral("%1:%2:%3: not JSON: %4")
                                  .arg(name)
                                  .arg(line)
                                  .arg(column)
                                  .arg(parse.errorString())};
    }
    Reader r(name);
    Snapshot s;
    bool ok = false;
    if (doc.isArray()) {
        s.plainList = true;
        ok = ReadModules(r, doc.array(), {}, s.modules);
    } else if (doc.isObject()) {
        ok = ReadHeader(r, doc.object(), s);
    } else {
        r.Fail(QStringLiteral("top"), QStringLiteral("must be a snapshot or a scan --json list"));
    }
    if (!ok) {
        return {std::nullopt, r.Error()};
    }
    return {std::move(s), {}};
}

SnapshotRead ReadSnapshot(const QString& path) {
    // Counted as it is read: a file that grows meanwhile is still bounded.
    const TextFile file = ReadTextFile(QFileInfo(path).filesystemFilePath(), kMaxSnapshotBytes);
    if (file.status == TextFile::Status::Ok) {
        return ParseSnapshot(QByteArray::fromStdString(file.bytes), path);
    }
    const std::string why = TextFileProblem(file.status, kMaxSnapshotBytes);
    return {std::nullopt, QStringLiteral("%1: %2").arg(path, QString::fromStdString(why))};
}

}  // namespace quorval
