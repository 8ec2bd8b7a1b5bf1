#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>

namespace quorval {

struct ModuleState;

// A firmware version byte counts tenths: 34 -> "3.4", 5 -> "0.5".
QString VersionText(std::uint8_t version);

// A configuration byte in words, by the captions of its parts.
struct ModeText {
    QString baud;         // "125 KBit/s", or "baud code 0" for a code without a caption
    QString identifiers;  // "11-bit" or "29-bit"
    QString topology;     // "line or ring" or "point to point"
    QString relay;        // the relay caption
};
ModeText DecodeMode(std::uint8_t mode);
// All four parts in one line: "125 KBit/s, 11-bit identifiers, line or ring, ...".
QString DecodedMode(std::uint8_t mode);

// A channel's state in words, the same in the watch window's table.
QString ChannelStateText(bool error);
// A module that did not answer the last round.
QString MissingText();

// What the ring tells of a module beyond its own record.
struct RingPlace {
    bool attached = false;      // at the top, marked "PC"
    bool missing = false;       // did not answer the last round of a watch
    std::vector<int> redLinks;  // modules it is joined to by a link in error
};
// A module picture in words, for assistive technology and for its tooltip, so
// that no state is told by colour alone.
struct ModuleWords {
    QString name;         // "Module 1203"
    QString description;  // "firmware 3.4; CH1 ok, error counter 0; ..."
    QString toolTip;      // the name, then each part of the description on a line
};
ModuleWords DescribeModule(const ModuleState& m, const RingPlace& place);
// The ring as a whole: "Bus Info, 4 modules", with the missing ones when there are.
QString RingName(int modules, int missing = 0);

// A module ID typed or shown as text: a whole decimal number 0..32000, else nothing.
std::optional<int> ModuleIdFromText(const QString& text);

}  // namespace quorval
