// The line monitor's window.
#include "ui/qt/line_monitor.h"

#include "record/monitor_store.h"
#include "record/record.h"
#include "ui/qt/byte_marks.h"
#include "ui/qt/language.h"
#include "ui/qt/monitor_filter.h"
#include "ui/qt/monitor_model.h"
#include "ui/qt/settings.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int refreshMs = 100;

// Widths of the columns in characters of the view's font, at least their header's: the hex of an
// "A0" answer fits, and the outcome takes what is left.
constexpr int columnChars[MONITOR_COLUMNS] = {13, 11, 6, 6, 6, 54, 20, 48};

} // namespace

LineMonitor::LineMonitor(MonitorModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(model), m_statistics(new QLabel(this)),
      m_table(new QTableView(this)), m_pause(new QPushButton(this)),
      m_filter(new MonitorFilter(this)), m_chamberChoice(new QComboBox(this)) {
    setWindowTitle(byLanguage(QStringLiteral("Leitungsmonitor"), QStringLiteral("Line monitor")));
    m_statistics->setObjectName(QStringLiteral("statistics"));
    m_statistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statistics->setWordWrap(true);

    m_filter->setSourceModel(model);
    m_table->setModel(m_filter);
    // one chamber's exchanges, or every exchange
    m_chamberChoice->addItem(
        byLanguage(QStringLiteral("alle Kammern"), QStringLiteral("all chambers")), 0);
    // the chambers that came since: after each exchange taken, and none after a clearing
    const auto chambersCame = [this] {
        const QList<int> chambers = m_model->chambers();
        if (chambers.isEmpty() && m_chamberChoice->count() > 1) {
            m_chamberChoice->setCurrentIndex(0);
            while (m_chamberChoice->count() > 1) m_chamberChoice->removeItem(1);
        }
        for (qsizetype i = m_chamberChoice->count() - 1; i < chambers.size(); i++)
            m_chamberChoice->addItem(
                QStringLiteral("com%1:%2").arg(chambers[i] / 256).arg(chambers[i] % 256),
                chambers[i]);
    };
    chambersCame();
    connect(model, &QAbstractItemModel::rowsInserted, this, chambersCame);
    connect(model, &QAbstractItemModel::modelReset, this, chambersCame);
    connect(m_chamberChoice, &QComboBox::currentIndexChanged, this, [this] {
        m_filter->setChamber(m_chamberChoice->currentData().toInt());
        refresh();
    });
    m_table->setAccessibleName(
        byLanguage(QStringLiteral("Austausche"), QStringLiteral("Exchanges")));
    m_table->setItemDelegate(new ByteMarks(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // fixed row heights and column widths: a new row never lays out the others again
    QHeaderView *rows = m_table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const int charWidth = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    int tableWidth = 0;
    for (int column = 0; column < MONITOR_COLUMNS; column++) {
        const QString name = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const int width = std::max(columnChars[column] * charWidth,
                                   columns->fontMetrics().horizontalAdvance(name) + 3 * charWidth);
        m_table->setColumnWidth(column, width);
        tableWidth += width;
    }

    auto *copy = new QAction(m_table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { copySelection(); });
    m_table->addAction(copy);

    m_pause->setCheckable(true);
    m_pause->setText(byLanguage(QStringLiteral("&Anhalten"), QStringLiteral("&Pause")));
    connect(m_pause, &QPushButton::toggled, this, [this](bool on) { togglePause(on); });
    auto *clear =
        new QPushButton(byLanguage(QStringLiteral("&Leeren"), QStringLiteral("C&lear")), this);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_model->clear();
        refresh();
    });
    auto *copyButton =
        new QPushButton(byLanguage(QStringLiteral("&Kopieren"), QStringLiteral("&Copy")), this);
    connect(copyButton, &QPushButton::clicked, this, [this] { copySelection(); });
    auto *saveButton = new QPushButton(
        byLanguage(QStringLiteral("&Speichern \u2026"), QStringLiteral("&Save \u2026")), this);
    connect(saveButton, &QPushButton::clicked, this, [this] { chooseFile(); });

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_pause, clear, copyButton, saveButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_chamberChoice);
    top->addWidget(m_statistics, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(refreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { refresh(); });
    // rows that came since the last refresh are not scrolled to yet: the view follows on
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_table->verticalScrollBar();
        if (!m_refresh.isActive()) m_follow = bar->value() == bar->maximum();
    });
    // after each exchange, taken or (paused) missed; the model has heard of it before
    m_listener = add_exchange_listener(
        [](const ExchangeRecord *, void *monitor) {
            QTimer &refresh = static_cast<LineMonitor *>(monitor)->m_refresh;
            if (!refresh.isActive()) refresh.start();
        },
        this);
    int width = tableWidth + 6 * charWidth; // no wider than the screen, which then scrolls
    if (const QScreen *screen = this->screen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    resize(width, 30 * rows->defaultSectionSize());
    refresh();
}

LineMonitor::~LineMonitor() {
    remove_exchange_listener(m_listener);
}

void LineMonitor::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_follow) m_table->scrollToBottom(); // now that the view has its size
}

void LineMonitor::refresh() {
    m_statistics->setText(m_model->statisticsText(m_filter->chamber()));
    if (m_follow) m_table->scrollToBottom();
}

void LineMonitor::togglePause(bool paused) {
    m_model->setPaused(paused);
    m_pause->setText(paused ? byLanguage(QStringLiteral("&Fortsetzen"), QStringLiteral("&Resume"))
                            : byLanguage(QStringLiteral("&Anhalten"), QStringLiteral("&Pause")));
    refresh();
}

void LineMonitor::copySelection() {
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &row : rows) lines << m_model->rowText(m_filter->mapToSource(row).row());
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

// The dialog is window-modal to the monitor without an event loop of its own: exchanges go on
// while the operator chooses.
void LineMonitor::chooseFile() {
    const QString folder = Settings::folder(QStringLiteral("lineMonitor"));
    auto *dialog = new QFileDialog(
        this,
        byLanguage(QStringLiteral("Leitungsmonitor speichern"),
                   QStringLiteral("Save line monitor")),
        folder, byLanguage(QStringLiteral("Text (*.txt)"), QStringLiteral("Text (*.txt)")));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->selectFile(QStringLiteral("kelvra-line.txt"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        Settings::rememberFolder(QStringLiteral("lineMonitor"), path);
        save(path);
    });
    dialog->open();
}

// The statistics, the column names and every row kept, as UTF-8 text.
void LineMonitor::save(const QString &path) {
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (written) {
        QByteArray text = (m_model->statisticsText(m_filter->chamber()) + QLatin1Char('\n') +
                           m_model->headerText() + QLatin1Char('\n'))
                              .toUtf8();
        const int rows = m_filter->rowCount();
        for (int row = 0; row < rows && written; row++) {
            text +=
                m_model->rowText(m_filter->mapToSource(m_filter->index(row, 0)).row()).toUtf8() +
                '\n';
            if (text.size() > (1 << 16) || row + 1 == rows) {
                written = file.write(text) == text.size();
                text.clear();
            }
        }
        if (written && !text.isEmpty()) written = file.write(text) == text.size();
        written = written && file.commit();
    }
    if (written) return;
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                byLanguage(QStringLiteral("%1 kann nicht geschrieben werden: %2"),
                                           QStringLiteral("Cannot write %1: %2"))
                                    .arg(QDir::toNativeSeparators(path), file.errorString()),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
