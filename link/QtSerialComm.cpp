#include "link/QtSerialComm.h"

#include <filesystem>
#include <memory>

#include <QFileInfo>

#include "link/DeviceLock.h"

namespace quorval {

#ifndef Q_OS_WIN
namespace {

QString NotADevice(std::filesystem::file_type type) {
    using T = std::filesystem::file_type;
    const char* what = type == T::regular     ? "a regular file"
                       : type == T::directory ? "a folder"
                       : type == T::fifo      ? "a FIFO"
                       : type == T::socket    ? "a socket"
                       : type == T::block     ? "a block device"
                                              : "something else";
    return QStringLiteral("%1, not a serial device").arg(QLatin1String(what));
}

}  // namespace
#endif

QtSerialComm::QtSerialComm(PortMap map, QObject* parent) : QObject(parent), map_(std::move(map)) {}

QtSerialComm::~QtSerialComm() {
    Close();
}

bool QtSerialComm::SetCommPort(int port) {
    if (PortOpen() || port < 1 || port > 4) {
        return false;
    }
    commPort_ = port;
    return true;
}

int QtSerialComm::SetPortOpen(bool open) {
    if (!open) {
        Close();
        return kErrNone;
    }
    if (PortOpen()) {
        return kErrNone;
    }
    // The adapter may have come back under another name since the last open.
    map_.Refresh();
    return OpenDevice(map_.Device(commPort_));
}

PortTestPlan QtSerialComm::PlanPortTests() {
    map_.Refresh();
    SetCommPort(4);
    return {{map_.Device(1), map_.Device(2), map_.Device(3), map_.Device(4)}, std::nullopt};
}

int QtSerialComm::Fail(int error, const QString& text) {
    lastError_ = error;
    lastErrorText_ = text;
    return error;
}

int QtSerialComm::OpenDevice(const QString& device) {
    if (PortOpen()) {
        return kErrNone;
    }
    Close();  // a lost port whose close is still queued
    lastError_ = kErrNone;
    lastErrorText_.clear();
    if (device.isEmpty()) {
        return Fail(kErrNoSuchPort, QStringLiteral("no device for this port"));
    }
    QString name = device;
#ifndef Q_OS_WIN
    // Every name of one device (symlinks included) must share one lock.
    const QFileInfo info(device);
    if (!info.exists()) {
        return Fail(kErrNoSuchPort, QStringLiteral("%1 does not exist").arg(device));
    }
    name = info.canonicalFilePath();
    std::error_code ec;
    const auto type = std::filesystem::status(info.filesystemCanonicalFilePath(), ec).type();
    if (type != std::filesystem::file_type::character) {
        return Fail(kErrNotADevice, NotADevice(type));
    }
#endif
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(name);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        const auto error = port->error();
        const QString text = port->errorString();
        switch (error) {
            case QSerialPort::DeviceNotFoundError:
                return Fail(kErrNoSuchPort, text);
            case QSerialPort::OpenError:
                return Fail(kErrPortInUse, text);
            case QSerialPort::PermissionError:
                // Qt reports "busy" and "access denied" alike.
                if (DeviceAccessDenied(name)) {
                    return Fail(kErrNoPermission, text);
                }
                return Fail(kErrPortInUse, text);
            default:
                return Fail(kErrOther, text);
        }
    }
    if (!LockDevice(port->handle())) {
        port->close();
        return Fail(kErrPortInUse, QStringLiteral("%1 is in use by another program").arg(device));
    }
    // A pseudo-terminal refuses modem lines; that is no reason to fail.
    port->setDataTerminalReady(true);
    port->clearError();
    port->clear(QSerialPort::AllDirections);
    connect(port.get(), &QSerialPort::errorOccurred, this, &QtSerialComm::OnPortError);
    port->setParent(this);
    port_ = port.release();
    ++generation_;
    return kErrNone;
}

void QtSerialComm::OnPortError(QSerialPort::SerialPortError error) {
    // Once the device is gone every error means the same, and a dead descriptor
    // would keep the read notifier firing: close the port once, not per error.
    // Refused modem lines (a pseudo-terminal) and timeouts are no reason to.
    if (!port_ || error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
        error == QSerialPort::UnsupportedOperationError) {
        return;
    }
    if (lastError_ == kErrLinkLost) {
        return;  // already on its way out
    }
    const QString kind = error == QSerialPort::ReadError    ? QStringLiteral("read error")
                         : error == QSerialPort::WriteError ? QStringLiteral("write error")
                                                            : QStringLiteral("device removed");
    lastError_ = kErrLinkLost;
    lastErrorText_ =
        QStringLiteral("the device went away (%1: %2)").arg(kind, port_->errorString());
    closing_ = true;  // from now on the port reads as closed and takes nothing
    // Closing is deferred: this runs inside the port's own signal.
    port_->blockSignals(true);
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_, reason = lastErrorText_] {
            CloseLost(generation, reason);
        },
        Qt::QueuedConnection);
}

void QtSerialComm::CloseLost(int generation, const QString& reason) {
    // A port opened since is another one and stays open; the loss is told all the same.
    if (generation == generation_) {
        Close();
    }
    if (onLost_) {
        onLost_(reason);
    }
}

void QtSerialComm::Close() {
    if (!port_) {
        return;
    }
    port_->disconnect(this);
    port_->close();
    port_->deleteLater();
    port_ = nullptr;
    closing_ = false;
}

bool QtSerialComm::PortOpen() const {
    return port_ && !closing_ && port_->isOpen();
}

void QtSerialComm::SetInputMode(int) {}

int QtSerialComm::InBufferCount() {
    if (!PortOpen()) {
        return 0;
    }
    const qint64 n = port_->bytesAvailable();
    return n > 0 ? static_cast<int>(qMin<qint64>(n, 1 << 30)) : 0;
}

QByteArray QtSerialComm::Input(qint64 maxBytes) {
    if (!PortOpen() || maxBytes <= 0) {
        return {};
    }
    return port_->read(maxBytes);
}

bool QtSerialComm::Output(const QByteArray& bytes) {
    if (!PortOpen()) {
        return false;
    }
    return port_->write(bytes) == bytes.size();
}

qint64 QtSerialComm::BytesToWrite() const {
    return PortOpen() ? port_->bytesToWrite() : 0;
}

void QtSerialComm::DiscardOutput() {
    if (PortOpen()) {
        port_->clear(QSerialPort::Output);
    }
}

}  // namespace quorval
