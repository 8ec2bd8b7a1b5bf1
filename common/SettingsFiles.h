#pragma once

#include <QString>

namespace quorval {

// The settings files: the one beside the executable, which an administrator may
// prepare for all users, and the user's own of the same name, which is read
// instead once it exists.
struct SettingsFiles {
    QString shared;
    QString personal;

    // The file to read.
    QString InUse() const;
};

}  // namespace quorval
