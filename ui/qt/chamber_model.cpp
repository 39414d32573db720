// The chambers' table over the lab's list and their statuses.
#include "ui/qt/chamber_model.h"

#include "record/chamber_status.h"
#include "record/record.h"
#include "record/words.h"
#include "ui/qt/lab_poller.h"
#include "ui/qt/lab_settings.h"
#include "ui/qt/language.h"

#include <QColor>
#include <QDateTime>

#include <cstdio>

namespace {

QString number(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (!Fremdsprache) text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString stateText(int state) {
    switch (state) {
    case CHAMBER_ANSWERING:
        return byLanguage(QStringLiteral("antwortet"), QStringLiteral("answering"));
    case CHAMBER_SILENT:
        return byLanguage(QStringLiteral("antwortet nicht"), QStringLiteral("not answering"));
    case CHAMBER_REJECTED:
        return byLanguage(QStringLiteral("Antworten verworfen"),
                          QStringLiteral("answers rejected"));
    default:
        return byLanguage(QStringLiteral("noch nicht gefragt"), QStringLiteral("not asked yet"));
    }
}

QColor stateColour(int state) {
    switch (state) {
    case CHAMBER_ANSWERING: return QColor(0x2c, 0xa0, 0x2c);
    case CHAMBER_SILENT: return QColor(0xd6, 0x27, 0x28);
    case CHAMBER_REJECTED: return QColor(0xff, 0x7f, 0x0e);
    default: return QColor(0x99, 0x99, 0x99);
    }
}

// "0: 23,5 / 25,0" for each channel its commands poll, in their order; then any other it
// answered for.
QString valuesText(const LabChamber &chamber, const ChamberStatus *status) {
    if (!status) return {};
    QStringList parts;
    QString seen;
    const auto add = [&](const ChannelValues *v) {
        if (!v || seen.contains(QLatin1Char(v->channel))) return;
        seen += QLatin1Char(v->channel);
        parts << QStringLiteral("%1: %2 / %3")
                     .arg(QString(QLatin1Char(v->channel)),
                          v->hasActual ? number(v->actual, 1) : QStringLiteral("\u2013"),
                          v->hasSet ? number(v->set, 1) : QStringLiteral("\u2013"));
    };
    for (int k = 0; k < chamber.commands; k++)
        if (chamber.command[k][0] == 'A') add(chamber_channel(status, chamber.command[k][1]));
    for (int c = 0; c < status->channels; c++) add(&status->values[c]);
    return parts.join(QStringLiteral("   "));
}

QString countsText(const ExchangeStats *stats) {
    if (!stats) return {};
    QStringList parts;
    for (int code = 0; code < RECEIVE_OUTCOMES; code++)
        if (stats->byOutcome[code] > 0)
            parts << QStringLiteral("%1 %2")
                         .arg(QString::fromLatin1(outcome_label(code)))
                         .arg(stats->byOutcome[code]);
    return parts.join(QStringLiteral(" \u00b7 "));
}

double ageSeconds(const ChamberStatus *status) {
    if (!status || status->lastValidMs == 0) return -1;
    return double(QDateTime::currentMSecsSinceEpoch() - status->lastValidMs) / 1000;
}

} // namespace

ChamberModel::ChamberModel(bool remember, QObject *parent)
    : QAbstractTableModel(parent), m_lab(std::make_unique<Lab>()),
      m_statuses(std::make_unique<ChamberStatuses>()), m_poller(new LabPoller(this)),
      m_remember(remember) {
    lab_clear(m_lab.get());
    chamber_statuses_init(m_statuses.get());
    m_poller->onPollingChanged = [this](bool on) {
        if (onPollingChanged) onPollingChanged(on);
    };
    m_listener = add_exchange_listener(&ChamberModel::heard, this);
    m_ages.setInterval(1000);
    connect(&m_ages, &QTimer::timeout, this, [this] {
        // cppcheck-suppress [indexCalled, nullPointer] ; the model's own index(), not the C
        // library's
        if (rowCount() > 0) emit dataChanged(index(0, Age), index(rowCount() - 1, Age));
    });
    m_ages.start();
}

ChamberModel::~ChamberModel() {
    remove_exchange_listener(m_listener);
    delete m_poller; // waits for the exchanges in progress, before the statuses go
    m_poller = nullptr;
    chamber_statuses_clear(m_statuses.get());
}

void ChamberModel::heard(const ExchangeRecord *record, void *model) {
    static_cast<ChamberModel *>(model)->take(record);
}

void ChamberModel::take(const ExchangeRecord *record) {
    if (chamber_statuses_take(m_statuses.get(), record) < 0) return;
    const int row = lab_find(m_lab.get(), record->port, record->address);
    // cppcheck-suppress indexCalled ; the model's own index(), not the C library's
    if (row >= 0) emit dataChanged(index(row, State), index(row, Columns - 1));
}

int ChamberModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_lab->count;
}

int ChamberModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

const ChamberStatus *ChamberModel::status(int row) const {
    if (row < 0 || row >= m_lab->count) return nullptr;
    const LabChamber &c = m_lab->chamber[row];
    const int found = chamber_statuses_find(m_statuses.get(), c.port, c.address);
    return found >= 0 ? &m_statuses->chamber[found] : nullptr;
}

QVariant ChamberModel::display(const LabChamber &chamber, const ChamberStatus *status,
                               int column) const {
    const ExchangeStats *stats = status ? status->stats : nullptr;
    switch (column) {
    case Name: return QString::fromUtf8(chamber.name);
    case Port: return QStringLiteral("com%1").arg(chamber.port);
    case Address: return chamber.address;
    case State: return stateText(status ? chamber_state(status) : CHAMBER_UNASKED);
    case Values: return valuesText(chamber, status);
    case Age: {
        const double age = ageSeconds(status);
        return age < 0 ? QString() : QStringLiteral("%1 s").arg(qRound64(age));
    }
    case Counts: return countsText(stats);
    case Median:
    case Percentile95: {
        const double ms = stats ? stats_rtt_percentile(stats, column == Median ? 0.5 : 0.95) : -1;
        return ms < 0 ? QString() : QStringLiteral("%1 ms").arg(number(ms, 1));
    }
    default: return {};
    }
}

QVariant ChamberModel::sortValue(const LabChamber &chamber, const ChamberStatus *status,
                                 int column) const {
    const ExchangeStats *stats = status ? status->stats : nullptr;
    switch (column) {
    case Port: return chamber.port * 100 + chamber.address;
    case Address: return chamber.address;
    case State: return status ? chamber_state(status) : CHAMBER_UNASKED;
    case Age: return ageSeconds(status);
    case Counts: return stats ? stats->exchanges - stats->byOutcome[RECEIVE_OK] : 0;
    case Median:
    case Percentile95:
        return stats ? stats_rtt_percentile(stats, column == Median ? 0.5 : 0.95) : -1;
    default: return display(chamber, status, column);
    }
}

QVariant ChamberModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_lab->count) return {};
    const LabChamber &chamber = m_lab->chamber[index.row()];
    const ChamberStatus *s = status(index.row());
    switch (role) {
    case Qt::DisplayRole: return display(chamber, s, index.column());
    case Qt::EditRole: return index.column() == Name ? display(chamber, s, Name) : QVariant();
    case SortRole: return sortValue(chamber, s, index.column());
    case Qt::DecorationRole:
        if (index.column() == State) return stateColour(s ? chamber_state(s) : CHAMBER_UNASKED);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == State && s && !s->lastAnswered) {
            Verdict verdict = {s->lastCode, -1, 0, s->address, 0, nullptr};
            char text[256];
            outcome_words(&verdict, text, sizeof text);
            return QString::fromLatin1(text);
        }
        if (index.column() == Name) {
            QStringList commands;
            for (int k = 0; k < chamber.commands; k++)
                commands << QString::fromLatin1(chamber.command[k]);
            return byLanguage(QStringLiteral("Befehle %1 alle %2 s"),
                              QStringLiteral("commands %1 every %2 s"))
                .arg(commands.join(QLatin1Char(',')), number(chamber.intervalMs / 1000.0, 1));
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == Address || index.column() >= Age)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default: return {};
    }
}

bool ChamberModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || index.column() != Name) return false;
    renameChamber(index.row(), value.toString());
    return true;
}

Qt::ItemFlags ChamberModel::flags(const QModelIndex &index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == Name) flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ChamberModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Name: return QStringLiteral("Name");
    case Port: return QStringLiteral("Port");
    case Address: return byLanguage(QStringLiteral("Adresse"), QStringLiteral("Address"));
    case State: return byLanguage(QStringLiteral("Zustand"), QStringLiteral("State"));
    case Values:
        return byLanguage(QStringLiteral("Kanal: Ist / Soll"),
                          QStringLiteral("Channel: actual / set"));
    case Age: return byLanguage(QStringLiteral("Alter"), QStringLiteral("Age"));
    case Counts: return byLanguage(QStringLiteral("Ergebnisse"), QStringLiteral("Outcomes"));
    case Median: return byLanguage(QStringLiteral("Umlauf Median"), QStringLiteral("RTT median"));
    case Percentile95: return byLanguage(QStringLiteral("Umlauf 95 %"), QStringLiteral("RTT 95 %"));
    default: return {};
    }
}

QString ChamberModel::label(int port, int address) const {
    const int row = lab_find(m_lab.get(), port, address);
    LabChamber unnamed;
    lab_chamber_init(&unnamed, port, address);
    char text[LAB_LABEL_SIZE];
    lab_chamber_label(row >= 0 ? &m_lab->chamber[row] : &unnamed, text, sizeof text);
    return QString::fromUtf8(text);
}

void ChamberModel::setName(LabChamber *chamber, const QString &name) {
    QString kept = name.trimmed();
    QByteArray text = kept.toUtf8();
    for (; text.size() >= LAB_NAME_SIZE; text = kept.toUtf8()) kept.chop(1); // whole characters
    std::snprintf(chamber->name, LAB_NAME_SIZE, "%s", text.constData());
}

void ChamberModel::restore() {
    // cppcheck-suppress shadowFunction ; the list read back; lab() is not needed here
    auto lab = std::make_unique<Lab>();
    lab_clear(lab.get());
    if (!m_remember || !loadLabSettings(lab.get())) return;
    beginResetModel();
    *m_lab = *lab;
    endResetModel();
}

void ChamberModel::setLab(const Lab &lab) {
    beginResetModel();
    *m_lab = lab;
    endResetModel();
    changed();
}

bool ChamberModel::addChamber(const LabChamber &chamber) {
    return addChambers({chamber}) == 1;
}

int ChamberModel::addChambers(const QList<LabChamber> &chambers) {
    int added = 0;
    for (const LabChamber &chamber : chambers) {
        if (m_lab->count == LAB_MAX_CHAMBERS ||
            lab_find(m_lab.get(), chamber.port, chamber.address) >= 0)
            continue;
        beginInsertRows(QModelIndex(), m_lab->count, m_lab->count);
        lab_add(m_lab.get(), &chamber);
        endInsertRows();
        added++;
    }
    if (added > 0) changed(); // remembered and polled anew once for all of them
    return added;
}

void ChamberModel::removeChamber(int row) {
    if (row < 0 || row >= m_lab->count) return;
    beginRemoveRows(QModelIndex(), row, row);
    lab_remove(m_lab.get(), row);
    endRemoveRows();
    changed();
}

void ChamberModel::renameChamber(int row, const QString &name) {
    if (row < 0 || row >= m_lab->count) return;
    setName(&m_lab->chamber[row], name);
    // cppcheck-suppress indexCalled ; the model's own index(), not the C library's
    emit dataChanged(index(row, Name), index(row, Name));
    if (m_remember) saveLabSettings(*m_lab);
}

void ChamberModel::changed() {
    if (m_remember) saveLabSettings(*m_lab);
    if (m_poller->polling()) startPolling();
}

void ChamberModel::startPolling() {
    if (m_lab->count == 0) {
        stopPolling();
        return;
    }
    m_poller->start(*m_lab);
}

void ChamberModel::stopPolling() {
    m_poller->stop();
}

bool ChamberModel::polling() const {
    return m_poller->polling();
}
