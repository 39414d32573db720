// The chambers window.
#include "ui/qt/chambers_window.h"

#include "ui/lab_file.h"
#include "ui/qt/chamber_dialog.h"
#include "ui/qt/chamber_model.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/settings.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

ChambersWindow::ChambersWindow(ChamberModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(model), m_sorted(new QSortFilterProxyModel(this)),
      m_table(new QTableView(this)), m_poll(new QPushButton(this)) {
    setWindowTitle(byLanguage(QStringLiteral("Kammern"), QStringLiteral("Chambers")));
    m_sorted->setSourceModel(model);
    m_sorted->setSortRole(ChamberModel::SortRole);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(ChamberModel::Port, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        const int row = modelRow(index.row());
        if (row < 0 || !onChamberActivated) return;
        const LabChamber &c = m_model->lab().chamber[row];
        onChamberActivated(c.port, c.address);
    });

    m_poll->setCheckable(true);
    connect(m_poll, &QPushButton::clicked, this, [this](bool on) {
        if (on)
            m_model->startPolling();
        else
            m_model->stopPolling();
        showPolling(m_model->polling());
    });
    m_model->onPollingChanged = [this](bool on) { showPolling(on); };
    const auto button = [this](const QString &german, const QString &english, auto slot) {
        auto *b = new QPushButton(byLanguage(german, english), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_poll);
    buttons->addWidget(button(QStringLiteral("&Hinzuf\u00fcgen\u2026"),
                              QStringLiteral("&Add\u2026"), [this] { addChamber(); }));
    buttons->addWidget(button(QStringLiteral("&Entfernen"), QStringLiteral("Re&move"),
                              [this] { removeSelected(); }));
    buttons->addWidget(button(QStringLiteral("&Umbenennen"), QStringLiteral("Re&name"),
                              [this] { renameSelected(); }));
    buttons->addStretch(1);
    buttons->addWidget(button(QStringLiteral("Labordatei \u00f6&ffnen\u2026"),
                              QStringLiteral("&Open lab file\u2026"), [this] { openLabFile(); }));
    buttons->addWidget(button(QStringLiteral("Labordatei &speichern\u2026"),
                              QStringLiteral("&Save lab file\u2026"), [this] { saveLabFile(); }));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    showPolling(m_model->polling());
    // widths in characters, at least their header's: a row stays one line
    m_table->setWordWrap(false);
    const int rowHeight = m_table->fontMetrics().height() + 6;
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    constexpr int columnChars[ChamberModel::Columns] = {12, 6, 7, 18, 20, 6, 30, 11, 11};
    const int charWidth = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    int width = 0;
    for (int column = 0; column < ChamberModel::Columns; column++) {
        const QString name = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const int fit = std::max(
            columnChars[column] * charWidth,
            m_table->horizontalHeader()->fontMetrics().horizontalAdvance(name) + 3 * charWidth);
        m_table->setColumnWidth(column, fit);
        width += fit;
    }
    resize(width + 4 * charWidth, 16 * rowHeight);
}

// The model may outlive the window, or go first when the program ends.
ChambersWindow::~ChambersWindow() {
    if (m_model) m_model->onPollingChanged = nullptr;
}

void ChambersWindow::showPolling(bool polling) {
    m_poll->setChecked(polling);
    m_poll->setText(
        polling ? byLanguage(QStringLiteral("Abfrage &stoppen"), QStringLiteral("S&top polling"))
                : byLanguage(QStringLiteral("Abfrage &starten"), QStringLiteral("S&tart polling")));
}

int ChambersWindow::modelRow(int viewRow) const {
    return m_sorted->mapToSource(m_sorted->index(viewRow, 0)).row();
}

int ChambersWindow::selectedRow() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : modelRow(rows.first().row());
}

void ChambersWindow::warn(const QString &text) {
    dispatch::guarded([&] { QMessageBox::warning(this, windowTitle(), text); });
}

void ChambersWindow::addChamber() {
    ChamberDialog dialog(this);
    int accepted = 0;
    dispatch::guarded([&] { accepted = dialog.exec(); });
    LabChamber chamber;
    if (accepted != QDialog::Accepted || !dialog.chamber(&chamber)) return;
    if (!m_model->addChamber(chamber))
        warn(byLanguage(QStringLiteral("com%1:%2 steht schon in der Liste, oder sie ist voll."),
                        QStringLiteral("com%1:%2 is listed already, or the list is full."))
                 .arg(chamber.port)
                 .arg(chamber.address));
}

void ChambersWindow::removeSelected() {
    m_model->removeChamber(selectedRow());
}

void ChambersWindow::renameSelected() {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    const QModelIndex name = m_sorted->index(rows.first().row(), ChamberModel::Name);
    m_table->setCurrentIndex(name);
    m_table->edit(name);
}

void ChambersWindow::openLabFile() {
    QString path;
    dispatch::guarded([&] {
        path = QFileDialog::getOpenFileName(
            this,
            byLanguage(QStringLiteral("Labordatei \u00f6ffnen"), QStringLiteral("Open lab file")),
            Settings::folder(QStringLiteral("lab")),
            byLanguage(QStringLiteral("Labordateien (*.json)"),
                       QStringLiteral("Lab files (*.json)")));
    });
    if (path.isEmpty()) return;
    Settings::rememberFolder(QStringLiteral("lab"), path);
    auto lab = std::make_unique<Lab>();
    char error[LAB_ERROR_SIZE];
    if (lab_file_read(QFile::encodeName(path).constData(), lab.get(), error, sizeof error) != 0)
        warn(QString::fromUtf8(error));
    else
        m_model->setLab(*lab);
}

void ChambersWindow::saveLabFile() {
    QString path;
    dispatch::guarded([&] {
        path = QFileDialog::getSaveFileName(
            this,
            byLanguage(QStringLiteral("Labordatei speichern"), QStringLiteral("Save lab file")),
            QDir(Settings::folder(QStringLiteral("lab"))).filePath(QStringLiteral("lab.json")),
            byLanguage(QStringLiteral("Labordateien (*.json)"),
                       QStringLiteral("Lab files (*.json)")));
    });
    if (path.isEmpty()) return;
    Settings::rememberFolder(QStringLiteral("lab"), path);
    char error[LAB_ERROR_SIZE];
    const QByteArray file = QFile::encodeName(path);
    if (lab_file_write(file.constData(), &m_model->lab(), error, sizeof error) != 0)
        warn(QString::fromUtf8(error));
}
