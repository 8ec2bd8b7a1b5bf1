// Opens a serial device with the program's own port code, reports the result
// as "open N" and keeps the device until its standard input closes. Tests use
// it as "another program" that holds the port.

#include <iostream>
#include <string>

#include "link/QtSerialComm.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: porthold DEVICE\n";
        return 2;
    }
    quorval::QtSerialComm comm;
    const int rc = comm.OpenDevice(QString::fromLocal8Bit(argv[1]));
    std::cout << "open " << rc << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return rc == 0 ? 0 : 1;
}
