// The chambers window (View > Chambers, F5): the lab's chambers, one row each, sortable; start
// and stop polling; add, remove and rename chambers; open and save a lab file. A double-click
// opens the chamber's trend.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

#include "ui/qt/chamber_model.h"
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

class ChambersWindow : public QWidget {
public:
    ChambersWindow(ChamberModel *model, QWidget *parent);
    ~ChambersWindow() override;

    QTableView *table() const { return m_table; }
    QPushButton *pollButton() const { return m_poll; }
    // The model's row of the view's row.
    int modelRow(int viewRow) const;
    // Told of a double-click on a chamber's row.
    std::function<void(int port, int address)> onChamberActivated;

    void addChamber();
    void removeSelected();
    void renameSelected();
    void openLabFile();
    void saveLabFile();

private:
    void showPolling(bool polling);
    int selectedRow() const;
    void warn(const QString &text);

    QPointer<ChamberModel> m_model;
    QSortFilterProxyModel *m_sorted;
    QTableView *m_table;
    QPushButton *m_poll;
};
