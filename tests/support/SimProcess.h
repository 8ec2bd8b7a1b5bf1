#pragma once

#include <memory>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace testing_support {

// lwlsim as a child process on a pseudo-terminal of its own.
class SimProcess {
  public:
    // extraArgs go after --link, with {dir} standing for a private folder; systemIni, when not
    // empty, is written to a file and passed with --system.
    explicit SimProcess(const QStringList& extraArgs = {}, const QByteArray& systemIni = {});
    ~SimProcess();

    // True once the simulator printed its ready line (waits up to 10 s).
    bool Start();
    void Stop();
    // Ends this simulator if it still runs and starts another on the same link,
    // playing systemIni: the adapter plugged in again.
    bool Restart(const QByteArray& systemIni);
    QString LinkPath() const { return dir_.filePath(QStringLiteral("link")); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    QProcess& Process() { return process_; }
    // The frames of one direction ("rx" or "tx") in a log written with
    // --log {dir}/NAME, as hex text, oldest first.
    QStringList LoggedFrames(const QString& logName, const QString& direction = "rx") const;

  private:
    QTemporaryDir dir_;
    QStringList args_;
    QProcess process_;
};

// A system file: module 1 attached, then modules 2..n on one side, nearest first.
QByteArray Chain(int n, char side, const QByteArray& head = {});

// Files this process writes cannot grow beyond maxBytes (0: no limit again), as if
// its disk were full; a write beyond fails, it does not end the process.
void LimitFileSize(qint64 maxBytes);

// quorval-cli run to its end (up to 60 s); code -1 when it crashed or hung. With
// maxFileBytes, a file it writes cannot grow beyond that: a disk that fills up.
struct Run {
    int code = -1;
    QString out;
    QString err;
};
Run Cli(const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        qint64 maxFileBytes = 0);

}  // namespace testing_support
