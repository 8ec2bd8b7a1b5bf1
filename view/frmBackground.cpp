#include "view/frmBackground.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "geometry/BusGeometry.h"
#include "geometry/Twips.h"
#include "model/Global.h"
#include "model/ModuleState.h"
#include "model/ModuleText.h"
#include "ui/RingKeys.h"

namespace quorval {

namespace {

// The caption's spinner takes a step about as often as it did when the wait
// counted 400 passes of its loop.
constexpr int kSpinnerStepMs = 440;

ChannelState StateAt(Global& g, int position) {
    const ModuleData& m = g.Bus.Modules(g.Bus.ModuleOrder(position));
    return ChannelState{m.GetStatusChannel1(), m.GetStatusChannel2()};
}

}  // namespace

const QColor frmBackground::kBlue = LinkBlue();
const QColor frmBackground::kRed = LinkRed();

ModulePicture::ModulePicture(int index, QWidget* parent) : QLabel(parent), index_(index) {
    setFixedSize(20, 27);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::ClickFocus);
}

void ModulePicture::SetImage(int index, const QPixmap& pixmap) {
    image_ = index;
    setPixmap(pixmap);
}

void ModulePicture::EmitClicked() {
    // A query may be turned away or end at once: run it after this event
    // handler has returned, so that nothing it does meets the picture's own event.
    QMetaObject::invokeMethod(
        this, [this] { emit clicked(index_); }, Qt::QueuedConnection);
}

void ModulePicture::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        EmitClicked();
    }
}

void ModulePicture::keyPressEvent(QKeyEvent* event) {
    if (IsRingActivateKey(event->key())) {
        // A key held down queries once, not again after every answer.
        if (!event->isAutoRepeat()) {
            EmitClicked();
        }
        return;
    }
    QLabel::keyPressEvent(event);  // the ring moves the focus
}

void ModulePicture::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    if (parentWidget()) {
        parentWidget()->update();  // the focus frame is drawn there, around the picture
    }
}

void ModulePicture::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    if (parentWidget()) {
        parentWidget()->update();
    }
}

frmBackground::frmBackground(Global& g, ModuleLink& link, QWidget* parent)
    : QWidget(parent),
      lblPC(new QLabel(QStringLiteral("PC"), this)),
      g_(g),
      link_(link),
      spinner_(this) {
    setWindowTitle(tr("Bus Info"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setMinimumSize(60, 60);

    ImageList1 = ModulePixmaps();
    ModulePicture* first = LoadPicture(0);
    first->move(Pixels(3120), Pixels(840));
    first->hide();

    QFont font(QStringLiteral("MS Sans Serif"), 12);
    font.setBold(true);
    lblPC->setFont(font);
    lblPC->setFixedSize(Pixels(375), Pixels(255));
    lblPC->move(Pixels(3120), Pixels(1320));
    lblPC->hide();
    SelectedIndex = 0;
    spinner_.setInterval(kSpinnerStepMs);
    connect(&spinner_, &QTimer::timeout, this, &frmBackground::SpinnerStep);

    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(RingName(0));
    connect(this, &frmBackground::ModuleQueried, this, &frmBackground::DescribeModules);
}

QSize frmBackground::SavedOuterSize() const {
    return QSize(Pixels(g_.BusInfoWidth), Pixels(g_.BusInfoHeight));
}

ModulePicture* frmBackground::Picture(int k) const {
    if (k < 0 || k >= static_cast<int>(picModule.size())) {
        return nullptr;
    }
    return picModule[static_cast<std::size_t>(k)];
}

ModulePicture* frmBackground::LoadPicture(int k) {
    if (ModulePicture* existing = Picture(k)) {
        return existing;
    }
    auto* pic = new ModulePicture(k, this);
    // A new element copies element 0's picture and starts hidden.
    const ModulePicture* first = Picture(0);
    const int image = first ? first->ImageIndex() : 1;
    pic->SetImage(image, ImageList1[static_cast<std::size_t>(image - 1)]);
    pic->hide();
    connect(pic, &ModulePicture::clicked, this, &frmBackground::picModule_Click);
    picModule.push_back(pic);
    return pic;
}

void frmBackground::SetImage(int k, int imageIndex) {
    if (ModulePicture* pic = Picture(k); pic && imageIndex >= 1 && imageIndex <= 8) {
        pic->SetImage(imageIndex, ImageList1[static_cast<std::size_t>(imageIndex - 1)]);
    }
}

void frmBackground::SetNormalImage(int k) {
    SetImage(k, ModuleImageIndex(StateAt(g_, k), false));
}

void frmBackground::AddLinks(int k, int n) {
    AddRingLinks(
        arcs_, k, n, [this](int i) { return StateAt(g_, i); }, [](int) { return false; });
}

int frmBackground::DrawnCount() const {
    const ModulePicture* first = Picture(0);
    return first && !first->isHidden() ? static_cast<int>(picModule.size()) : 0;
}

int frmBackground::FocusedPosition() const {
    for (const ModulePicture* pic : picModule) {
        if (pic->hasFocus()) {
            return pic->Index();
        }
    }
    return -1;
}

void frmBackground::DescribeModules() {
    const int n = DrawnCount();
    const auto stateAt = [this](int i) { return StateAt(g_, i); };
    setAccessibleName(RingName(n));
    for (int k = 0; k < n; ++k) {
        RingPlace place;
        place.attached = k == 0;
        for (const int j : RedLinkNeighbours(k, n, stateAt, [](int) { return false; })) {
            place.redLinks.push_back(g_.Bus.ModuleOrder(j));
        }
        const int id = g_.Bus.ModuleOrder(k);
        ModuleState state = StateOf(g_.Bus.Modules(id));
        state.id = id;  // a record that never answered holds ID 0
        const ModuleWords words = DescribeModule(state, place);
        ModulePicture* pic = picModule[static_cast<std::size_t>(k)];
        pic->setAccessibleName(words.name);
        pic->setAccessibleDescription(words.description);
        pic->setToolTip(words.toolTip);
    }
}

void frmBackground::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const int n = DrawnCount();
    if (n == 0) {
        return;
    }
    // On the highlighted module, the one last queried, or else the attached one.
    const ModulePicture* selected = Picture(SelectedIndex);
    const bool highlighted = SelectedIndex < n && selected && selected->ImageIndex() > 4;
    Picture(highlighted ? SelectedIndex : 0)->setFocus(event->reason());
}

void frmBackground::keyPressEvent(QKeyEvent* event) {
    const int k = FocusedPosition();
    const std::optional<int> to =
        k >= 0 ? RingFocusTarget(event->key(), k, DrawnCount()) : std::nullopt;
    if (!to) {
        QWidget::keyPressEvent(event);
        return;
    }
    Picture(*to)->setFocus(Qt::OtherFocusReason);
}

void frmBackground::DrawModules() {
    // The pictures are made afresh; the keyboard focus stays at its position.
    const int focused = FocusedPosition();
    while (picModule.size() > 1) {
        delete picModule.back();
        picModule.pop_back();
    }
    arcs_.clear();
    const int n = g_.Bus.ModuleCount > 0 ? g_.Bus.ModuleCount : 0;
    const ModulePicture* first = Picture(0);
    const int w0 = first->width();
    const int h0 = first->height();
    const RingGeometry ring = Ring(width(), height(), h0);
    for (int k = 0; k < n; ++k) {
        ModulePicture* pic = LoadPicture(k);
        SetNormalImage(k);
        AddLinks(k, n);
        const Point at = PicturePosition(ring, k, n, w0, h0);
        pic->hide();
        pic->move(RoundHalfEven(at.left), RoundHalfEven(at.top));
        pic->show();
    }
    if (n > 0) {
        lblPC->move(first->x(), first->y() + first->height());
        lblPC->show();
    } else {
        // An empty table shows an empty ring, not the last module drawn.
        Picture(0)->hide();
        lblPC->hide();
    }
    DescribeModules();
    if (focused >= 0 && focused < n) {
        Picture(focused)->setFocus(Qt::OtherFocusReason);
    }
    update();
}

void frmBackground::picModule_Click(int p) {
    const int id = g_.Bus.ModuleOrder(p);
    auto* query = new ModuleQuery(link_);
    connect(query, &ModuleQuery::finished, this,
            [this, id](QueryOutcome outcome) { QueryEnded(id, outcome); });
    if (!query->Start(id)) {
        return;  // another exchange waits on the line
    }
    emit QueryBegun();
    if (ModulePicture* pic = Picture(p)) {
        pic->setFocus();
    }
    setWindowTitle(QStringLiteral("Bus Info - Searching module... |"));
    spinnerPhase_ = 0;
    spinner_.start();
}

void frmBackground::SpinnerStep() {
    static const char* const kSpinner[] = {"|", "/", "-", "\\", "|"};
    // The first step finds phase 0 and changes nothing.
    if (spinnerPhase_ >= 1 && spinnerPhase_ <= 4) {
        setWindowTitle(QStringLiteral("Bus Info - Searching module... ") +
                       QLatin1String(kSpinner[spinnerPhase_]));
    }
    spinnerPhase_ = spinnerPhase_ == 4 ? 1 : spinnerPhase_ + 1;
}

void frmBackground::QueryEnded(int id, QueryOutcome outcome) {
    spinner_.stop();
    ModuleData& record = g_.Bus.Modules(id);
    switch (outcome) {
        case QueryOutcome::LinkLost:
            setWindowTitle(QStringLiteral("Bus Info - connection lost"));
            return;  // the loss is told next, and the ring cleared
        case QueryOutcome::Stopped:
            return;
        case QueryOutcome::Silent:
            g_.MsgBox(QStringLiteral("Modul with ID %1 not answer!").arg(record.GetModuleID()),
                      MessageIcon::Critical, QStringLiteral("Error!"));
            setWindowTitle(QStringLiteral("Bus Info - Selected module not found!"));
            break;
        case QueryOutcome::Answered:
            setWindowTitle(QStringLiteral("Bus Info - module found!"));
            break;
    }
    // The ring may have been redrawn meanwhile: positions are taken afresh, and
    // none past its end is read.
    const int n = g_.Bus.ModuleCount;
    if (SelectedIndex < n) {
        SetNormalImage(SelectedIndex);
    }
    emit ModuleQueried(id, record);
    const int p = g_.Bus.PositionOf(id);
    if (p < 0 || !Picture(p)) {
        return;  // no longer on the ring
    }
    AddLinks(p, n);
    update();
    SetImage(p, ModuleImageIndex(StateAt(g_, p), true));
    SelectedIndex = static_cast<std::int16_t>(p);
}

void frmBackground::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    const ModulePicture* first = Picture(0);
    const RingGeometry ring = Ring(width(), height(), first ? first->height() : 27);
    QPainter painter(this);
    PaintRingArcs(painter, ring, arcs_);
    if (const ModulePicture* focused = Picture(FocusedPosition())) {
        PaintFocusFrame(painter, focused->geometry(), palette());
    }
}

void frmBackground::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    DrawModules();
}

void frmBackground::closeEvent(QCloseEvent* event) {
    const QWidget* outer = parentWidget() ? parentWidget() : this;
    // Larger than the saved size can hold: the largest it can.
    g_.BusInfoHeight = Twips(outer->height()).value_or(INT16_MAX);
    g_.BusInfoWidth = Twips(outer->width()).value_or(INT16_MAX);
    QWidget::closeEvent(event);
}

}  // namespace quorval
