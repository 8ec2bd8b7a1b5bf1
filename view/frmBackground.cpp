#include "view/frmBackground.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "common/EventYield.h"
#include "geometry/BusGeometry.h"
#include "geometry/Twips.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "model/ModuleState.h"
#include "model/ModuleText.h"
#include "ui/RingKeys.h"

namespace quorval {

namespace {

constexpr int kQueryLimitMs = 2000;
constexpr int kSpinnerPasses = 400;

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
    // The query waits and lets events run, which may redraw the ring and
    // delete this picture: run it after this event handler has returned.
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
    : QWidget(parent), lblPC(new QLabel(QStringLiteral("PC"), this)), g_(g), link_(link) {
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
    if (link_.Busy()) {
        return;  // another exchange waits on the line
    }
    QPointer<frmBackground> self(this);
    emit QueryBegun();
    if (ModulePicture* pic = Picture(p)) {
        pic->setFocus();
    }
    const int id = g_.Bus.ModuleOrder(p);
    SetTxModuleID(g_, id);
    // Records live as long as the table; pictures may not outlive the wait, so
    // only positions are kept across it.
    ModuleData& record = g_.Bus.Modules(id);
    const float before = record.GetTimeStamp();
    bool answered = true;
    {
        const ModuleLink::Exchange exchange(link_);
        QElapsedTimer clock;
        clock.start();
        link_.SendCommand(kCmdQuery);

        static const char* const kSpinner[] = {"|", "/", "-", "\\", "|"};
        setWindowTitle(QStringLiteral("Bus Info - Searching module... |"));
        int passes = 0;
        int phase = 0;
        while (record.GetTimeStamp() == before) {
            YieldToEventLoop();
            if (!self) {
                return;  // the window was closed while waiting
            }
            if (exchange.Lost()) {
                setWindowTitle(QStringLiteral("Bus Info - connection lost"));
                return;  // the loss has been reported and the ring cleared
            }
            if (++passes == kSpinnerPasses) {
                if (phase >= 1 && phase <= 4) {
                    setWindowTitle(QStringLiteral("Bus Info - Searching module... ") +
                                   QLatin1String(kSpinner[phase]));
                }
                phase = phase == 4 ? 1 : phase + 1;
                passes = 0;
            }
            if (clock.elapsed() >= kQueryLimitMs) {
                // An answer parsed in this very pass still counts.
                answered = record.GetTimeStamp() != before;
                break;
            }
        }
    }
    if (!answered) {
        record.SetStatusChannel1(true);
        record.SetStatusChannel2(true);
        g_.MsgBox(QStringLiteral("Modul with ID %1 not answer!").arg(record.GetModuleID()),
                  MessageIcon::Critical, QStringLiteral("Error!"));
        if (!self) {
            return;
        }
        setWindowTitle(QStringLiteral("Bus Info - Selected module not found!"));
    } else {
        setWindowTitle(QStringLiteral("Bus Info - module found!"));
    }

    SetNormalImage(SelectedIndex);
    emit ModuleQueried(id, record);

    // A redraw during the wait may have moved or removed the module: then its
    // picture and links are the redraw's, not ours.
    const int n = g_.Bus.ModuleCount;
    const bool moved = n > 0 && (p < 0 || p >= n || g_.Bus.ModuleOrder(p) != id);
    if (moved || !Picture(p)) {
        return;
    }
    if (n > 0) {  // an empty table has no neighbours to link
        AddLinks(p, n);
        update();
    }
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
