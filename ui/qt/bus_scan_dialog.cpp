// The bus scan dialog: a progress bar over the addresses, a table of those that answer.
#include "ui/qt/bus_scan_dialog.h"

#include "ui/ascii.h"
#include "ui/exchange_cycle.h"
#include "ui/panel_handles.h"
#include "ui/qt/controls.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/userint.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

BusScanDialog::BusScanDialog(QWidget *parent, int from, int to, int timeoutMs)
    : QDialog(parent), m_progress(new QProgressBar(this)), m_status(new QLabel(this)),
      m_model(new QStandardItemModel(0, 3, this)), m_table(new QTableView(this)),
      m_button(
          new QPushButton(byLanguage(QStringLiteral("Abbrechen"), QStringLiteral("Cancel")), this)),
      m_add(new QPushButton(byLanguage(QStringLiteral("Antwortende &Kammern hinzuf\u00fcgen"),
                                       QStringLiteral("Add the answering &chambers")),
                            this)) {
    setWindowTitle(byLanguage(QStringLiteral("Bus durchsuchen"), QStringLiteral("Scan bus")));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);

    m_model->setHorizontalHeaderLabels(
        {byLanguage(QStringLiteral("Adresse"), QStringLiteral("Address")),
         byLanguage(QStringLiteral("Antwortzeit (ms)"), QStringLiteral("Round trip (ms)")),
         byLanguage(QStringLiteral("Antwort"), QStringLiteral("Answer"))});
    m_table->setModel(m_model);
    m_table->setAccessibleName(
        byLanguage(QStringLiteral("Antwortende Adressen"), QStringLiteral("Answering addresses")));
    m_progress->setAccessibleName(
        byLanguage(QStringLiteral("Durchsuchte Adressen"), QStringLiteral("Addresses scanned")));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setToolTip(byLanguage(
        QStringLiteral(
            "Doppelklick: die Adresse in das Feld \u201eKammeradresse\u201c \u00fcbernehmen"),
        QStringLiteral("Double-click: put the address into the chamber address field")));
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { chooseAddress(index); });

    m_progress->setRange(from - 1, to);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setValue(from - 1);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_button, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &BusScanDialog::reject);
    buttons->addButton(m_add, QDialogButtonBox::ActionRole);
    m_add->setEnabled(false);
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (onAddChambers) onAddChambers(m_scan.request.port, m_answered);
        m_add->setEnabled(false);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(520, 360);

    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, [this] {
        // a click on Cancel or Esc held back during the probe counts before the next one
        const QPointer<BusScanDialog> self(this);
        dispatch::takeHeldInput();
        // one exchange per step, never inside another callback
        // cppcheck-suppress knownConditionTrueFalse ; the input taken may have deleted the dialog
        if (self)
            dispatch::whenIdle([self] {
                if (self) self->step();
            });
    });
    m_button->installEventFilter(this);
    m_add->installEventFilter(this);
    ExchangeRequest request;
    read_panel_request(&request, "A0", BY_SCAN);
    if (bus_scan_begin(&m_scan, &request, from, to, timeoutMs) != 0) {
        finish(byLanguage(QStringLiteral("Kein g\u00fcltiger Adressbereich"),
                          QStringLiteral("No valid range of addresses")));
        return;
    }
    m_status->setText(byLanguage(QStringLiteral("Adressen %1 bis %2 \u2026"),
                                 QStringLiteral("Addresses %1 to %2 \u2026"))
                          .arg(from)
                          .arg(to));
    dispatch::holdTicks(true);
    m_next.start(0);
}

BusScanDialog::~BusScanDialog() {
    endScan();
}

void BusScanDialog::endScan() {
    if (!scanning()) return;
    bus_scan_end(&m_scan);
    dispatch::holdTicks(false);
}

void BusScanDialog::step() {
    if (!m_stopped.isEmpty()) {
        finish(m_stopped);
        return;
    }
    if (m_cancelled && m_scan.next <= m_scan.to) {
        finish(m_scan.next == m_scan.from
                   ? byLanguage(QStringLiteral("Abgebrochen"), QStringLiteral("Cancelled"))
                   : byLanguage(QStringLiteral("Abgebrochen nach Adresse %1"),
                                QStringLiteral("Cancelled after address %1"))
                         .arg(m_scan.next - 1));
        return;
    }
    if (!bus_scan_step(&m_scan, &m_record)) {
        finish(m_answering.isEmpty() ? byLanguage(QStringLiteral("Keine Adresse hat geantwortet"),
                                                  QStringLiteral("No address answered"))
                                     : byLanguage(QStringLiteral("Geantwortet haben: %1"),
                                                  QStringLiteral("Answered: %1"))
                                           .arg(m_answering));
        return;
    }
    show_answer(&m_record); // the scan's exchanges show in the histories as every exchange does
    publish_exchange(&m_record);
    m_progress->setValue(m_record.address);
    if (port_failed(&m_record)) // the next address would meet the same port
        m_stopped = byLanguage(QStringLiteral("Angehalten: Fehler an der Schnittstelle"),
                               QStringLiteral("Stopped: serial port error"));
    if (m_record.answered) {
        auto *address = new QStandardItem(QString::number(m_record.address));
        address->setData(m_record.address, Qt::UserRole);
        auto *rtt = new QStandardItem(QString::number(m_record.rttMs, 'f', 1));
        rtt->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow(
            {address, rtt,
             new QStandardItem(withVisibleControls(QString::fromLatin1(m_record.receivedText)))});
        m_answered.append(m_record.address);
        m_answering += (m_answering.isEmpty() ? QString() : QStringLiteral(", ")) +
                       QString::number(m_record.address);
    }
    m_next.start(0);
}

// The result shows only after the input held back during the last probe has been taken (the next
// step comes after it), but a button may still be held down from before: its release must not
// click the button's new meaning.
void BusScanDialog::finish(const QString &status) {
    endScan();
    m_next.stop();
    for (QPushButton *button : {m_button, m_add})
        if (button->isDown()) {
            button->setDown(false);
            m_pressedBefore = button;
        }
    m_status->setText(status);
    m_button->setText(byLanguage(QStringLiteral("Schlie\u00dfen"), QStringLiteral("Close")));
    m_add->setEnabled(!m_answered.isEmpty());
}

bool BusScanDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_pressedBefore) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: return true; // moving back onto it would press it again
    case QEvent::MouseButtonRelease: m_pressedBefore = nullptr; return true;
    case QEvent::MouseButtonPress: m_pressedBefore = nullptr; break; // a new click
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

void BusScanDialog::reject() {
    if (scanning())
        m_cancelled = true; // the step after the exchange in progress ends the scan
    else
        QDialog::reject();
}

// The scan leaves the address field alone; the chosen address goes into it.
void BusScanDialog::chooseAddress(const QModelIndex &index) {
    const int address = m_model->item(index.row(), 0)->data(Qt::UserRole).toInt();
    dispatch::whenIdle([address] { SetCtrlVal(main_panel, KAMMER, address); });
}
