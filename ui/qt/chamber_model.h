// The chambers of the lab as a table, one row per chamber: name, port, address, state lamp, the
// actual and set value of each channel it answered for, the age of its last valid answer, the
// counts of each outcome and the round trip's median and 95th percentile. It owns the list (and
// remembers it between runs), the polling of it, and what every exchange told of each chamber,
// from the start of the program, shown or not.
#pragma once

#include "exchange/lab.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

#include <functional>
#include <memory>

struct ChamberStatus;
struct ChamberStatuses;
struct ExchangeRecord;
class LabPoller;

class ChamberModel : public QAbstractTableModel {
public:
    enum Column { Name, Port, Address, State, Values, Age, Counts, Median, Percentile95, Columns };
    static constexpr int SortRole = Qt::UserRole + 1; // a number where the text is one

    // remember: remember every change of the list in the window's settings, and let restore()
    // take the list remembered last time
    explicit ChamberModel(bool remember, QObject *parent = nullptr);
    ~ChamberModel() override;
    ChamberModel(const ChamberModel &) = delete;
    ChamberModel &operator=(const ChamberModel &) = delete;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const Lab &lab() const { return *m_lab; }
    // Takes the list remembered last time, if remembering and there is one.
    void restore();
    // Replaces the list (polling goes on with the new one if it was on).
    void setLab(const Lab &lab);
    // Adds a chamber; false when the list is full or has it.
    bool addChamber(const LabChamber &chamber);
    // Adds those the list has room for and does not have yet; how many it added.
    int addChambers(const QList<LabChamber> &chambers);
    void removeChamber(int row);
    void renameChamber(int row, const QString &name);
    // Sets the chamber's name, trimmed and cut to whole characters that fit.
    static void setName(LabChamber *chamber, const QString &name);
    // The chamber's name with its port and address, "Klima 3 (com1:3)".
    QString label(int port, int address) const;
    // What the exchanges told of the chamber, or null before its first.
    const ChamberStatus *status(int row) const;

    void startPolling();
    void stopPolling();
    bool polling() const;
    // Told whenever polling starts or stops.
    std::function<void(bool polling)> onPollingChanged;

private:
    static void heard(const ExchangeRecord *record, void *model);
    void take(const ExchangeRecord *record);
    void changed(); // the list changed: remembered, and polled anew
    QVariant display(const LabChamber &chamber, const ChamberStatus *status, int column) const;
    QVariant sortValue(const LabChamber &chamber, const ChamberStatus *status, int column) const;

    std::unique_ptr<Lab> m_lab;
    std::unique_ptr<ChamberStatuses> m_statuses;
    LabPoller *m_poller;
    bool m_remember;
    int m_listener;
    QTimer m_ages; // the ages of the answers grow by the second
};
