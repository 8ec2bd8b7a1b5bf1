#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include "model/ModuleState.h"

namespace quorval {

class ModuleTable;

// A record of the system as one scan found it, kept as a JSON file: what was
// installed at commissioning, compared with what is there at a later visit.
struct Snapshot {
    QDateTime taken;  // UTC
    QString port;
    QString programName;
    QString programVersion;
    std::vector<ModuleState> modules;  // in display order
    // Read from the plain array of `scan --json`: taken, port and program unknown.
    bool plainList = false;
};

// The modules of the last scan, taken now, with this program's name and version.
Snapshot TakeSnapshot(ModuleTable& table, const QString& port);

// One module as `scan --json` lists it: id, side, version, mode, status1,
// status2, errors1, errors2 (the raw values). The answer's letter goes under
// letterKey: "side" for a scan's G, L or R; a query's answer is "letter".
QJsonObject ModuleJson(const ModuleState& m, const char* letterKey = "side");

// The snapshot file: taken, port, program, then one module a line with the
// firmware text and the decoded configuration next to the raw values. One
// read from a plain list is written as a list.
QByteArray SnapshotJson(const Snapshot& s);

struct SnapshotRead {
    std::optional<Snapshot> snapshot;
    QString error;  // "FILE: modules[3].version: what is wrong" when there is none
};
// Reads a snapshot file or the output of `scan --json`, checking every field.
SnapshotRead ReadSnapshot(const QString& path);
// The same from bytes; name stands for the file in messages.
SnapshotRead ParseSnapshot(const QByteArray& json, const QString& name);

}  // namespace quorval
