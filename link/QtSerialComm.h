#pragma once

#include <QObject>
#include <QSerialPort>

#include "link/MSComm.h"
#include "link/PortMap.h"
#include "link/SystemPorts.h"

namespace quorval {

// MSComm on QSerialPort. Bytes move only while the event loop runs.
class QtSerialComm : public QObject, public MSComm {
    Q_OBJECT
  public:
    explicit QtSerialComm(PortMap map = PortMap(SystemPorts), QObject* parent = nullptr);
    ~QtSerialComm() override;

    PortMap& Map() { return map_; }

    bool SetCommPort(int port) override;
    int CommPort() const override { return commPort_; }
    int SetPortOpen(bool open) override;
    bool PortOpen() const override;
    void SetInputMode(int mode) override;
    int InBufferCount() override;
    QByteArray Input(qint64 maxBytes) override;
    bool Output(const QByteArray& bytes) override;
    qint64 BytesToWrite() const override;
    void DiscardOutput() override;
    QString DeviceName(int port) const override { return map_.Device(port); }
    void MapPort(int port, const QString& device) override { map_.SetDevice(port, device); }
    QString DescribePort(int port) const override { return map_.Describe(port); }
    PortTestPlan PlanPortTests() override;
    int LastError() const override { return lastError_; }
    QString LastErrorText() const override { return lastErrorText_; }
    void SetLostHandler(LostHandler handler) override { onLost_ = std::move(handler); }

    // Opens a device by path, bypassing the COM port number. Anything but a
    // character device is refused before it is touched.
    int OpenDevice(const QString& device);

  private:
    int Fail(int error, const QString& text);
    void Close();
    void OnPortError(QSerialPort::SerialPortError error);
    void CloseLost(int generation, const QString& reason);

    PortMap map_;
    int commPort_ = 1;
    QSerialPort* port_ = nullptr;  // a child; deleted later, it may be in its own signal
    int generation_ = 0;           // counts the opens: tells a lost port from a newer one
    int lastError_ = kErrNone;
    QString lastErrorText_;
    LostHandler onLost_;
    bool closing_ = false;
};

}  // namespace quorval
