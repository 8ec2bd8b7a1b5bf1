#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>

namespace quorval {

// The choices of the global settings dialog and the rules that offer them, as
// plain state: the dialog shows it, the command line plays it.
class GlobalSettingsModel {
  public:
    enum class Topology { PointToPoint, LineOrRing };

    GlobalSettingsModel();

    // Rebuilds the baud rate list and the option rules from the lowest
    // firmware version (255: no module seen).
    void SetProperties(std::uint8_t minVersion);
    // Selects an identifier length; a change re-runs SetProperties.
    void SelectIdentifier(bool is29Bit, std::uint8_t minVersion);
    // Selects a baud rate entry and runs the baud rate rules; false (nothing
    // changes) when the entry is not in the list.
    bool SelectBaud(const QString& caption, std::uint8_t minVersion);
    void SelectTopology(Topology t) { topology_ = t; }
    void SetRelayText(const QString& text) { relayText_ = text; }

    // Shows a configuration byte reported by the attached module, each change
    // with the reactions a user's change would have.
    void ShowReportedMode(std::uint8_t mode, std::uint8_t minVersion);

    // The configuration byte of the current choices.
    std::uint8_t ModeByte() const;

    const QStringList& BaudList() const { return baudList_; }
    const QString& SelectedBaud() const { return selectedBaud_; }
    Topology SelectedTopology() const { return topology_; }
    bool LineOrRingEnabled() const { return lineOrRingEnabled_; }
    bool Is29Bit() const { return is29Bit_; }
    bool Identifier29Enabled() const { return identifier29Enabled_; }
    const QString& RelayText() const { return relayText_; }

  private:
    void ApplyBaudRules(std::uint8_t minVersion);

    QStringList baudList_;
    QString selectedBaud_;
    Topology topology_ = Topology::LineOrRing;
    bool lineOrRingEnabled_ = true;
    bool is29Bit_ = false;
    bool identifier29Enabled_ = true;
    QString relayText_;
};

// The baud rate code (1..8) of a caption, 0 for none.
int BaudCodeForCaption(const QString& caption);

}  // namespace quorval
