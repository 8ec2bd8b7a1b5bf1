#include "common/SettingsFiles.h"

#include <QFileInfo>

namespace quorval {

QString SettingsFiles::InUse() const {
    return !personal.isEmpty() && QFileInfo(personal).isFile() ? personal : shared;
}

}  // namespace quorval
