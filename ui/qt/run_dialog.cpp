// The run view: the steps, the wait's progress, the alarms, and the run stepped from the event
// loop.
#include "ui/qt/run_dialog.h"

#include "run/junit.h"
#include "run/runner.h"
#include "ui/ascii.h"
#include "ui/panel_handles.h"
#include "ui/qt/alarm_status.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/run_step_model.h"
#include "ui/qt/settings.h"
#include "ui/userint.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr qint64 FILE_LIMIT = 4 << 20;

QString duration(long long ms) {
    char text[64];
    duration_text(ms, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace

RunDialog::RunDialog(QWidget *parent, AlarmStatus *alarms)
    : QDialog(parent), m_sequence(std::make_unique<Sequence>()), m_run(std::make_unique<Run>()),
      m_junit(std::make_unique<JunitReport>()), m_alarms(alarms), m_file(new QLabel(this)),
      m_open(new QPushButton(
          byLanguage(QStringLiteral("&\u00d6ffnen \u2026"), QStringLiteral("&Open \u2026")), this)),
      m_start(
          new QPushButton(byLanguage(QStringLiteral("&Starten"), QStringLiteral("&Start")), this)),
      m_stop(
          new QPushButton(byLanguage(QStringLiteral("A&nhalten"), QStringLiteral("S&top")), this)),
      m_save(new QPushButton(byLanguage(QStringLiteral("&Bericht speichern \u2026"),
                                        QStringLiteral("Save &report \u2026")),
                             this)),
      m_model(new RunStepModel(this)), m_table(new QTableView(this)),
      m_progress(new QProgressBar(this)), m_progressText(new QLabel(this)),
      m_alarmList(new QListWidget(this)), m_status(new QLabel(this)) {
    setWindowTitle(byLanguage(QStringLiteral("Ablauf"), QStringLiteral("Run sequence")));
    setAttribute(Qt::WA_DeleteOnClose);
    *m_junit = {};

    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setWordWrap(false);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::ResizeToContents);
    columns->setSectionResizeMode(RunStepModel::STEP, QHeaderView::Interactive);
    columns->resizeSection(RunStepModel::STEP, m_table->fontMetrics().averageCharWidth() * 44);
    columns->setStretchLastSection(true);
    m_progress->setTextVisible(false);
    m_alarmList->setMaximumHeight(m_alarmList->fontMetrics().height() * 4);
    m_alarmList->hide();
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *top = new QHBoxLayout;
    top->addWidget(m_file, 1);
    for (QPushButton *button : {m_open, m_start, m_stop, m_save}) top->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_progressText);
    layout->addWidget(m_alarmList);
    layout->addWidget(m_status);
    resize(900, 480);

    m_start->setEnabled(false);
    m_stop->setEnabled(false);
    m_save->setEnabled(false);
    connect(m_open, &QPushButton::clicked, this, [this] { chooseFile(); });
    connect(m_start, &QPushButton::clicked, this, [this] { start(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { stop(); });
    connect(m_save, &QPushButton::clicked, this, [this] { chooseReport(); });
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, [this] {
        // one exchange per call, never inside another callback
        dispatch::whenIdle([self = QPointer<RunDialog>(this)] {
            if (self) self->advance();
        });
    });
    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, [this] { showProgress(); });
    showProgress();
}

RunDialog::~RunDialog() {
    if (m_running) {
        run_stop(m_run.get());
        long long due = 0;
        run_advance(m_run.get(), &due); // ends it: its alarms leave the watch
    }
    holdCyclicSending(false);
    junit_close(m_junit.get());
}

bool RunDialog::load(const QString &path) {
    if (m_running) return false;
    QFile file(path);
    QByteArray text;
    bool read = file.open(QIODevice::ReadOnly);
    if (read) text = file.read(FILE_LIMIT + 1);
    read = read && file.error() == QFileDevice::NoError && text.size() <= FILE_LIMIT;
    m_path = path;
    m_file->setText(QFileInfo(path).fileName());
    m_file->setToolTip(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    m_save->setEnabled(false);
    m_reportReady = false;
    ParseError error{};
    if (!read) {
        m_sequence->count = 0;
        set_text(error.message, sizeof error.message, "%s",
                 file.errorString().toLocal8Bit().constData());
    }
    const bool parsed =
        read && parse_sequence(text.constData(), long(text.size()), m_sequence.get(), &error) == 0;
    m_model->setSequence(m_sequence.get());
    m_start->setEnabled(parsed);
    if (parsed) {
        m_status->setStyleSheet(QString());
        m_status->setText(
            byLanguage(QStringLiteral("%1 Schritte geladen"), QStringLiteral("%1 steps loaded"))
                .arg(m_sequence->count));
        return true;
    }
    char message[PARSE_MESSAGE_SIZE + 1024];
    parse_error_text(QDir::toNativeSeparators(path).toLocal8Bit().constData(), &error, message,
                     sizeof message);
    m_status->setStyleSheet(QStringLiteral("QLabel { color: #c62828; }"));
    m_status->setText(QString::fromLocal8Bit(message));
    return false;
}

void RunDialog::start() {
    if (m_running || m_sequence->count == 0) return;
    m_model->clearResults();
    m_alarmList->clear();
    m_alarmList->hide();
    m_status->setStyleSheet(QString());
    junit_close(m_junit.get());
    m_reportReady = junit_begin(m_junit.get(), QFile::encodeName(m_path).constData()) == 0;
    const RunEnvironment environment{
        exchange_published, run_wall_ms, run_steady_ms, nullptr, nullptr, program_alarms()};
    const RunObserver observer{began, ended, alarmed, this};
    run_begin(m_run.get(), m_sequence.get(), &environment, &observer);
    m_running = true;
    m_start->setEnabled(false);
    m_open->setEnabled(false);
    m_save->setEnabled(false);
    m_stop->setEnabled(true);
    m_tick.start();
    m_next.start(0);
}

void RunDialog::stop() {
    if (!m_running) return;
    run_stop(m_run.get());
    m_stop->setEnabled(false);
    m_next.start(0); // the stop takes effect at the next advance, after the exchange in progress
}

void RunDialog::reject() {
    if (m_running)
        stop();
    else
        QDialog::reject();
}

void RunDialog::advance() {
    if (!m_running) return;
    holdCyclicSending(usesPanelPort());
    long long due = 0;
    int more = 0;
    // an exchange waits with the event loop running: no callback may start meanwhile
    dispatch::guarded([&] { more = run_advance(m_run.get(), &due); });
    showProgress();
    if (!more) {
        finish();
        return;
    }
    char summary[512];
    run_summary_text(m_run.get(), summary, sizeof summary);
    m_status->setText(QString::fromLatin1(summary));
    const long long wait = std::clamp(due - run_steady_ms(nullptr), 0LL, 24LL * 3600 * 1000);
    m_next.start(int(wait));
}

void RunDialog::finish() {
    m_running = false;
    m_tick.stop();
    holdCyclicSending(false);
    m_model->setCurrent(-1);
    m_start->setEnabled(true);
    m_open->setEnabled(true);
    m_stop->setEnabled(false);
    m_save->setEnabled(m_reportReady);
    char summary[512];
    run_summary_text(m_run.get(), summary, sizeof summary);
    if (m_reportReady) junit_note(m_junit.get(), summary);
    // cppcheck-suppress shadowFunction ; the run's status; status() is not needed here
    const int status = run_status(m_run.get());
    m_status->setStyleSheet(status == 0 ? QStringLiteral("QLabel { color: #2e7d32; }")
                                        : QStringLiteral("QLabel { color: #c62828; }"));
    m_status->setText(QString::fromLatin1(summary));
    if (m_alarms) m_alarms->refresh(); // the run's alarms have left the watch
    showProgress();
}

void RunDialog::showProgress() {
    RunProgress p{};
    if (m_running) run_progress(m_run.get(), &p);
    const bool timed = p.index >= 0 && p.neededMs > 0;
    m_progress->setVisible(timed);
    m_progressText->setVisible(p.index >= 0);
    if (p.index < 0) return;
    const Step &step = m_sequence->steps[p.index];
    if (timed) {
        m_progress->setRange(0, int(std::min<long long>(p.neededMs, 1LL << 30)));
        m_progress->setValue(int(std::clamp<long long>(p.holdMs, 0, p.neededMs)));
    }
    QString text;
    if (step.kind == STEP_WAIT)
        text = (p.holdMs < 0 ? byLanguage(QStringLiteral("Wartet auf: %1"),
                                          QStringLiteral("Waiting for: %1"))
                                   .arg(QString::fromLatin1(step.condition.text))
                             : byLanguage(QStringLiteral("H\u00e4lt seit %1 von %2"),
                                          QStringLiteral("Holding for %1 of %2"))
                                   .arg(duration(p.holdMs), duration(p.neededMs))) +
               byLanguage(QStringLiteral(" \u00b7 Zeitlimit in %1"),
                          QStringLiteral(" \u00b7 timeout in %1"))
                   .arg(duration(std::max(0LL, p.timeoutMs - p.elapsedMs)));
    else if (step.kind == STEP_PAUSE)
        text = byLanguage(QStringLiteral("Pause %1 von %2"), QStringLiteral("Pause %1 of %2"))
                   .arg(duration(p.elapsedMs), duration(p.neededMs));
    else
        text = QString::fromLatin1(step.text);
    m_progressText->setText(QStringLiteral("%1 %2: %3")
                                .arg(byLanguage(QStringLiteral("Zeile"), QStringLiteral("Line")))
                                .arg(step.line)
                                .arg(text));
}

void RunDialog::holdCyclicSending(bool hold) {
    if (hold == m_holding) return;
    m_holding = hold;
    dispatch::holdTicks(hold);
}

bool RunDialog::usesPanelPort() const {
    int port = 0;
    GetCtrlVal(main_panel, RING_COM, &port);
    for (int i = 0; i < m_sequence->count; i++)
        if (m_sequence->steps[i].kind == STEP_CHAMBER && m_sequence->steps[i].port == port)
            return true;
    return false;
}

void RunDialog::began(const Run *, int index, void *dialog) {
    auto *self = static_cast<RunDialog *>(dialog);
    self->m_model->setCurrent(index);
    self->m_table->scrollTo(self->m_model->index(index, 0));
}

void RunDialog::ended(const Run *run, const StepResult *result, void *dialog) {
    auto *self = static_cast<RunDialog *>(dialog);
    self->m_model->setCurrent(-1);
    self->m_model->setResult(result);
    if (self->m_reportReady) junit_add(self->m_junit.get(), run->sequence, result);
}

void RunDialog::alarmed(const Run *, const AlarmEvent *event, void *dialog) {
    auto *self = static_cast<RunDialog *>(dialog);
    const QString line =
        QStringLiteral("%1 %2 com%3:%4 %5 (%6)")
            .arg(QDateTime::fromMSecsSinceEpoch(event->ms).toString(QStringLiteral("HH:mm:ss")),
                 event->kind == ALARM_RAISED
                     ? byLanguage(QStringLiteral("Alarm"), QStringLiteral("alarm"))
                     : byLanguage(QStringLiteral("aufgehoben"), QStringLiteral("cleared")))
            .arg(event->port)
            .arg(event->address)
            .arg(QString::fromLatin1(program_alarms()->rules[event->rule].condition.text),
                 QString::fromLatin1(event->detail));
    auto *item = new QListWidgetItem(line, self->m_alarmList);
    item->setForeground(event->kind == ALARM_RAISED ? QColor(0xc6, 0x28, 0x28)
                                                    : QColor(0x2e, 0x7d, 0x32));
    self->m_alarmList->show();
    self->m_alarmList->scrollToBottom();
    if (self->m_reportReady) {
        const QByteArray note = ("alarm " + line.section(QLatin1Char(' '), 1)).toLatin1();
        junit_note(self->m_junit.get(), note.constData());
    }
}

void RunDialog::chooseFile() {
    QFileDialog dialog(
        this, byLanguage(QStringLiteral("Ablauf \u00f6ffnen"), QStringLiteral("Open sequence")));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {byLanguage(QStringLiteral("Abl\u00e4ufe (*.seq *.txt)"),
                    QStringLiteral("Sequences (*.seq *.txt)")),
         byLanguage(QStringLiteral("Alle Dateien (*)"), QStringLiteral("All files (*)"))});
    dialog.setDirectory(Settings::folder(QStringLiteral("run"), QDir::currentPath()));
    QString chosen;
    dispatch::guarded([&] {
        if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedFiles().value(0);
    });
    if (chosen.isEmpty()) return;
    Settings::rememberFolder(QStringLiteral("run"), chosen);
    load(chosen);
}

void RunDialog::chooseReport() {
    QFileDialog dialog(
        this, byLanguage(QStringLiteral("Bericht speichern"), QStringLiteral("Save report")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({byLanguage(QStringLiteral("JUnit-Berichte (*.xml)"),
                                      QStringLiteral("JUnit reports (*.xml)"))});
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    dialog.setDirectory(Settings::folder(QStringLiteral("run"), QDir::currentPath()));
    dialog.selectFile(QFileInfo(m_path).completeBaseName() + QStringLiteral(".xml"));
    QString chosen;
    dispatch::guarded([&] {
        if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedFiles().value(0);
    });
    if (chosen.isEmpty()) return;
    Settings::rememberFolder(QStringLiteral("run"), chosen);
    const int error = saveReport(chosen);
    m_status->setText(
        error == 0 ? byLanguage(QStringLiteral("Bericht gespeichert: %1"),
                                QStringLiteral("Report saved: %1"))
                         .arg(QDir::toNativeSeparators(chosen))
                   : byLanguage(QStringLiteral("Der Bericht %1 kann nicht geschrieben werden: %2"),
                                QStringLiteral("The report %1 cannot be written: %2"))
                         .arg(QDir::toNativeSeparators(chosen),
                              QString::fromLocal8Bit(std::strerror(-error))));
}

int RunDialog::saveReport(const QString &path) {
    if (!m_reportReady || m_running) return -EINVAL;
    const int error = junit_write(m_junit.get(), m_run.get(), QFile::encodeName(path).constData());
    m_reportReady = false; // the cases were handed over with the report
    m_save->setEnabled(false);
    return error;
}
