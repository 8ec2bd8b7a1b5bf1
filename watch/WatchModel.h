#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include <QAbstractListModel>
#include <QAbstractTableModel>

#include "geometry/PlotGeometry.h"
#include "record/WatchHistory.h"
#include "record/WatchTracker.h"

namespace quorval {

// Something happened to this module during the watch: a counter rose or fell,
// a channel was in error, it went missing, or it is of another make.
bool SomethingHappened(const ModuleFigures& f);

// The events of a watch as a list, newest first, in the command line's words.
// Keeps the newest kMaxEvents; the log and the summary keep the rest.
class WatchEventList : public QAbstractListModel {
    Q_OBJECT
  public:
    static constexpr std::size_t kMaxEvents = 5000;

    using QAbstractListModel::QAbstractListModel;

    // A round's events go on top in the order they were found.
    void Add(const std::vector<WatchEvent>& events);
    // A line of another part of the watch (the broker's "mqtt: ...") on top.
    void AddNote(std::int64_t timeMs, const QString& text);
    const WatchEvent& At(int row) const { return events_[static_cast<std::size_t>(row)].event; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Row {
        WatchEvent event;
        QString note;  // shown instead of the event's text when set
    };
    void Trim();

    std::deque<Row> events_;  // newest first
};

// What a watch window shows, fed round by round, without any widget: one row
// per module with its last state and figures, the events, and per module the
// history of its counters for the trend. Rows stay in the order the modules
// were first seen, so a selection survives every round; a view sorts them.
class WatchModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Id,
        Firmware,
        Ch1Status,
        Ch1Count,
        Ch1Gained,
        Ch2Status,
        Ch2Count,
        Ch2Gained,
        LargestRise,
        RoundsMissing,
        kColumns
    };
    enum Role {
        SortRole = Qt::UserRole,  // numbers sort as numbers
        StandOutRole,             // a RowMark
    };
    enum class RowMark { Quiet, Eventful, Missing };

    explicit WatchModel(QObject* parent = nullptr);

    // One round as the watch handed it on, and the tracker's figures after it.
    void Feed(const WatchRound& round, const WatchTracker& tracker);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The module of a row, and the row of a module (-1 for none).
    int IdAt(int row) const;
    int RowOf(int id) const;
    const WatchTracker::Known& Module(int row) const {
        return rows_[static_cast<std::size_t>(row)];
    }
    const CounterHistory& History(int row) const {
        return histories_[static_cast<std::size_t>(row)];
    }
    WatchEventList& Events() { return events_; }

    // Both counters of a module over the whole watch with its events and the
    // link's, ready for LayOutPlot.
    struct Trend {
        std::int64_t fromMs = 0;
        std::int64_t toMs = 0;
        std::vector<PlotSeries> series;  // CH1, CH2
        std::vector<PlotMark> marks;
    };
    Trend TrendOf(int id) const;

    int Rounds() const { return rounds_; }

  private:
    std::uint32_t Tick(std::int64_t timeMs) const;
    std::int64_t TimeOf(std::uint32_t tick) const;
    int AddRow(const WatchTracker::Known& k);

    std::vector<WatchTracker::Known> rows_;
    std::vector<CounterHistory> histories_;
    std::unordered_map<int, int> rowOf_;
    std::vector<WatchEvent> linkMarks_;  // events of the link and the whole system, bounded
    WatchEventList events_;
    std::int64_t startMs_ = 0;
    std::int64_t lastMs_ = 0;
    int rounds_ = 0;
};

}  // namespace quorval
