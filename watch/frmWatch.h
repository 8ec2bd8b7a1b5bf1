#pragma once

#include <memory>

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "link/MSComm.h"
#include "link/ModuleLink.h"
#include "publish/MqttPublisher.h"
#include "record/WatchLog.h"
#include "session/BusWatch.h"
#include "watch/TrendView.h"
#include "watch/WatchModel.h"
#include "watch/WatchRing.h"

namespace quorval {

struct Global;

// "QUORVAL Watch": the watch of the command line as a window. A toolbar with
// Start/Stop, the interval and the log file; the ring, the table of modules,
// the trend of the selected module, and the events, newest first. The title
// names the port and the state. It only listens to the system: every round is
// one scan, the one exchange on the line.
class frmWatch : public QMainWindow {
    Q_OBJECT
  public:
    enum class State { Stopped, Watching, LinkLost, Retrying };
    static QString StateText(State s);

    // portName: the port as the title names it ("COM1 (/dev/ttyUSB0)").
    frmWatch(Global& g, std::unique_ptr<MSComm> port, const QString& portName,
             QWidget* parent = nullptr);
    ~frmWatch() override;

    void StartWatch();
    // The round in progress ends first; the port is then closed, free for the setup tool.
    void StopWatch();
    void SetIntervalSeconds(double seconds);
    // Appends the rows to this file from the next round on (empty: no log).
    // False, and said in a message, when the file cannot take the log.
    bool SetLogFile(const QString& path);
    void SelectModule(int id);
    // The broker's state in the status line, its "mqtt: ..." lines among the events.
    void ShowPublisher(MqttPublisher& p);

    State CurrentState() const { return state_; }
    int SelectedModule() const { return selected_; }
    WatchModel& Model() { return *model_; }
    BusWatch& Watch() { return *watch_; }
    ModuleLink& Link() { return *link_; }

    // Made in the order of their declaration, which is the Tab order: the
    // toolbar's fields, the ring, the table (whose Tab moves between its cells).
    QAction* cmdStart;
    QAction* cmdStop;
    QDoubleSpinBox* txtInterval;
    QLineEdit* txtLogFile;
    QAction* cmdLogFile;
    WatchRing* picRing;
    QTableView* grdModules;
    QSortFilterProxyModel* grdRows;
    TrendView* picTrend;
    QListView* lstEvents;
    QLabel* lblState;  // what the watch is doing, and why not when it cannot
    QLabel* lblSummary;
    QLabel* lblBroker;  // hidden without a broker

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnRound(const WatchRound& round);
    void OnFinished();
    void SetState(State s, const QString& detail = {});
    void ChooseLogFile();
    void ShowTrend();

    Global& g_;
    std::unique_ptr<ModuleLink> link_;
    std::unique_ptr<BusWatch> watch_;
    std::unique_ptr<WatchLogWriter> log_;
    QString logPath_;
    QString failure_;  // why the watch stopped by itself
    WatchModel* model_;
    QString portName_;
    State state_ = State::Stopped;
    int selected_ = -1;
    bool closing_ = false;
};

}  // namespace quorval
