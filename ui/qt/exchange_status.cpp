// The outcome of each exchange in the status line and on the lamp.
#include "ui/qt/exchange_status.h"

#include "record/record.h"
#include "record/words.h"

#include <QLabel>

ExchangeStatus::ExchangeStatus(QLabel *line, QWidget *lamp, QObject *parent)
    : QObject(parent), m_line(line), m_lamp(lamp),
      m_listener(add_exchange_listener(&ExchangeStatus::heard, this)) {
    // a long text (a port's message) is cut, never widens the window
    line->setSizePolicy(QSizePolicy::Ignored, line->sizePolicy().verticalPolicy());
}

ExchangeStatus::~ExchangeStatus() {
    remove_exchange_listener(m_listener);
}

// The status line and the lamp tell of the panel's own exchanges; the chambers view tells of the
// polled ones.
void ExchangeStatus::heard(const ExchangeRecord *record, void *context) {
    if (record->trigger == BY_POLL) return;
    static_cast<ExchangeStatus *>(context)->show(record);
}

void ExchangeStatus::show(const ExchangeRecord *record) {
    char text[PORT_MESSAGE_SIZE + 256];
    if (m_line) {
        exchange_status_words(record, text, sizeof text);
        m_line->setText(QString::fromLatin1(text));
        m_line->setToolTip(m_line->text());
    }
    if (m_lamp) {
        const Verdict verdict = verdict_of(&record->received, record->address);
        outcome_words(&verdict, text, sizeof text);
        m_lamp->setToolTip(QString::fromLatin1(text));
    }
}
