// The bus scan in the window: which chamber addresses answer on the selected port, found one
// exchange at a time from the event loop, with cyclic sending paused meanwhile.
#pragma once

#include "exchange/scan.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTableView;

class BusScanDialog : public QDialog {
public:
    // Sends "A0" to each address from..to on the main panel's port, waiting timeoutMs for a first
    // byte (the timer exchange's wait unless given). The scan begins at once, so construct it
    // where no callback runs (dispatch::whenIdle); the dialog is modal to the application.
    explicit BusScanDialog(QWidget *parent, int from = SCAN_FIRST_ADDRESS,
                           int to = SCAN_LAST_ADDRESS, int timeoutMs = 500);
    ~BusScanDialog() override;

    bool scanning() const { return m_scan.active != 0; }
    QTableView *answers() const { return m_table; }
    QPushButton *cancelButton() const { return m_button; }
    // "Add the answering chambers": hands the scanned port and the addresses that answered to
    // onAddChambers (the chambers view's list), once the scan is over.
    QPushButton *addButton() const { return m_add; }
    std::function<void(int port, const QList<int> &addresses)> onAddChambers;

protected:
    // Esc, the window's close button and Cancel end a running scan; once it is over, the dialog.
    void reject() override;
    // Keeps a click that began during the scan from completing on a button of the result.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void step();
    void finish(const QString &status);
    // Ends the scan, and cyclic sending resumes if its switch is on.
    void endScan();
    void chooseAddress(const QModelIndex &index);

    BusScan m_scan{};
    ExchangeRecord m_record{};
    bool m_cancelled = false;
    QString m_stopped;                  // why the scan stops before its next address
    QObject *m_pressedBefore = nullptr; // the button held down since before the result showed
    QString m_answering;                // "3, 17"
    QTimer m_next; // the next step, once pending events (a click on Cancel) are handled
    QProgressBar *m_progress;
    QLabel *m_status;
    QStandardItemModel *m_model;
    QTableView *m_table;
    QPushButton *m_button;
    QPushButton *m_add;
    QList<int> m_answered;
};
