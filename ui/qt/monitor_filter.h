// The line monitor's rows of one chamber, or of all: both rows of each exchange whose port and
// address are the chosen chamber's.
#pragma once

#include <QSortFilterProxyModel>

class MonitorFilter : public QSortFilterProxyModel {
public:
    explicit MonitorFilter(QObject *parent = nullptr);

    // A chamber as MonitorModel::chamberKey, or 0 for every exchange.
    void setChamber(int chamber);
    int chamber() const { return m_chamber; }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;

private:
    int m_chamber = 0;
};
