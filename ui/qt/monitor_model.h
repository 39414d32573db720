// The line monitor's table: two rows per exchange (sent, received) over the bounded store, with
// the statistics since the last clearing. It takes every exchange from the start of the program,
// whether its window is open or not.
#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include <map>
#include <memory>

struct ExchangeRecord;
struct ExchangeStats;
struct MonitorStore;

class MonitorModel : public QAbstractTableModel {
public:
    // Where a row's marked bytes begin in the text of a hex or text cell, and how many
    // characters the deciding byte takes: a QPoint(from, length); no value when none are marked.
    static constexpr int MarkRole = Qt::UserRole + 1;
    // The row's chamber as port * 256 + address (chamberKey).
    static constexpr int ChamberRole = Qt::UserRole + 2;
    static int chamberKey(int port, int address) { return port * 256 + address; }

    explicit MonitorModel(QObject *parent = nullptr);
    ~MonitorModel() override;
    MonitorModel(const MonitorModel &) = delete;
    MonitorModel &operator=(const MonitorModel &) = delete;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes an exchange as the newest two rows (the oldest go when the store is full); while
    // paused it only counts it as missed.
    void add(const ExchangeRecord *record);
    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    // Forgets every row and the statistics.
    void clear();

    // A row as one line of text (tab-separated cells, marked bytes in brackets).
    QString rowText(int row) const;
    // The column headers as one such line.
    QString headerText() const;
    // The statistics in one line, with the exchanges missed while paused: of every exchange, or
    // of one chamber's (a chamberKey).
    QString statisticsText(int chamber = 0) const;
    // The chambers that exchanges went to since the last clearing, as chamberKeys in the order
    // they came.
    QList<int> chambers() const { return m_chamberOrder; }

private:
    static void heard(const ExchangeRecord *record, void *context);

    std::unique_ptr<MonitorStore> m_store;
    std::unique_ptr<ExchangeStats> m_stats;
    // each chamber's counts, in the order the chambers came; their histograms take memory only
    // where their times fall
    std::unique_ptr<ExchangeStats, void (*)(ExchangeStats *)> m_chamberStats;
    std::map<int, int> m_chamberIndex; // of a chamberKey in m_chamberStats
    QList<int> m_chamberOrder;
    QFont m_bytesFont; // the hex and text columns'
    int m_listener;
    bool m_paused = false;
    long long m_missed = 0; // exchanges that came while paused, since the last clearing
};
