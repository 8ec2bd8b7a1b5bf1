#include "model/ModuleData.h"

namespace quorval {

void ModuleData::SetVersion(std::uint8_t version) {
    version_ = version;
    if (version < *minVersion_) {
        *minVersion_ = version;
    }
}

}  // namespace quorval
