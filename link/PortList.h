#pragma once

#include <array>
#include <vector>

#include <QString>

namespace quorval {

enum class PortKind { Usb, Acm, BuiltIn };

// A serial port as the system describes it; an empty text is unknown.
struct PortInfo {
    QString device;  // /dev/ttyUSB0, or COM7 on Windows
    QString byId;    // its name under /dev/serial/by-id, without the folder
    QString byPath;  // its name under /dev/serial/by-path
    QString description;
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1;  // USB vendor and product; -1 when not known
    int productId = -1;
    PortKind kind = PortKind::BuiltIn;
};

// A comN key as written, and the device it leads to once links are followed
// (empty when it leads nowhere).
struct ComKey {
    QString text;
    QString target;
};

// What a COM number stands for.
struct ComPort {
    QString device;  // what is opened; empty when nothing is left for it
    int port = -1;   // the system port it is, as an index into the list; -1 for none
    QString note;    // how it was chosen, for people
};

enum class PortNaming {
    Windows,  // COM1..COM4 are the Windows ports of those names
    Devices,  // COM1..COM4 are given to the serial ports the system has
};

#ifdef Q_OS_WIN
constexpr PortNaming kHostNaming = PortNaming::Windows;
#else
constexpr PortNaming kHostNaming = PortNaming::Devices;
#endif

// The device that COMn stood for before the system's ports were looked at.
QString DefaultDevice(int port, PortNaming naming = kHostNaming);

// Gives COM1..COM4 their devices. A key always wins. Otherwise, by devices:
// USB and ACM adapters first, by their /dev/serial/by-id name (identical
// adapters without serial numbers by their /dev/serial/by-path name), then
// the built-in UARTs; numbers left over keep their default device unless
// another number has it already.
std::array<ComPort, 4> AssignComPorts(const std::vector<PortInfo>& ports,
                                      const std::array<ComKey, 4>& keys,
                                      PortNaming naming = kHostNaming);

// "/dev/ttyUSB0, FT232R USB UART, FTDI, serial A12B3C": the device and what the
// system knows of it.
QString PortSummary(const QString& device, const PortInfo* info);

// "COM1: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12B3C", then on a line of
// its own how the device was chosen.
QString DescribeComPort(int port, const ComPort& com, const std::vector<PortInfo>& ports);

}  // namespace quorval
