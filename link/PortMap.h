#pragma once

#include <array>

#include <QString>

namespace quorval {

// Which device each of COM1..COM4 stands for. Windows uses the names as they
// are; elsewhere the defaults are /dev/ttyS0../dev/ttyS3, each overridable
// (a USB adapter, or the simulator's link).
class PortMap {
  public:
    PortMap();

    // Empty for a port number outside 1..4.
    QString Device(int port) const;
    // Ignored for a port number outside 1..4; an empty path restores the default.
    void SetDevice(int port, const QString& device);

    static QString DefaultDevice(int port);

  private:
    std::array<QString, 4> devices_;
};

// "COM1".."COM4" (any case) -> 1..4; 0 for anything else.
int ComPortNumber(const QString& name);

}  // namespace quorval
