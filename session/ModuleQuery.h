#pragma once

#include <QTimer>

#include "session/Exchange.h"

namespace quorval {

enum class QueryOutcome {
    Answered,  // the module's record holds its answer
    Silent,    // no answer within 2 s: both its channels are marked in error
    LinkLost,  // the device went away meanwhile
    Stopped,   // the program was asked to stop
};

constexpr int kQueryLimitMs = 2000;

// The query of one module: sends "P" and waits for a new answer in its record.
// The window and the command line show its outcome each in their way.
class ModuleQuery : public Exchange {
    Q_OBJECT
  public:
    explicit ModuleQuery(ModuleLink& link);

    bool Start(int id);
    int Id() const { return id_; }

  signals:
    void finished(quorval::QueryOutcome outcome);

  private:
    bool Answered();
    void Finish(QueryOutcome outcome);
    void EndLinkLost() override { Finish(QueryOutcome::LinkLost); }
    void EndStopped() override { Finish(QueryOutcome::Stopped); }

    QTimer limit_;
    int id_ = 0;
    float before_ = 0;  // the record's time stamp before the query
};

}  // namespace quorval
