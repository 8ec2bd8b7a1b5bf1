#pragma once

// An in-memory port for unit tests of code above the port. Integration tests
// use the real port against the simulator instead.

#include <QByteArray>
#include <QList>

#include "link/MSComm.h"

namespace testing_support {

class FakeComm : public quorval::MSComm {
  public:
    bool SetCommPort(int port) override {
        if (open || port < 1 || port > 4)
            return false;
        commPort = port;
        return true;
    }
    int CommPort() const override { return commPort; }
    int SetPortOpen(bool o) override {
        open = o;
        return 0;
    }
    bool PortOpen() const override { return open; }
    void SetInputMode(int) override {}
    int InBufferCount() override { return open ? static_cast<int>(incoming.size()) : 0; }
    QByteArray Input() override {
        QByteArray all = open ? incoming : QByteArray();
        if (open)
            incoming.clear();
        return all;
    }
    bool Output(const QByteArray& bytes) override {
        if (!open)
            return false;
        written.append(bytes);
        return true;
    }
    qint64 BytesToWrite() const override { return 0; }
    int LastError() const override { return 0; }
    QString LastErrorText() const override { return {}; }

    bool open = true;
    int commPort = 1;
    QByteArray incoming;
    QList<QByteArray> written;
};

}  // namespace testing_support
