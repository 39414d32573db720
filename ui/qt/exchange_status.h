// The status line's account of the latest exchange, and the lamp's tooltip: the outcome in words
// after every exchange, in the panel's language.
#pragma once

#include <QObject>
#include <QPointer>

class QLabel;
class QWidget;
struct ExchangeRecord;

class ExchangeStatus : public QObject {
public:
    // Writes into line (the status line's part) and the lamp's tooltip from the next record on.
    ExchangeStatus(QLabel *line, QWidget *lamp, QObject *parent);
    ~ExchangeStatus() override;
    ExchangeStatus(const ExchangeStatus &) = delete;
    ExchangeStatus &operator=(const ExchangeStatus &) = delete;

private:
    static void heard(const ExchangeRecord *record, void *context);
    void show(const ExchangeRecord *record);

    QPointer<QLabel> m_line;
    QPointer<QWidget> m_lamp;
    int m_listener;
};
