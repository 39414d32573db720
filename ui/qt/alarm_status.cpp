// The alarms in the status line and as desktop notifications.
#include "ui/qt/alarm_status.h"

#include "record/logging.h"
#include "run/alarm.h"
#include "ui/qt/desktop_notice.h"
#include "ui/qt/language.h"

#include <QLabel>
#include <QStringList>

#include <memory>

namespace {

constexpr int WINDOW_OWNER = -1; // the owner of the alarms set in the window

} // namespace

AlarmStatus::AlarmStatus(QLabel *line, QObject *parent)
    : QObject(parent), m_line(line), m_listener(add_exchange_listener(&AlarmStatus::heard, this)) {
    line->setObjectName(QStringLiteral("alarmStatus"));
    line->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c62828; }"));
    line->hide();
    on_logging_annotation(program_alarms_column, nullptr);
}

AlarmStatus::~AlarmStatus() {
    remove_exchange_listener(m_listener);
    on_logging_annotation(nullptr, nullptr);
}

QString AlarmStatus::setAlarms(const QString &lines) {
    const QStringList texts = lines.split(QLatin1Char('\n'));
    auto rules = std::make_unique<Step[]>(ALARM_RULES);
    int count = 0;
    for (int i = 0; i < texts.size(); i++) {
        QString text = texts[i];
        const qsizetype comment = text.indexOf(QLatin1Char('#'));
        if (comment >= 0) text.truncate(comment);
        int indent = 0;
        while (indent < text.size() && text[indent].isSpace()) indent++;
        text = text.trimmed();
        int skipped = 0;
        if (text.startsWith(QStringLiteral("alarm "))) skipped = 6; // as the file writes it
        if (text.isEmpty()) continue;
        if (count == ALARM_RULES)
            return byLanguage(QStringLiteral("Zeile %1: mehr als %2 Alarme"),
                              QStringLiteral("line %1: more than %2 alarms"))
                .arg(i + 1)
                .arg(int(ALARM_RULES));
        ParseError error;
        if (parse_alarm(text.mid(skipped).toLatin1().constData(), &rules[count], &error) != 0)
            return byLanguage(QStringLiteral("Zeile %1, Spalte %2: %3"),
                              QStringLiteral("line %1, column %2: %3"))
                .arg(i + 1)
                .arg(indent + skipped + error.column)
                .arg(QString::fromLatin1(error.message));
        count++;
    }
    AlarmWatch *watch = program_alarms();
    alarm_watch_remove(watch, WINDOW_OWNER);
    for (int i = 0; i < count; i++) alarm_watch_add(watch, &rules[i], WINDOW_OWNER);
    m_alarms = lines;
    refresh();
    return QString();
}

void AlarmStatus::heard(const ExchangeRecord *record, void *context) {
    static_cast<AlarmStatus *>(context)->hear(record);
}

void AlarmStatus::hear(const ExchangeRecord *record) {
    AlarmWatch *watch = program_alarms();
    const int events = alarm_watch_hear(watch, record);
    for (int i = 0; i < events; i++) {
        const AlarmEvent &e = watch->events[i];
        const QString what = QStringLiteral("com%1:%2 %3 (%4)")
                                 .arg(e.port)
                                 .arg(e.address)
                                 .arg(QString::fromLatin1(watch->rules[e.rule].condition.text),
                                      QString::fromLatin1(e.detail));
        show_desktop_notice(
            e.kind == ALARM_RAISED
                ? byLanguage(QStringLiteral("Alarm ausgel\u00f6st"), QStringLiteral("Alarm raised"))
                : byLanguage(QStringLiteral("Alarm aufgehoben"), QStringLiteral("Alarm cleared")),
            what);
    }
    refresh();
}

void AlarmStatus::refresh() {
    if (!m_line) return;
    const AlarmWatch *watch = program_alarms();
    const int standing = alarm_watch_standing(watch);
    if (standing == 0) {
        m_line->hide();
        return;
    }
    QStringList texts;
    char text[256];
    for (int i = 0; alarm_watch_standing_text(watch, i, text, sizeof text) == 0; i++)
        texts << QString::fromLatin1(text);
    m_line->setText(
        byLanguage(QStringLiteral("Alarm: %1"), QStringLiteral("Alarm: %1"))
            // cppcheck-suppress containerOutOfBounds ; an alarm stands, so it has a first text
            .arg(texts.first() +
                 (standing > 1 ? QStringLiteral(" (+%1)").arg(standing - 1) : QString())));
    m_line->setToolTip(texts.join(QLatin1Char('\n')));
    m_line->show();
}
