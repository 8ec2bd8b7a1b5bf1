#include "watch/WatchRing.h"

#include <map>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

#include "geometry/ModulePixels.h"
#include "model/ModuleState.h"
#include "ui/RingKeys.h"
#include "ui/RingPainter.h"

namespace quorval {

namespace {

// One module of the ring as assistive technology sees it. It has no object of
// its own: it reads the ring's position k for as long as the ring has one.
class RingModuleAccessible : public QAccessibleInterface {
  public:
    RingModuleAccessible(WatchRing* ring, int k) : ring_(ring), k_(k) {}

    bool isValid() const override {
        return ring_ && k_ < static_cast<int>(ring_->Modules().size());
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return ring_ ? ring_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(ring_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return {};
        }
        switch (t) {
            case QAccessible::Name:
                return ring_->Words(k_).name;
            case QAccessible::Description:
                return ring_->Words(k_).description;
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect r = ring_->PictureRect(k_);
        return QRect(ring_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Graphic; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.focused = ring_->FocusedPosition() == k_;
        s.selectable = true;
        s.selected = ring_->Modules()[static_cast<std::size_t>(k_)].id == ring_->Selected();
        return s;
    }

  private:
    QPointer<WatchRing> ring_;
    int k_;
};

// The ring with a child per module, made as they are asked for.
class WatchRingAccessible : public QAccessibleWidget {
  public:
    explicit WatchRingAccessible(WatchRing* ring) : QAccessibleWidget(ring) {}
    ~WatchRingAccessible() override {
        for (const auto& [k, id] : children_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return static_cast<int>(Ring()->Modules().size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        auto it = children_.find(index);
        if (it == children_.end()) {
            it = children_
                     .emplace(index, QAccessible::registerAccessibleInterface(
                                         new RingModuleAccessible(Ring(), index)))
                     .first;
        }
        return QAccessible::accessibleInterface(it->second);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [k, id] : children_) {
            if (QAccessible::accessibleInterface(id) == child) {
                return k < childCount() ? k : -1;
            }
        }
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        const int k = Ring()->FocusedPosition();
        return k >= 0 ? child(k) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = Ring()->mapFromGlobal(QPoint(x, y));
        for (int k = 0; k < childCount(); ++k) {
            if (Ring()->PictureRect(k).contains(at)) {
                return child(k);
            }
        }
        return nullptr;
    }

  private:
    WatchRing* Ring() const { return static_cast<WatchRing*>(widget()); }

    mutable std::map<int, QAccessible::Id> children_;
};

QAccessibleInterface* RingAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(WatchRing::staticMetaObject.className()) && object &&
        object->isWidgetType()) {
        return new WatchRingAccessible(static_cast<WatchRing*>(object));
    }
    return nullptr;
}

}  // namespace

WatchRing::WatchRing(QWidget* parent)
    : QWidget(parent),
      images_(ModulePixmaps()),
      missing_{MissingModulePixmap(false), MissingModulePixmap(true)} {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));  // as the bus view
    setPalette(pal);
    // Before anything asks for the ring's interface (a name set does): once,
    // however many rings.
    QAccessible::installFactory(RingAccessibleFactory);
    setMinimumSize(160, 160);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(RingName(0));
}

void WatchRing::SetModules(std::vector<Module> modules) {
    // The focus stays on its module wherever the round put it.
    const int focusedId = focused_ >= 0 && focused_ < static_cast<int>(modules_.size())
                              ? modules_[static_cast<std::size_t>(focused_)].id
                              : -1;
    modules_ = std::move(modules);
    const int n = static_cast<int>(modules_.size());
    focused_ = PositionOf(focusedId);
    std::vector<ModuleWords> before = std::move(words_);
    words_.clear();
    words_.reserve(modules_.size());
    int missing = 0;
    const auto lamps = [this](int i) { return modules_[static_cast<std::size_t>(i)].lamps; };
    const auto gone = [this](int i) { return !modules_[static_cast<std::size_t>(i)].present; };
    for (int k = 0; k < n; ++k) {
        const Module& m = modules_[static_cast<std::size_t>(k)];
        missing += m.present ? 0 : 1;
        RingPlace place;
        place.attached = k == 0;
        place.missing = !m.present;
        for (const int j : RedLinkNeighbours(k, n, lamps, gone)) {
            place.redLinks.push_back(modules_[static_cast<std::size_t>(j)].id);
        }
        ModuleState state;
        state.id = m.id;
        state.version = m.version;
        state.error1 = m.lamps.ch1;
        state.error2 = m.lamps.ch2;
        state.count1 = m.count1;
        state.count2 = m.count2;
        words_.push_back(DescribeModule(state, place));
        const bool changed =
            static_cast<std::size_t>(k) >= before.size() ||
            before[static_cast<std::size_t>(k)].description != words_.back().description;
        if (changed && QAccessible::isActive()) {
            QAccessibleEvent event(this, QAccessible::DescriptionChanged);
            event.setChild(k);
            QAccessible::updateAccessibility(&event);
        }
    }
    setAccessibleName(RingName(n, missing));
    update();
}

int WatchRing::PositionOf(int id) const {
    for (std::size_t k = 0; k < modules_.size(); ++k) {
        if (modules_[k].id == id) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

int WatchRing::PositionAt(QPoint at) const {
    for (int k = 0; k < static_cast<int>(modules_.size()); ++k) {
        if (PictureRect(k).contains(at)) {
            return k;
        }
    }
    return -1;
}

void WatchRing::MoveFocus(int k) {
    focused_ = k;
    update();
    if (hasFocus() && k >= 0) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(k);
        QAccessible::updateAccessibility(&event);
    }
}

void WatchRing::SetSelected(int id) {
    if (id != selected_) {
        selected_ = id;
        update();
    }
}

RingGeometry WatchRing::Geometry() const {
    // As the bus view's ring, drawn in a little to leave room for the IDs beside it.
    const int idWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("32000"));
    return Ring(width(), height(), kModuleImageHeight + idWidth);
}

QRect WatchRing::PictureRect(int k) const {
    const Point at = PicturePosition(Geometry(), k, static_cast<int>(modules_.size()),
                                     kModuleImageWidth, kModuleImageHeight);
    return QRect(RoundHalfEven(at.left), RoundHalfEven(at.top), kModuleImageWidth,
                 kModuleImageHeight);
}

const QPixmap& WatchRing::PictureOf(const Module& m) const {
    const bool selected = m.id == selected_;
    if (!m.present) {
        return missing_[selected ? 1 : 0];
    }
    return images_[static_cast<std::size_t>(ModuleImageIndex(m.lamps, selected) - 1)];
}

void WatchRing::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    const int n = static_cast<int>(modules_.size());
    QPainter painter(this);
    if (n == 0) {
        painter.drawText(rect(), Qt::AlignCenter, tr("No modules yet"));
        return;
    }
    const RingGeometry ring = Geometry();
    std::vector<RingArc> arcs;
    const auto lamps = [this](int i) { return modules_[static_cast<std::size_t>(i)].lamps; };
    const auto gone = [this](int i) { return !modules_[static_cast<std::size_t>(i)].present; };
    for (int k = 0; k < n; ++k) {
        AddRingLinks(arcs, k, n, lamps, gone);
    }
    PaintRingArcs(painter, ring, arcs);

    const QFontMetrics metrics(font());
    for (int k = 0; k < n; ++k) {
        const Module& m = modules_[static_cast<std::size_t>(k)];
        const QRect at = PictureRect(k);
        painter.drawPixmap(at.topLeft(), PictureOf(m));
        const QString id = QString::number(m.id);
        const Point label = LabelCentre(ring, k, n, kModuleImageWidth, kModuleImageHeight,
                                        metrics.horizontalAdvance(id), metrics.height());
        painter.setPen(m.present ? Qt::black : QColor(96, 96, 96));
        painter.drawText(
            QRectF(label.left - 40, label.top - metrics.height() / 2.0, 80, metrics.height()),
            Qt::AlignCenter, id);
    }
    // "PC" below the attached module, left edges aligned, as in the bus view.
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(12);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const QRect first = PictureRect(0);
    painter.drawText(QPoint(first.left(), first.bottom() + 1 + QFontMetrics(bold).ascent()),
                     QStringLiteral("PC"));
    if (FocusedPosition() >= 0) {
        PaintFocusFrame(painter, PictureRect(focused_), palette());
    }
}

void WatchRing::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int k = PositionAt(event->position().toPoint());
    if (k >= 0) {
        MoveFocus(k);
        emit ModuleClicked(modules_[static_cast<std::size_t>(k)].id);
    }
}

void WatchRing::keyPressEvent(QKeyEvent* event) {
    const int n = static_cast<int>(modules_.size());
    if (focused_ >= 0 && focused_ < n && IsRingActivateKey(event->key())) {
        if (!event->isAutoRepeat()) {
            emit ModuleClicked(modules_[static_cast<std::size_t>(focused_)].id);
        }
        return;
    }
    if (const std::optional<int> to = RingFocusTarget(event->key(), focused_, n)) {
        MoveFocus(*to);
        return;
    }
    QWidget::keyPressEvent(event);
}

void WatchRing::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const bool tabbed =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (tabbed || focused_ < 0) {
        // On the highlighted module, or else the attached one.
        const int selected = PositionOf(selected_);
        MoveFocus(modules_.empty() ? -1 : selected >= 0 ? selected : 0);
    } else {
        MoveFocus(focused_);
    }
}

void WatchRing::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

bool WatchRing::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const int k = PositionAt(help->pos());
    if (k < 0) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), Words(k).toolTip, this, PictureRect(k));
    }
    return true;
}

}  // namespace quorval
