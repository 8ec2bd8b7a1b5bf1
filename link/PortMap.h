#pragma once

#include <array>
#include <functional>
#include <vector>

#include <QString>

#include "link/PortList.h"

namespace quorval {

// Which device each of COM1..COM4 stands for: the key of the port where the
// settings file has one, otherwise the rule of AssignComPorts applied to the
// ports the system had when Refresh last looked.
class PortMap {
  public:
    using Source = std::function<std::vector<PortInfo>()>;

    // The system's ports are looked at only by Refresh.
    explicit PortMap(Source system = {});

    // Empty for a port number outside 1..4, or when nothing is left for it.
    QString Device(int port) const;
    // Sets the key of a port (empty: none); ignored outside 1..4.
    void SetDevice(int port, const QString& key);
    // Looks at the system's ports again and gives the numbers out afresh.
    void Refresh();

    const ComPort& Assigned(int port) const;
    const std::vector<PortInfo>& Ports() const { return ports_; }
    // "COM1: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12B3C" and how it was chosen.
    QString Describe(int port) const;

  private:
    void Assign();

    Source system_;
    std::array<ComKey, 4> keys_;
    std::vector<PortInfo> ports_;
    std::array<ComPort, 4> assigned_;
};

// "COM1".."COM4" (any case) -> 1..4; 0 for anything else.
int ComPortNumber(const QString& name);

}  // namespace quorval
