#include "model/GlobalSettingsModel.h"

#include "model/ModeByte.h"
#include "model/RelayLogic.h"

namespace quorval {

namespace {

constexpr std::uint8_t kNoModuleSeen = 255;
const QString k1MBit = QStringLiteral("1 MBit/s");
const QString k500KBit = QStringLiteral("500 KBit/s");
const QString k250KBit = QStringLiteral("250 KBit/s");

}  // namespace

int BaudCodeForCaption(const QString& caption) {
    for (std::size_t i = 0; i < kBaudCaptions.size(); ++i) {
        if (caption == QLatin1String(kBaudCaptions[i])) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

GlobalSettingsModel::GlobalSettingsModel() : relayText_(QString::fromLatin1(kRelayCaptions[1])) {}

void GlobalSettingsModel::SetProperties(std::uint8_t minVersion) {
    QString remembered = selectedBaud_;
    baudList_.clear();
    selectedBaud_.clear();
    for (const char* caption : kBaudCaptions) {
        baudList_ << QString::fromLatin1(caption);
    }
    if (minVersion < 33) {
        identifier29Enabled_ = false;  // stays so while the dialog lives
        is29Bit_ = false;
    } else if (minVersion != kNoModuleSeen) {
        if (is29Bit_) {
            lineOrRingEnabled_ = false;
            topology_ = Topology::PointToPoint;
            baudList_.removeAt(7);  // no 1 MBit/s with 29-bit identifiers
            if (remembered == k1MBit) {
                remembered = k500KBit;
            }
        } else {
            lineOrRingEnabled_ = true;
        }
    }
    SelectBaud(remembered, minVersion);
}

void GlobalSettingsModel::SelectIdentifier(bool is29Bit, std::uint8_t minVersion) {
    if (is29Bit_ == is29Bit) {
        return;
    }
    is29Bit_ = is29Bit;
    SetProperties(minVersion);
}

bool GlobalSettingsModel::SelectBaud(const QString& caption, std::uint8_t minVersion) {
    if (caption.isEmpty() || !baudList_.contains(caption)) {
        return false;
    }
    selectedBaud_ = caption;
    ApplyBaudRules(minVersion);
    return true;
}

void GlobalSettingsModel::ApplyBaudRules(std::uint8_t minVersion) {
    // 255 (no module seen) counts as newer than every bound.
    const int v = minVersion;
    const bool bit11 = !is29Bit_;
    const auto forcePointToPoint = [this] {
        topology_ = Topology::PointToPoint;
        lineOrRingEnabled_ = false;
    };
    const int code = BaudCodeForCaption(selectedBaud_);
    if (code >= 1 && code <= 5) {
        if (bit11 && v <= 33) {
            lineOrRingEnabled_ = true;
            topology_ = Topology::PointToPoint;
        }
    } else if (selectedBaud_ == k250KBit) {
        if (v < 25) {
            forcePointToPoint();
        } else if (bit11 && v <= 33) {
            lineOrRingEnabled_ = true;
        }
    } else if (selectedBaud_ == k500KBit) {
        if (v < 30) {
            forcePointToPoint();
        } else if (bit11 && v <= 33) {
            lineOrRingEnabled_ = true;
        } else {
            forcePointToPoint();
        }
    } else if (selectedBaud_ == k1MBit) {
        if (v >= 30) {
            forcePointToPoint();
        }
    }
}

void GlobalSettingsModel::ShowReportedMode(std::uint8_t mode, std::uint8_t minVersion) {
    topology_ = (mode & kModePointToPoint) ? Topology::PointToPoint : Topology::LineOrRing;
    SelectIdentifier((mode & kMode29Bit) != 0, minVersion);
    relayText_ = QString::fromStdString(RelayCaption(mode));
    const QString baud = QString::fromStdString(BaudCaption(mode));
    if (!baud.isEmpty()) {
        SelectBaud(baud, minVersion);
    }
}

std::uint8_t GlobalSettingsModel::ModeByte() const {
    int mode = 0;
    if (topology_ == Topology::PointToPoint) {
        mode += kModePointToPoint;
    }
    if (is29Bit_) {
        mode += kMode29Bit;
    }
    mode += RelayValueForText(relayText_);
    mode += BaudCodeForCaption(selectedBaud_);
    return static_cast<std::uint8_t>(mode);
}

}  // namespace quorval
