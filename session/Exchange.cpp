#include "session/Exchange.h"

#include <QTimer>

namespace quorval {

Exchange::Exchange(ModuleLink& link) : Exchange(&link, &link) {}

Exchange::Exchange(ModuleLink* link, QObject* parent) : QObject(parent), link_(link) {}

Exchange::~Exchange() {
    // Taken down with its owner while it ran: the line is free again.
    if (running_ && link_) {
        link_->Release(*this);
    }
}

bool Exchange::Begin() {
    if (running_ || ended_ || (link_ && !link_->Claim(*this))) {
        ended_ = true;
        deleteLater();
        return false;
    }
    running_ = true;
    return true;
}

bool Exchange::End() {
    if (!running_) {
        return false;
    }
    running_ = false;
    ended_ = true;
    for (QTimer* timer : findChildren<QTimer*>()) {
        timer->stop();
    }
    if (link_) {
        disconnect(link_, nullptr, this, nullptr);
        link_->Release(*this);
    }
    deleteLater();
    return true;
}

void Exchange::EndSoon(std::function<void()> finish) {
    QTimer::singleShot(0, this, [this, finish = std::move(finish)] {
        if (running_) {
            finish();
        }
    });
}

}  // namespace quorval
