#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace quorval {

// Files written for people to keep (snapshots, reports, settings) are never half-written:
// they go to a temporary file beside the target, which is renamed over it.

// Empty when a file can be written at path; otherwise "PATH: why not". Asked
// before any work is done, so that a typo costs no scan.
QString OutputProblem(const QString& path);

// Writes all bytes to a file opened unbuffered, trying the rest of a write cut
// short, so that a failure sets the file's errorString (disk full, ...).
bool WriteAll(QFileDevice& file, const QByteArray& bytes);

// Writes all bytes, then renames; empty on success, otherwise "PATH: why not".
// On failure an existing file at path is left as it was.
QString WriteWhole(const QString& path, const QByteArray& bytes);

}  // namespace quorval
