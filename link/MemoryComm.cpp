#include "link/MemoryComm.h"

namespace quorval {

QByteArray MemoryComm::Input(qint64 maxBytes) {
    const QByteArray some = incoming_.left(maxBytes);
    incoming_.remove(0, some.size());
    return some;
}

bool MemoryComm::Output(const QByteArray& bytes) {
    written_.append(bytes);
    if (farEnd_) {
        incoming_ += farEnd_(bytes);
    }
    return true;
}

}  // namespace quorval
