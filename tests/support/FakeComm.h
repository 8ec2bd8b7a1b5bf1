#pragma once

// An always open, in-memory port for the logic above the port. Everything that
// needs a real port talks to the simulator instead.

#include <QByteArray>
#include <QList>

#include "link/MSComm.h"

namespace testing_support {

class FakeComm : public quorval::MSComm {
  public:
    bool SetCommPort(int) override { return true; }
    int CommPort() const override { return 1; }
    int SetPortOpen(bool) override { return 0; }
    bool PortOpen() const override { return true; }
    void SetInputMode(int) override {}
    int InBufferCount() override { return static_cast<int>(incoming.size()); }
    QByteArray Input(qint64 max) override {
        return std::exchange(incoming, incoming.mid(max)).left(max);
    }
    bool Output(const QByteArray& bytes) override {
        written.append(bytes);
        return true;
    }
    qint64 BytesToWrite() const override { return unsent; }
    void DiscardOutput() override { unsent = 0; }
    int LastError() const override { return 0; }
    QString LastErrorText() const override { return {}; }

    QByteArray incoming;
    QList<QByteArray> written;
    qint64 unsent = 0;  // bytes that cannot leave: a line that takes nothing
};

}  // namespace testing_support
