#include "support/MqttBroker.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>

namespace testing_support {

namespace {

int FreePort() {
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
}

void DieWithTest(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

}  // namespace

MqttBroker::MqttBroker(const QByteArray& config, bool persistent)
    : port_(FreePort()), tlsPort_(FreePort()) {
    QByteArray text = "per_listener_settings true\nuser root\nlistener " +
                      QByteArray::number(port_) + " 127.0.0.1\nallow_anonymous true\n" + config;
    if (persistent) {
        text += "persistence true\npersistence_location {dir}/\n";
    }
    text.replace("{dir}", dir_.path().toUtf8()).replace("{tls}", QByteArray::number(tlsPort_));
    QFile f(FilePath(QStringLiteral("mosquitto.conf")));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(text);
    }
    process_.setProgram(QStringLiteral("mosquitto"));
    process_.setArguments({"-c", f.fileName()});
    process_.setStandardOutputFile(FilePath(QStringLiteral("broker.log")), QIODevice::Append);
    process_.setStandardErrorFile(FilePath(QStringLiteral("broker.log")), QIODevice::Append);
    DieWithTest(process_);
}

MqttBroker::~MqttBroker() {
    Stop();
}

bool MqttBroker::Start() {
    process_.start();
    for (int i = 0; i < 200 && process_.waitForStarted(10000); ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
        if (probe.waitForConnected(1000)) {
            // A subscriber knows it is subscribed once it sees this.
            QProcess pub;
            pub.start(QStringLiteral("mosquitto_pub"), {"-p", QString::number(port_), "-r", "-q",
                                                        "1", "-t", "tst/ready", "-m", "1"});
            return pub.waitForFinished(10000) && pub.exitCode() == 0;
        }
        QThread::msleep(50);
    }
    return false;
}

void MqttBroker::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();  // saves the persistent sessions
        process_.waitForFinished(10000);
    }
}

bool MqttBroker::MakeCertificates() {
    const auto run = [this](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QStringLiteral("openssl"), args);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    QFile ext(FilePath(QStringLiteral("ext")));
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=DNS:localhost\n") <= 0) {
        return false;
    }
    ext.close();
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
    const QStringList ca{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=ca"};
    const QStringList csr{"-keyout", "srv.key", "-out", "srv.csr", "-subj", "/CN=localhost"};
    return run(QStringList{"req", "-x509"} + key + ca) && run(QStringList{"req"} + key + csr) &&
           run({"x509", "-req", "-in", "srv.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "srv.crt", "-days", "2", "-extfile", "ext"});
}

MqttSub::MqttSub(const MqttBroker& broker, const QString& topic, bool persistent) {
    QStringList args{"-h",  "127.0.0.1", "-p",      QString::number(broker.Port()), "-q", "1", "-t",
                     topic, "-F",        "%r %t %p"};
    if (persistent) {
        args << "-c"
             << "-i"
             << "tst-sub";
    }
    if (topic != QLatin1String("#")) {
        args << "-t"
             << "tst/ready";
    }
    DieWithTest(process_);
    process_.start(QStringLiteral("mosquitto_sub"), args);
    while (!Lines().join('\n').contains("tst/ready") && process_.waitForReadyRead(10000)) {
    }
}

MqttSub::~MqttSub() {
    process_.kill();
    process_.waitForFinished(5000);
}

QStringList MqttSub::Lines() {
    while (process_.canReadLine()) {
        lines_ << QString::fromUtf8(process_.readLine()).trimmed();
    }
    return lines_;
}

QList<QByteArray> MqttSub::Payloads(const QString& topic, int retained) {
    QList<QByteArray> payloads;
    for (const QString& line : Lines()) {
        if (line.section(' ', 1, 1) == topic &&
            (retained < 0 || line.startsWith(QString::number(retained)))) {
            payloads << line.section(' ', 2).toUtf8();
        }
    }
    return payloads;
}

}  // namespace testing_support
