#include "publish/MqttClient.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <QFile>
#include <QTcpSocket>

#include <mosquitto.h>

namespace quorval {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kLoopMs = 100;  // how soon the thread sees a stop
constexpr int kProbeMs = 3000;
constexpr int kEndWaitMs = 1500;
constexpr int kMaxReceivedBytes = 64;

// The library is set up once, for the life of the program, by the first client
// (a function-local static starts thread-safely and changes no more).
void LibraryReady() {
    static const int ready = mosquitto_lib_init();
    (void)ready;
}

// "Connection Refused: not authorised." -> "not authorised".
QString Plain(const char* text) {
    QString s = QString::fromUtf8(text);
    if (const qsizetype colon = s.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        s = s.mid(colon + 1);
    }
    s = s.trimmed();
    if (s.endsWith(QLatin1Char('.'))) {
        s.chop(1);
    }
    if (!s.isEmpty()) {
        s[0] = s[0].toLower();
    }
    return s;
}

// Whether the broker takes a connection at all, within kProbeMs. libmosquitto
// cannot say so by itself: its connect blocks as long as the system lets it,
// and a refused non-blocking connect goes unnoticed under TLS.
QString Probe(const QString& host, int port) {
    QTcpSocket socket;
    socket.connectToHost(host, static_cast<quint16>(port));
    if (socket.waitForConnected(kProbeMs)) {
        socket.abort();
        return {};
    }
    if (socket.error() == QAbstractSocket::SocketTimeoutError) {
        return QStringLiteral("no answer within %1 s").arg(kProbeMs / 1000);
    }
    return Plain(qPrintable(socket.errorString()));
}

}  // namespace

// What the network thread and the owner share. The thread keeps it alive, so
// that a thread left running past its owner touches nothing that is gone.
struct MqttClient::Shared {
    mosquitto* m = nullptr;
    QByteArray host;
    int port = 0;
    QByteArray subscribe;

    QString setupError;
    std::thread thread;

    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;        // the owner is gone
    bool disconnect = false;  // a clean end was asked for
    bool ended = false;
    MqttClient* owner = nullptr;  // null once the owner is gone; under mutex

    // Of the attempt under way; the network thread's own.
    int connack = -1;
    QString errorLine;  // libmosquitto's first error of the attempt (TLS says why here)

    // f(owner), queued to the owner's thread, never run in this one.
    template <typename F>
    void Post(F f) {
        std::lock_guard<std::mutex> lock(mutex);
        if (MqttClient* o = owner) {
            QMetaObject::invokeMethod(
                o, [o, f = std::move(f)] { f(o); }, Qt::QueuedConnection);
        }
    }
    bool Waits(int ms) {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, milliseconds(ms), [this] { return stop || disconnect; });
    }
    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex);
        return stop || disconnect;
    }
    bool CleanEnd() {
        std::lock_guard<std::mutex> lock(mutex);
        return disconnect && !stop;
    }

    std::pair<QString, bool> Describe(int rc, int error) const;
    void EndConnection();
    static void Run(const std::shared_ptr<Shared>& s);
};

std::pair<QString, bool> MqttClient::Shared::Describe(int rc, int error) const {
    if (connack > 0) {  // 3: the server is unavailable, which passes
        return {Plain(mosquitto_connack_string(connack)), connack != 3};
    }
    switch (rc) {
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            return {QStringLiteral("TLS: ") +
                        (errorLine.isEmpty() ? Plain(mosquitto_strerror(rc)) : errorLine),
                    true};
        case MOSQ_ERR_ERRNO:
            return {Plain(qPrintable(qt_error_string(error))), false};
        case MOSQ_ERR_TIMEOUT:
            return {QStringLiteral("no answer within %1 s").arg(kConnectWaitMs / 1000), false};
        default:
            return {Plain(mosquitto_strerror(rc)), false};
    }
}

// DISCONNECT, so that the broker drops the will, then the socket closes.
void MqttClient::Shared::EndConnection() {
    if (mosquitto_disconnect(m) != MOSQ_ERR_SUCCESS) {
        return;
    }
    const auto until = Clock::now() + milliseconds(kEndWaitMs);
    while (Clock::now() < until && mosquitto_loop(m, kLoopMs, 1) == MOSQ_ERR_SUCCESS) {
    }
}

void MqttClient::Shared::Run(const std::shared_ptr<Shared>& s) {
    int retryMs = kFirstRetryMs;
    while (!s->Stopping()) {
        s->connack = -1;
        s->errorLine.clear();
        const QString unreachable = Probe(QString::fromUtf8(s->host), s->port);
        int rc = MOSQ_ERR_SUCCESS;
        int error = 0;
        if (unreachable.isEmpty()) {
            rc = mosquitto_connect(s->m, s->host.constData(), s->port, kKeepaliveS);
            error = errno;
        }
        const auto deadline = Clock::now() + milliseconds(kConnectWaitMs);
        while (unreachable.isEmpty() && rc == MOSQ_ERR_SUCCESS && !s->Stopping()) {
            rc = mosquitto_loop(s->m, kLoopMs, 1);
            error = errno;
            if (rc == MOSQ_ERR_SUCCESS && s->connack != 0 && Clock::now() > deadline) {
                rc = MOSQ_ERR_TIMEOUT;
            }
        }
        if (s->Stopping()) {
            // Without a clean end the socket just closes, and the broker
            // publishes the will.
            if (rc == MOSQ_ERR_SUCCESS && s->connack == 0 && s->CleanEnd()) {
                s->EndConnection();
            }
            break;
        }
        if (s->connack == 0) {
            retryMs = kFirstRetryMs;  // it was up: try again soon
        }
        const auto [reason, refused] =
            unreachable.isEmpty() ? s->Describe(rc, error) : std::pair{unreachable, false};
        s->Post([reason = reason, refused = refused](MqttClient* o) {
            emit o->Failed(reason, refused);
        });
        if (!s->Waits(retryMs)) {
            break;
        }
        retryMs = std::min(retryMs * 2, kMaxRetryMs);
    }
    mosquitto_destroy(s->m);
    s->m = nullptr;
    std::lock_guard<std::mutex> lock(s->mutex);
    s->ended = true;
    if (s->owner) {
        QMetaObject::invokeMethod(s->owner, &MqttClient::Ended, Qt::QueuedConnection);
    }
    s->wake.notify_all();
}

MqttClient::MqttClient(const MqttConfig& c, const MqttMessage& will, const QByteArray& subscribe,
                       QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    LibraryReady();
    Shared& s = *shared_;
    s.owner = this;
    s.host = c.host.toUtf8();
    s.port = c.port;
    s.subscribe = subscribe;
    // A random client id, so that two watches can never push each other off.
    s.m = mosquitto_new(nullptr, true, &s);
    if (!s.m) {
        return;
    }
    mosquitto_threaded_set(s.m, true);
    mosquitto_will_set(s.m, will.topic.constData(), static_cast<int>(will.payload.size()),
                       will.payload.constData(), 1, will.retain);
    if (!c.user.isEmpty()) {
        mosquitto_username_pw_set(s.m, c.user.toUtf8().constData(),
                                  c.password ? c.password->constData() : nullptr);
    }
    mosquitto_connect_callback_set(s.m, [](mosquitto* m, void* self, int rc) {
        auto* sh = static_cast<Shared*>(self);
        sh->connack = rc;
        if (rc != 0) {
            return;
        }
        if (!sh->subscribe.isEmpty()) {
            mosquitto_subscribe(m, nullptr, sh->subscribe.constData(), 1);
        }
        sh->Post([](MqttClient* o) { emit o->Connected(); });
    });
    mosquitto_publish_callback_set(s.m, [](mosquitto*, void* self, int mid) {
        auto* sh = static_cast<Shared*>(self);
        sh->Post([mid](MqttClient* o) { emit o->Delivered(mid); });
    });
    mosquitto_message_callback_set(s.m, [](mosquitto*, void* self, const mosquitto_message* msg) {
        auto* sh = static_cast<Shared*>(self);
        const QByteArray topic(msg->topic);
        const QByteArray payload(static_cast<const char*>(msg->payload),
                                 std::min(std::max(msg->payloadlen, 0), kMaxReceivedBytes));
        sh->Post([topic, payload](MqttClient* o) { emit o->Received(topic, payload); });
    });
    if (c.tls) {
        const int rc = c.caFile.isEmpty()
                           ? mosquitto_int_option(s.m, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                           : mosquitto_tls_set(s.m, QFile::encodeName(c.caFile).constData(),
                                               nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            s.setupError =
                QStringLiteral("cannot set up TLS: %1").arg(Plain(mosquitto_strerror(rc)));
        }
    }
    mosquitto_log_callback_set(s.m, [](mosquitto*, void* self, int level, const char* text) {
        auto* sh = static_cast<Shared*>(self);
        if (level == MOSQ_LOG_ERR && sh->errorLine.isEmpty()) {
            sh->errorLine = Plain(text);
        }
    });
}

MqttClient::~MqttClient() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->stop = true;
    shared_->wake.notify_all();
    if (!started_) {
        lock.unlock();
        mosquitto_destroy(shared_->m);
        return;
    }
    const bool ended = shared_->wake.wait_for(lock, milliseconds(kEndWaitMs + 500),
                                              [this] { return shared_->ended; });
    lock.unlock();
    if (ended) {
        shared_->thread.join();
    } else {
        shared_->thread.detach();
    }
}

QString MqttClient::Start() {
    Shared& s = *shared_;
    if (!s.m) {
        return QStringLiteral("cannot set up the MQTT client");
    }
    if (!s.setupError.isEmpty()) {
        return s.setupError;
    }
    started_ = true;
    s.thread = std::thread(&Shared::Run, shared_);
    return {};
}

int MqttClient::Publish(const MqttMessage& m) {
    int mid = -1;
    const int rc =
        mosquitto_publish(shared_->m, &mid, m.topic.constData(), static_cast<int>(m.payload.size()),
                          m.payload.constData(), 1, m.retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttClient::Disconnect() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->disconnect = true;
    shared_->wake.notify_all();
}

}  // namespace quorval
