// The line monitor's filter by chamber.
#include "ui/qt/monitor_filter.h"

#include "ui/qt/monitor_model.h"

MonitorFilter::MonitorFilter(QObject *parent) : QSortFilterProxyModel(parent) {}

void MonitorFilter::setChamber(int chamber) {
    m_chamber = chamber;
    invalidateFilter();
}

bool MonitorFilter::filterAcceptsRow(int row, const QModelIndex &parent) const {
    if (m_chamber == 0) return true;
    return sourceModel()->index(row, 0, parent).data(MonitorModel::ChamberRole).toInt() ==
           m_chamber;
}
