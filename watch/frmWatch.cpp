#include "watch/frmWatch.h"

#include <cmath>

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "model/Global.h"
#include "record/WatchText.h"

namespace quorval {

namespace {

const char* const kTitle = "QUORVAL Watch";

// The rows of modules where something happened stand out; a missing one is greyed.
class StandOutRows : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::BackgroundRole && role != Qt::ForegroundRole && role != Qt::FontRole) {
            return QSortFilterProxyModel::data(index, role);
        }
        const auto mark = static_cast<WatchModel::RowMark>(
            QSortFilterProxyModel::data(index, WatchModel::StandOutRole).toInt());
        switch (mark) {
            case WatchModel::RowMark::Eventful:
                if (role == Qt::BackgroundRole) {
                    return QColor(255, 224, 160);
                }
                if (role == Qt::FontRole) {
                    QFont bold;
                    bold.setBold(true);
                    return bold;
                }
                return {};
            case WatchModel::RowMark::Missing:
                if (role == Qt::BackgroundRole) {
                    return QColor(225, 225, 225);
                }
                return role == Qt::ForegroundRole ? QVariant(QColor(110, 110, 110)) : QVariant();
            default:
                return {};
        }
    }
};

}  // namespace

QString frmWatch::StateText(State s) {
    switch (s) {
        case State::Watching:
            return QStringLiteral("watching");
        case State::LinkLost:
            return QStringLiteral("link lost");
        case State::Retrying:
            return QStringLiteral("retrying");
        default:
            return QStringLiteral("stopped");
    }
}

frmWatch::frmWatch(Global& g, std::unique_ptr<MSComm> port, const QString& portName,
                   QWidget* parent)
    : QMainWindow(parent),
      cmdStart(new QAction(tr("&Start"), this)),
      cmdStop(new QAction(tr("S&top"), this)),
      txtInterval(new QDoubleSpinBox(this)),
      txtLogFile(new QLineEdit(this)),
      cmdLogFile(new QAction(tr("&Log file..."), this)),
      picRing(new WatchRing(this)),
      grdModules(new QTableView(this)),
      grdRows(new StandOutRows(this)),
      picTrend(new TrendView(this)),
      lstEvents(new QListView(this)),
      lblState(new QLabel(this)),
      lblSummary(new QLabel(this)),
      lblBroker(new QLabel(this)),
      g_(g),
      link_(std::make_unique<ModuleLink>(g, std::move(port))),
      watch_(std::make_unique<BusWatch>(g, *link_)),
      model_(new WatchModel(this)),
      portName_(portName) {
    auto* bar = addToolBar(tr("Watch"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->addAction(cmdStart);
    bar->addAction(cmdStop);
    bar->addSeparator();
    auto* lblInterval = new QLabel(tr(" Every "), this);
    lblInterval->setBuddy(txtInterval);
    bar->addWidget(lblInterval);
    txtInterval->setRange(1, kMaxIntervalS);
    txtInterval->setDecimals(1);
    txtInterval->setSuffix(QStringLiteral(" s"));
    txtInterval->setValue(10);
    txtInterval->setToolTip(
        tr("Seconds from the start of one round to the next; every round is "
           "one scan of the whole system"));
    bar->addWidget(txtInterval);
    bar->addSeparator();
    auto* lblLogFile = new QLabel(tr(" Log: "), this);
    lblLogFile->setBuddy(txtLogFile);
    bar->addWidget(lblLogFile);
    txtLogFile->setPlaceholderText(tr("no log file"));
    txtLogFile->setMinimumWidth(260);
    txtLogFile->setToolTip(
        tr("The rows of every round are appended to this CSV file, as "
           "quorval-cli watch --out writes them"));
    bar->addWidget(txtLogFile);
    bar->addAction(cmdLogFile);
    cmdStart->setShortcut(QKeySequence(Qt::Key_F5));
    cmdStop->setShortcut(QKeySequence(Qt::Key_F6));

    grdRows->setSourceModel(model_);
    grdRows->setSortRole(WatchModel::SortRole);
    grdModules->setModel(grdRows);
    grdModules->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdModules->setSelectionMode(QAbstractItemView::SingleSelection);
    grdModules->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdModules->verticalHeader()->hide();
    grdModules->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grdModules->setSortingEnabled(true);
    grdModules->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstEvents->setModel(&model_->Events());
    lstEvents->setUniformItemSizes(true);

    auto* top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(picRing);
    top->addWidget(grdModules);
    top->setStretchFactor(1, 1);
    top->setSizes({380, 820});
    auto* all = new QSplitter(Qt::Vertical, this);
    all->addWidget(top);
    all->addWidget(picTrend);
    all->addWidget(lstEvents);
    all->setStretchFactor(0, 5);
    all->setStretchFactor(1, 3);
    all->setStretchFactor(2, 2);
    setCentralWidget(all);
    picTrend->setAccessibleName(tr("Trend"));
    lstEvents->setAccessibleName(tr("Events"));
    statusBar()->addWidget(lblState, 1);
    statusBar()->addPermanentWidget(lblSummary);
    statusBar()->addPermanentWidget(lblBroker);
    lblBroker->hide();
    resize(1200, 840);

    connect(cmdStart, &QAction::triggered, this, &frmWatch::StartWatch);
    connect(cmdStop, &QAction::triggered, this, &frmWatch::StopWatch);
    connect(cmdLogFile, &QAction::triggered, this, &frmWatch::ChooseLogFile);
    connect(txtInterval, &QDoubleSpinBox::valueChanged, this,
            [this](double s) { watch_->SetInterval(static_cast<int>(std::lround(s * 1000))); });
    connect(txtLogFile, &QLineEdit::editingFinished, this, [this] {
        if (txtLogFile->text() != logPath_ && !SetLogFile(txtLogFile->text())) {
            txtLogFile->setText(logPath_);
        }
    });
    connect(picRing, &WatchRing::ModuleClicked, this, &frmWatch::SelectModule);
    connect(grdModules->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                SelectModule(model_->IdAt(grdRows->mapToSource(current).row()));
            });
    connect(watch_.get(), &BusWatch::RoundDone, this, &frmWatch::OnRound);
    connect(watch_.get(), &BusWatch::Finished, this, &frmWatch::OnFinished);

    link_->StartTimers();
    SetState(State::Stopped);
    ShowTrend();
}

frmWatch::~frmWatch() {
    watch_.reset();
    link_->ClosePort();
}

void frmWatch::SetState(State s, const QString& detail) {
    state_ = s;
    setWindowTitle(
        QStringLiteral("%1 - %2 - %3").arg(QLatin1String(kTitle), portName_, StateText(s)));
    const bool running = watch_->Running();
    cmdStart->setEnabled(!running);
    cmdStop->setEnabled(running);
    txtLogFile->setEnabled(!running);
    cmdLogFile->setEnabled(!running);
    const QString every = QStringLiteral("%1 s").arg(txtInterval->value());
    switch (s) {
        case State::Watching:
            lblState->setText(tr("Watching %1, a scan every %2").arg(portName_, every));
            break;
        case State::LinkLost:
        case State::Retrying:
            lblState->setText(tr("%1: %2; trying again every %3").arg(portName_, detail, every));
            break;
        default:
            lblState->setText(
                detail.isEmpty() ? tr("Stopped: press Start to watch %1").arg(portName_) : detail);
            break;
    }
}

void frmWatch::StartWatch() {
    if (watch_->Running() || closing_) {
        return;
    }
    watch_->SetInterval(static_cast<int>(std::lround(txtInterval->value() * 1000)));
    watch_->Start();
    SetState(State::Watching);
}

void frmWatch::StopWatch() {
    watch_->Stop();
}

void frmWatch::SetIntervalSeconds(double seconds) {
    txtInterval->setValue(seconds);
}

bool frmWatch::SetLogFile(const QString& path) {
    if (path.isEmpty()) {
        log_.reset();
        logPath_.clear();
        txtLogFile->clear();
        return true;
    }
    QString error;
    std::unique_ptr<WatchLogWriter> log = WatchLogWriter::Open(path, error);
    if (!log) {
        g_.MsgBox(error, MessageIcon::Critical, QString::fromLatin1(kTitle));
        return false;
    }
    log_ = std::move(log);
    logPath_ = path;
    txtLogFile->setText(path);
    return true;
}

void frmWatch::ChooseLogFile() {
    // Opened, not run: the watch goes on while the technician looks for a place.
    auto* dialog =
        new QFileDialog(this, tr("Log file"), logPath_.isEmpty() ? QDir::homePath() : logPath_,
                        tr("Watch logs (*.csv);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (!path.isEmpty() && !watch_->Running()) {
            SetLogFile(path);
        }
    });
    dialog->open();
}

void frmWatch::OnRound(const WatchRound& round) {
    if (log_ && !log_->Write(round)) {
        const QString problem = log_->Problem();
        log_.reset();
        logPath_.clear();
        txtLogFile->clear();
        failure_ = tr("Stopped: %1").arg(problem);
        watch_->Stop();
        g_.MsgBox(tr("%1; the watch stopped").arg(problem), MessageIcon::Critical,
                  QString::fromLatin1(kTitle));
    }
    const WatchTracker& tracker = watch_->Tracker();
    model_->Feed(round, tracker);
    std::vector<WatchRing::Module> ring;
    ring.reserve(tracker.Modules().size());
    for (const WatchTracker::Known& k : tracker.Modules()) {
        const ModuleState& m = k.sample.state;
        ring.push_back({m.id, ChannelState{m.error1, m.error2}, k.sample.present, m.version,
                        m.count1, m.count2});
    }
    picRing->SetModules(std::move(ring));
    const QStringList summary = WatchSummary(tracker);
    lblSummary->setText(summary.first());
    lblSummary->setToolTip(summary.join(QLatin1Char('\n')));
    // Stopped within this round (its log failed): OnFinished has said so.
    if (watch_->Running() && round.linkUp) {
        SetState(State::Watching);
    } else if (watch_->Running()) {
        QString reason;
        for (const WatchEvent& e : round.events) {
            if (e.kind == WatchEventKind::LinkLost) {
                reason = e.reason;
            }
        }
        SetState(reason.isEmpty() ? State::Retrying : State::LinkLost,
                 reason.isEmpty() ? tr("still no link") : tr("link lost: %1").arg(reason));
    }
    ShowTrend();
}

void frmWatch::OnFinished() {
    // Free for the setup tool while stopped; the next round opens it again.
    link_->ClosePort();
    SetState(State::Stopped, failure_);
    failure_.clear();
    if (closing_) {
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) {
                close();
            }
        });
    }
}

void frmWatch::ShowPublisher(MqttPublisher& p) {
    const auto show = [this](const QString& state) {
        lblBroker->setText(tr("MQTT: %1").arg(state));
    };
    show(p.State());
    lblBroker->show();
    connect(&p, &MqttPublisher::StateChanged, this, show);
    connect(&p, &MqttPublisher::Said, this, [this](const QString& line) {
        model_->Events().AddNote(QDateTime::currentMSecsSinceEpoch(), line);
    });
}

void frmWatch::SelectModule(int id) {
    if (id == selected_) {
        return;
    }
    selected_ = id;
    picRing->SetSelected(id);
    const int row = model_->RowOf(id);
    const QModelIndex at = grdRows->mapFromSource(model_->index(row, 0));
    if (row >= 0 && grdModules->currentIndex().row() != at.row()) {
        grdModules->setCurrentIndex(at);
    }
    ShowTrend();
}

void frmWatch::ShowTrend() {
    const int row = model_->RowOf(selected_);
    if (selected_ < 0) {
        picTrend->SetTrend({}, {});
        picTrend->setAccessibleDescription(tr("No module selected"));
        return;
    }
    picTrend->SetTrend(tr("Module %1: error counters").arg(selected_), model_->TrendOf(selected_));
    picTrend->setAccessibleDescription(row >= 0 ? TrendSummary(selected_, model_->History(row))
                                                : TrendSummary(selected_, CounterHistory()));
}

void frmWatch::closeEvent(QCloseEvent* event) {
    if (watch_->Running()) {
        // A round in progress is given up, not half written; the log has every
        // round before it. Finished closes the window again.
        closing_ = true;
        link_->RequestStop();
        watch_->Stop();
        if (watch_->Running()) {
            event->ignore();
            return;
        }
    }
    log_.reset();
    link_->ClosePort();
    QMainWindow::closeEvent(event);
}

}  // namespace quorval
