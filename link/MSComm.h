#pragma once

#include <array>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorval {

// The outcome of a test open: error 0 when the port could be opened.
struct PortTest {
    int error = 0;
    QString text;
};

// How COM1..COM4 are to be tested while the port is closed: by opening the device
// of each, in threads of their own and bounded in time, or all at once by the port.
struct PortTestPlan {
    QStringList devices;                          // the devices of COM1..COM4
    std::optional<std::array<PortTest, 4>> done;  // the outcomes, when tested at once
};

// The serial port as the program uses it: pick COM1..COM4, open, poll, read, write.
// Line settings are fixed at 9600 baud, 8 data bits, no parity, 1 stop bit.
class MSComm {
  public:
    // Error numbers of a failed open.
    static constexpr int kErrNone = 0;
    static constexpr int kErrNoSuchPort = 8002;
    // The name exists but is no serial device (a regular file, a folder).
    static constexpr int kErrNotADevice = 8003;
    static constexpr int kErrPortInUse = 8005;
    static constexpr int kErrNoPermission = 70;
    static constexpr int kErrOther = 8020;
    // The device of an open port went away (adapter unplugged, peer gone).
    static constexpr int kErrLinkLost = 8090;
    // A test open that did not return in time (a hung driver).
    static constexpr int kErrNotResponding = 8091;

    virtual ~MSComm() = default;

    // Fails (false, nothing changes) while the port is open or for a number outside 1..4.
    virtual bool SetCommPort(int port) = 0;
    virtual int CommPort() const = 0;

    // Opens or closes; returns 0 or the error number of a failed open. Opening an
    // open port leaves it as it is.
    virtual int SetPortOpen(bool open) = 0;
    virtual bool PortOpen() const = 0;

    // Only raw bytes (1) are supported; kept for the start-up sequence.
    virtual void SetInputMode(int mode) = 0;

    // Bytes waiting; 0 on a closed port.
    virtual int InBufferCount() = 0;
    // At most maxBytes of the waiting bytes, removed from the port; the rest waits there.
    virtual QByteArray Input(qint64 maxBytes) = 0;
    // Queues bytes and returns at once; false when they cannot be queued.
    virtual bool Output(const QByteArray& bytes) = 0;
    // Bytes queued but not yet handed to the device.
    virtual qint64 BytesToWrite() const = 0;
    // Drops what is queued and not yet handed to the device, so that a frame
    // reported as not sent can never leave later.
    virtual void DiscardOutput() = 0;

    // The device that a COM port number stands for, for people to read, and a
    // way to point a COM port at another device (empty: the default one).
    virtual QString DeviceName(int port) const { return QStringLiteral("COM%1").arg(port); }
    virtual void MapPort(int /*port*/, const QString& /*device*/) {}
    // "COM1: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12B3C", then on lines
    // of its own how the device was chosen.
    virtual QString DescribePort(int port) const {
        return QStringLiteral("COM%1: %2").arg(port).arg(DeviceName(port));
    }

    // The test of COM1..COM4 while this port is closed; CommPort is left at 4.
    // This one opens and closes each at once; a real port names its devices instead.
    virtual PortTestPlan PlanPortTests();

    // Error number and text of the last failed open, or of a lost link.
    virtual int LastError() const = 0;
    virtual QString LastErrorText() const = 0;

    // Called once per loss, with the reason, when an open port has closed itself
    // because its device went away; also when the port was opened again meanwhile.
    using LostHandler = std::function<void(const QString& reason)>;
    virtual void SetLostHandler(LostHandler /*handler*/) {}
};

// Why an open failed, in a few words a technician can act on.
QString OpenErrorReason(int error, const QString& detail);

// Why a test open failed, in the words the port lists use ("in use", "not
// found", "no permission", "not responding"); empty when it did not fail or the
// error has no word of its own.
QString PortStateWord(int error);

// A port in a list of COM1..COM4 after its test open: "COM3 (in use)",
// "COM4 (not found)", ...; the plain name when it can be used or the error has
// no word of its own.
QString PortCaption(int port, int error);

}  // namespace quorval
