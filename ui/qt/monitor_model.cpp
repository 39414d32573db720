// The line monitor's rows and statistics, formatted by the store and the words in the core.
#include "ui/qt/monitor_model.h"

#include "record/monitor_store.h"
#include "record/record.h"
#include "record/stats.h"
#include "record/words.h"
#include "ui/qt/language.h"

#include <QColor>
#include <QFontDatabase>
#include <QPoint>

namespace {

enum {
    CELL_SIZE = 4 * MONITOR_RECEIVED_KEPT,
    LINE_SIZE = 3 * CELL_SIZE,
    CHAMBERS_KEPT = 640, // 20 ports of 32 addresses: chambers with statistics of their own
};

bool bytesColumn(int column) {
    return column == MONITOR_HEX || column == MONITOR_TEXT;
}

} // namespace

MonitorModel::MonitorModel(QObject *parent)
    : QAbstractTableModel(parent), m_store(std::make_unique_for_overwrite<MonitorStore>()),
      m_stats(std::make_unique<ExchangeStats>()), m_chamberStats(nullptr, stats_free),
      m_bytesFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
    // the store's pool is left unzeroed: memory is taken as the exchanges come
    m_store->numbered = m_store->poolEnd = 0;
    monitor_reset(m_store.get());
    stats_reset(m_stats.get());
    m_listener = add_exchange_listener(&MonitorModel::heard, this);
}

MonitorModel::~MonitorModel() {
    remove_exchange_listener(m_listener);
}

void MonitorModel::heard(const ExchangeRecord *record, void *context) {
    static_cast<MonitorModel *>(context)->add(record);
}

int MonitorModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 2 * monitor_count(m_store.get());
}

int MonitorModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : MONITOR_COLUMNS;
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row(), column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        if (role == Qt::ToolTipRole && column != MONITOR_OUTCOME && !bytesColumn(column)) return {};
        char text[CELL_SIZE];
        monitor_cell(m_store.get(), row, column, text, sizeof text);
        return QString::fromLatin1(text);
    }
    case Qt::FontRole:
        if (bytesColumn(column)) return m_bytesFont;
        return {};
    case Qt::TextAlignmentRole:
        if (column == MONITOR_SINCE || column == MONITOR_ADDRESS)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole: {
        const MonitorEntry *entry = monitor_entry(m_store.get(), row / 2);
        if (column == MONITOR_OUTCOME && entry && row % 2 == MONITOR_RX &&
            entry->code != RECEIVE_OK)
            return QColor(0xC0, 0x20, 0x20);
        return {};
    }
    case ChamberRole: {
        const MonitorEntry *entry = monitor_entry(m_store.get(), row / 2);
        return entry ? chamberKey(entry->port, entry->address) : 0;
    }
    case MarkRole: {
        const int mark = monitor_mark(m_store.get(), row / 2, row % 2);
        if (mark < 0 || !bytesColumn(column)) return {};
        // two hex digits and a blank per byte, or one character per byte
        return column == MONITOR_HEX ? QPoint(3 * mark, 2) : QPoint(mark, 1);
    }
    default: return {};
    }
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case MONITOR_TIME: return byLanguage(QStringLiteral("Zeit"), QStringLiteral("Time"));
    case MONITOR_SINCE:
        return byLanguage(QStringLiteral("nach Senden"), QStringLiteral("After write"));
    case MONITOR_DIRECTION: return byLanguage(QStringLiteral("Richtung"), QStringLiteral("Dir."));
    case MONITOR_PORT: return QStringLiteral("Port");
    case MONITOR_ADDRESS: return byLanguage(QStringLiteral("Adresse"), QStringLiteral("Address"));
    case MONITOR_HEX: return QStringLiteral("Hex");
    case MONITOR_TEXT: return QStringLiteral("Text");
    case MONITOR_OUTCOME: return byLanguage(QStringLiteral("Ergebnis"), QStringLiteral("Outcome"));
    default: return {};
    }
}

void MonitorModel::add(const ExchangeRecord *record) {
    if (m_paused) {
        m_missed++;
        return;
    }
    const double rtt = record->answered ? record->rttMs : -1;
    stats_add(m_stats.get(), record->received.code, rtt);
    const int chamber = chamberKey(record->port & 0xFF, record->address);
    if (!m_chamberStats) m_chamberStats.reset(stats_new_array(CHAMBERS_KEPT));
    if (!m_chamberIndex.contains(chamber) && m_chamberOrder.size() < CHAMBERS_KEPT) {
        m_chamberIndex[chamber] = int(m_chamberOrder.size());
        m_chamberOrder.append(chamber);
    }
    const auto found = m_chamberIndex.find(chamber);
    if (m_chamberStats && found != m_chamberIndex.end())
        stats_add(&m_chamberStats.get()[found->second], record->received.code, rtt);
    if (const int drop = monitor_room(m_store.get(), record); drop > 0) {
        beginRemoveRows(QModelIndex(), 0, 2 * drop - 1);
        monitor_drop(m_store.get(), drop);
        endRemoveRows();
    }
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row + 1);
    monitor_add(m_store.get(), record);
    endInsertRows();
}

void MonitorModel::setPaused(bool paused) {
    m_paused = paused;
}

void MonitorModel::clear() {
    beginResetModel();
    monitor_reset(m_store.get());
    stats_reset(m_stats.get());
    m_chamberStats.reset();
    m_chamberIndex.clear();
    m_chamberOrder.clear();
    m_missed = 0;
    endResetModel();
}

QString MonitorModel::rowText(int row) const {
    char text[LINE_SIZE];
    monitor_row_text(m_store.get(), row, text, sizeof text);
    return QString::fromLatin1(text);
}

QString MonitorModel::headerText() const {
    QStringList names;
    for (int column = 0; column < MONITOR_COLUMNS; column++)
        names << headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    return names.join(QLatin1Char('\t'));
}

QString MonitorModel::statisticsText(int chamber) const {
    char text[512];
    const ExchangeStats *stats = m_stats.get();
    if (chamber != 0) {
        const auto found = m_chamberIndex.find(chamber);
        static const ExchangeStats none{};
        stats = found != m_chamberIndex.end() && m_chamberStats
                    ? &m_chamberStats.get()[found->second]
                    : &none;
    }
    stats_words(stats, text, sizeof text);
    QString line = QString::fromLatin1(text);
    if (m_paused)
        line += byLanguage(QStringLiteral(" \u00b7 angehalten"), QStringLiteral(" \u00b7 paused"));
    if (m_missed > 0)
        line += byLanguage(QStringLiteral(" \u00b7 %1 w\u00e4hrend der Pause nicht aufgenommen"),
                           QStringLiteral(" \u00b7 %1 not recorded while paused"))
                    .arg(m_missed);
    return line;
}
