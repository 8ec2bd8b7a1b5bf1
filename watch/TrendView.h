#pragma once

#include <QWidget>

#include "geometry/PlotGeometry.h"
#include "watch/WatchModel.h"

namespace quorval {

// Both error counters of one module over the whole watch, drawn with QPainter
// from the same plot layout as the HTML report's SVG: the lines broken where
// the module was missing (those stretches shaded), its events and the link's
// marked on the time axis, their texts in a tooltip.
class TrendView : public QWidget {
    Q_OBJECT
  public:
    explicit TrendView(QWidget* parent = nullptr);

    // An empty title: nothing selected.
    void SetTrend(const QString& title, WatchModel::Trend trend);
    const QString& Title() const { return title_; }
    // The layout for the current size, as last painted.
    PlotLayout Layout() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QString title_;
    WatchModel::Trend trend_;
};

}  // namespace quorval
