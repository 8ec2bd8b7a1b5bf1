#pragma once

#include <functional>

#include <QByteArray>
#include <QList>

#include "link/MSComm.h"

namespace quorval {

// An always open port in memory, for the logic above the port: the tests, and
// pictures of the windows taken without hardware. What is written is kept and
// handed to the far end, whose answer waits to be read like bytes that came
// in on a line.
class MemoryComm : public MSComm {
  public:
    using FarEnd = std::function<QByteArray(const QByteArray& written)>;
    explicit MemoryComm(FarEnd farEnd = {}) : farEnd_(std::move(farEnd)) {}

    bool SetCommPort(int) override { return true; }
    int CommPort() const override { return 1; }
    int SetPortOpen(bool) override { return 0; }
    bool PortOpen() const override { return true; }
    void SetInputMode(int) override {}
    int InBufferCount() override { return static_cast<int>(incoming_.size()); }
    QByteArray Input(qint64 maxBytes) override;
    bool Output(const QByteArray& bytes) override;
    qint64 BytesToWrite() const override { return held_; }
    void DiscardOutput() override { held_ = 0; }
    int LastError() const override { return 0; }
    QString LastErrorText() const override { return {}; }

    // Bytes as if the far end had sent them.
    void Receive(const QByteArray& bytes) { incoming_ += bytes; }
    // Every Output, in order.
    const QList<QByteArray>& Written() const { return written_; }
    // A line that takes nothing: this many bytes wait to leave until dropped.
    void HoldOutput(qint64 bytes) { held_ = bytes; }

  private:
    FarEnd farEnd_;
    QByteArray incoming_;
    QList<QByteArray> written_;
    qint64 held_ = 0;
};

}  // namespace quorval
