#include "support/MqttBroker.h"

#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>

namespace testing_support {

namespace {

int FreePort() {
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
}

// A test that crashes leaves no broker behind.
void DieWithTest(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

}  // namespace

MqttBroker::MqttBroker(const QByteArray& config, bool persistent)
    : port_(FreePort()), tlsPort_(FreePort()) {
    QByteArray text = "per_listener_settings true\nuser root\nlistener " +
                      QByteArray::number(port_) + " 127.0.0.1\nallow_anonymous true\n" + config +
                      (persistent ? "persistence true\npersistence_location {dir}/\n" : "");
    text.replace("{dir}", dir_.path().toUtf8()).replace("{tls}", QByteArray::number(tlsPort_));
    QFile f(FilePath("mosquitto.conf"));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    process_.setProgram("mosquitto");
    process_.setArguments({"-c", f.fileName()});
    process_.setStandardOutputFile(FilePath("broker.log"), QIODevice::Append);
    process_.setStandardErrorFile(FilePath("broker.log"), QIODevice::Append);
    DieWithTest(process_);
}

MqttBroker::~MqttBroker() {
    Stop();
}

bool MqttBroker::Start() {
    process_.start();
    // Up once it takes a retained message, which tells a subscriber that it is subscribed.
    const QStringList ready{"-p", QString::number(port_), "-r", "-t", "tst/ready", "-m", "1"};
    for (int i = 0; i < 100 && process_.waitForStarted(10000); ++i) {
        QProcess pub;  // what it says while the broker is not up yet is not shown
        pub.start("mosquitto_pub", ready);
        if (pub.waitForFinished(10000) && pub.exitCode() == 0)
            return true;
        QThread::msleep(100);
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
        p.start("openssl", args);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    QFile ext(FilePath("ext"));
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=DNS:localhost\n") <= 0)
        return false;
    ext.close();
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
    return run(QStringList{"req", "-x509", "-keyout", "ca.key", "-out", "ca.crt", "-days", "2",
                           "-subj", "/CN=ca"} +
               key) &&
           run(QStringList{"req", "-keyout", "srv.key", "-out", "srv.csr", "-subj",
                           "/CN=localhost"} +
               key) &&
           run({"x509", "-req", "-in", "srv.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "srv.crt", "-days", "2", "-extfile", "ext"});
}

MqttSub::MqttSub(const MqttBroker& broker, const QString& topic, bool persistent) {
    QStringList args{
        "-p",       QString::number(broker.Port()), "-q", "1", "-F", "%r %t %p", "-t", topic, "-t",
        "tst/ready"};
    if (persistent)
        args << "-c"
             << "-i"
             << "tst-sub";
    DieWithTest(process_);
    process_.start("mosquitto_sub", args);
    while (!Lines().join('\n').contains("tst/ready") && process_.waitForReadyRead(10000)) {
    }
}

MqttSub::~MqttSub() {
    process_.kill();
    process_.waitForFinished(5000);
}

QStringList MqttSub::Lines() {
    while (process_.canReadLine())
        lines_ << QString::fromUtf8(process_.readLine()).trimmed();
    return lines_;
}

QList<QByteArray> MqttSub::Payloads(const QString& topic, int retained) {
    QList<QByteArray> payloads;
    for (const QString& line : Lines()) {
        if (line.section(' ', 1, 1) == topic &&
            (retained < 0 || line.startsWith(QString::number(retained))))
            payloads << line.section(' ', 2).toUtf8();
    }
    return payloads;
}

}  // namespace testing_support
