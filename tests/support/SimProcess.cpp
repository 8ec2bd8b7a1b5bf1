#include "support/SimProcess.h"

#include <QFile>

#include <sys/prctl.h>
#include <sys/resource.h>

#include <csignal>

namespace testing_support {

namespace {

QString WriteSystem(const QTemporaryDir& dir, const QByteArray& systemIni) {
    QFile f(dir.filePath(QStringLiteral("system.ini")));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(systemIni);
    }
    return f.fileName();
}

}  // namespace

QByteArray Chain(int n, char side, const QByteArray& head) {
    QByteArray ini = head + "[module 1]\nside = G\n";
    for (int id = 2; id <= n; ++id)
        ini += "[module " + QByteArray::number(id) + "]\nside = " + side + "\n";
    return ini;
}

SimProcess::SimProcess(const QStringList& extraArgs, const QByteArray& systemIni) {
    args_ << QStringLiteral("--link") << LinkPath();
    for (QString a : extraArgs) {
        args_ << a.replace(QLatin1String("{dir}"), dir_.path());
    }
    if (!systemIni.isEmpty()) {
        args_ << QStringLiteral("--system") << WriteSystem(dir_, systemIni);
    }
    process_.setProgram(QStringLiteral(LWLSIM_PATH));
    process_.setArguments(args_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that crashes must not leave its simulator behind, holding the
    // output pipe that CTest waits on.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start() {
    process_.start();
    if (!process_.waitForStarted(10000)) {
        return false;
    }
    QByteArray out;
    while (!out.contains('\n')) {
        if (!process_.waitForReadyRead(10000)) {
            return false;
        }
        out += process_.readAllStandardOutput();
    }
    return out.trimmed() == "ready " + LinkPath().toLocal8Bit();
}

bool SimProcess::Restart(const QByteArray& systemIni) {
    Stop();
    const QString file = WriteSystem(dir_, systemIni);
    if (!args_.contains(QStringLiteral("--system"))) {
        args_ << QStringLiteral("--system") << file;
    }
    process_.setArguments(args_);
    return Start();
}

QStringList SimProcess::LoggedFrames(const QString& logName, const QString& direction) const {
    QFile f(FilePath(logName));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString marker = QLatin1Char(' ') + direction + QLatin1Char(' ');
    QStringList frames;
    for (const QString& line : QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.contains(marker)) {
            frames << line.section(marker, 1);
        }
    }
    return frames;
}

void SimProcess::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

void LimitFileSize(qint64 maxBytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = maxBytes > 0 ? rlim_t(maxBytes) : limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, maxBytes > 0 ? SIG_IGN : SIG_DFL);
}

Run Cli(const QStringList& args, const QProcessEnvironment& env, qint64 maxFileBytes) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (maxFileBytes > 0) {
        p.setChildProcessModifier([maxFileBytes] { LimitFileSize(maxFileBytes); });
    }
    p.start(QStringLiteral(QUORVAL_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace testing_support
