#pragma once

#include <QByteArray>
#include <QString>

namespace quorval {

// Files written for people to keep (snapshots, reports) are never half-written:
// they go to a temporary file beside the target, which is renamed over it.

// Empty when a file can be written at path; otherwise "PATH: why not". Asked
// before any work is done, so that a typo costs no scan.
QString OutputProblem(const QString& path);

// Writes all bytes, then renames; empty on success, otherwise "PATH: why not".
// On failure an existing file at path is left as it was.
QString WriteWhole(const QString& path, const QByteArray& bytes);

}  // namespace quorval
