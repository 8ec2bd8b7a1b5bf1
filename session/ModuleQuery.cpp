#include "session/ModuleQuery.h"

#include "model/Global.h"

namespace quorval {

ModuleQuery::ModuleQuery(ModuleLink& link) : Exchange(link), limit_(this) {
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        // An answer parsed just now still counts.
        if (Answered()) {
            Finish(QueryOutcome::Answered);
            return;
        }
        ModuleData& record = Link().State().Bus.Modules(id_);
        record.SetStatusChannel1(true);
        record.SetStatusChannel2(true);
        Finish(QueryOutcome::Silent);
    });
}

bool ModuleQuery::Start(int id) {
    if (!Begin()) {
        return false;
    }
    id_ = id;
    before_ = Link().State().Bus.Modules(id).GetTimeStamp();
    // Any answer for this module renews its time stamp.
    connect(&Link(), &ModuleLink::FrameParsed, this, [this] {
        if (Answered()) {
            Finish(QueryOutcome::Answered);
        }
    });
    Link().SendCommand(ModuleFrame(kCmdQuery, id));
    limit_.start(kQueryLimitMs);
    return true;
}

bool ModuleQuery::Answered() {
    return Link().State().Bus.Modules(id_).GetTimeStamp() != before_;
}

void ModuleQuery::Finish(QueryOutcome outcome) {
    if (End()) {
        emit finished(outcome);
    }
}

}  // namespace quorval
