#include "common/OutputFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace quorval {

QString OutputProblem(const QString& path) {
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    QString why;
    if (path.isEmpty()) {
        why = QStringLiteral("no file name");
    } else if (target.isDir()) {
        why = QStringLiteral("is a folder");
    } else if (!folder.isDir()) {
        why = QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
    } else if (!folder.isWritable()) {
        why = QStringLiteral("the folder %1 cannot be written").arg(folder.filePath());
    } else if (target.exists() && !target.isFile()) {
        why = QStringLiteral("is not a regular file");
    }
    return why.isEmpty() ? why : QStringLiteral("%1: %2").arg(path, why);
}

bool WriteAll(QFileDevice& file, const QByteArray& bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

QString WriteWhole(const QString& path, const QByteArray& bytes) {
    if (const QString problem = OutputProblem(path); !problem.isEmpty()) {
        return problem;
    }
    // QSaveFile keeps the file's permissions and, given a symlink, replaces the
    // file it points at, not the link. Unbuffered: its commit does not see a
    // write that fails while its buffer is flushed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !WriteAll(file, bytes) ||
        !file.commit()) {
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    }
    return {};
}

}  // namespace quorval
