// The steps of a run and their verdicts, as a table.
#include "ui/qt/run_step_model.h"

#include "run/runner.h"
#include "ui/qt/language.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QFont>

RunStepModel::RunStepModel(QObject *parent) : QAbstractTableModel(parent) {}

int RunStepModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() || !m_sequence ? 0 : m_sequence->count;
}

int RunStepModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : COLUMNS;
}

void RunStepModel::setSequence(const Sequence *sequence) {
    beginResetModel();
    m_sequence = sequence;
    m_rows.assign(sequence ? size_t(sequence->count) : 0, Row());
    m_current = -1;
    endResetModel();
}

void RunStepModel::clearResults() {
    beginResetModel();
    m_rows.assign(m_rows.size(), Row());
    m_current = -1;
    endResetModel();
}

void RunStepModel::setCurrent(int index) {
    const int before = m_current;
    m_current = index;
    for (int row : {before, index})
        if (row >= 0 && row < rowCount())
            emit dataChanged(this->index(row, 0), this->index(row, COLUMNS - 1));
}

void RunStepModel::setResult(const StepResult *result) {
    if (result->index < 0 || result->index >= rowCount()) return;
    Row &row = m_rows[size_t(result->index)];
    row.verdict = result->verdict;
    row.iteration = QString::fromLatin1(result->iteration);
    row.time = QDateTime::fromMSecsSinceEpoch(result->endMs).toString(QStringLiteral("HH:mm:ss"));
    row.detail = QString::fromLatin1(result->message);
    row.exchanges = QString::fromLatin1(result->out).trimmed();
    // cppcheck-suppress indexCalled ; the model's own index(), not the C library's
    emit dataChanged(index(result->index, 0), index(result->index, COLUMNS - 1));
}

QVariant RunStepModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Step &step = m_sequence->steps[index.row()];
    const Row &row = m_rows[size_t(index.row())];
    const bool judged = step_has_verdict(&step) != 0;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case LINE: return step.line;
        case STEP: return QString::fromLatin1(step.text);
        case VERDICT:
            if (index.row() == m_current)
                return byLanguage(QStringLiteral("l\u00e4uft \u2026"),
                                  QStringLiteral("running \u2026"));
            if (!judged || row.verdict == VERDICT_NONE) return QString();
            return QString::fromLatin1(verdict_name(row.verdict)) +
                   (row.iteration.isEmpty() ? QString()
                                            : QStringLiteral(" [%1]").arg(row.iteration));
        case TIME: return row.time;
        case DETAIL: return row.detail;
        default: return {};
        }
    }
    if (role == Qt::ToolTipRole && index.column() == STEP) return QString::fromLatin1(step.text);
    if (role == Qt::ToolTipRole && (index.column() == DETAIL || index.column() == VERDICT))
        return row.exchanges.isEmpty() ? row.detail
                                       : row.detail + QStringLiteral("\n\n") + row.exchanges;
    if (role == Qt::FontRole && index.row() == m_current) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::ForegroundRole && !judged) return QBrush(QColor(0x75, 0x75, 0x75));
    if (role == Qt::BackgroundRole && index.column() == VERDICT) {
        switch (index.row() == m_current ? -1 : row.verdict) {
        case -1: return QBrush(QColor(0xff, 0xf5, 0x9d));
        case VERDICT_PASSED: return QBrush(QColor(0xc8, 0xe6, 0xc9));
        case VERDICT_FAILED:
        case VERDICT_ERROR: return QBrush(QColor(0xff, 0xcd, 0xd2));
        case VERDICT_STOPPED: return QBrush(QColor(0xff, 0xe0, 0xb2));
        default: return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == LINE)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant RunStepModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case LINE: return byLanguage(QStringLiteral("Zeile"), QStringLiteral("Line"));
    case STEP: return byLanguage(QStringLiteral("Schritt"), QStringLiteral("Step"));
    case VERDICT: return byLanguage(QStringLiteral("Ergebnis"), QStringLiteral("Verdict"));
    case TIME: return byLanguage(QStringLiteral("Zeit"), QStringLiteral("Time"));
    case DETAIL: return byLanguage(QStringLiteral("Befund"), QStringLiteral("Found"));
    default: return {};
    }
}
