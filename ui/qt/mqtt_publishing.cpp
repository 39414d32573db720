// The window's side of publishing: the menu item, the remembered settings, the status line.
#include "ui/qt/mqtt_publishing.h"

#include "ui/options.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/mqtt_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSettings>

namespace {

constexpr int POLL_MS = 500;
constexpr int DRAIN_MS = 1000; // at the end, for what waits and "offline"

QSettings store() {
    return QSettings(QStringLiteral("kelvra"), QStringLiteral("kelvra-ascii"));
}

MqttSettings remembered(bool *enabled) {
    const QSettings settings = store();
    *enabled = settings.value(QStringLiteral("mqtt/enabled"), false).toBool();
    return MqttDialog::toSettings(settings.value(QStringLiteral("mqtt/url")).toString(),
                                  settings.value(QStringLiteral("mqtt/prefix")).toString(),
                                  settings.value(QStringLiteral("mqtt/credentials")).toString(),
                                  settings.value(QStringLiteral("mqtt/ca")).toString());
}

void remember(bool enabled, const MqttSettings &chosen) {
    QSettings settings = store();
    settings.setValue(QStringLiteral("mqtt/enabled"), enabled);
    settings.setValue(QStringLiteral("mqtt/url"), QString::fromUtf8(chosen.url));
    settings.setValue(QStringLiteral("mqtt/prefix"), QString::fromUtf8(chosen.prefix));
    settings.setValue(QStringLiteral("mqtt/credentials"), QFile::decodeName(chosen.credentials));
    settings.setValue(QStringLiteral("mqtt/ca"), QFile::decodeName(chosen.caFile));
}

QString words(const MqttProblem &problem) {
    char text[MQTT_TEXT_SIZE];
    mqtt_problem_text(&problem, !Fremdsprache, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

MqttPublishing::MqttPublishing(QWidget *window, QLabel *status)
    : QObject(window), m_window(window), m_status(status),
      m_action(new QAction(byLanguage(QStringLiteral("An &MQTT ver\u00f6ffentlichen\u2026"),
                                      QStringLiteral("Publish to &MQTT\u2026")),
                           this)) {
    m_action->setCheckable(true);
    connect(m_action, &QAction::triggered, this, [this] {
        showState(); // the click has flipped the check mark; publishing decides it
        openDialog();
    });
    m_poll.setInterval(POLL_MS);
    connect(&m_poll, &QTimer::timeout, this, [this] { showState(); });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { stop(); });
    m_status->hide();
    // --mqtt for this run; else what was chosen last time
    bool enabled = false;
    const MqttSettings chosen = mqtt_option() ? *mqtt_option() : remembered(&enabled);
    if (mqtt_option() || enabled) apply(true, chosen);
}

MqttPublishing::~MqttPublishing() {
    stop();
}

void MqttPublishing::stop() {
    m_poll.stop();
    MqttStatus status;
    if (publishing_status(&status)) stop_publishing(DRAIN_MS, DRAIN_MS, nullptr);
}

void MqttPublishing::openDialog() {
    MqttDialog dialog(m_window);
    MqttStatus status;
    bool enabled = false;
    MqttSettings chosen = remembered(&enabled);
    if (publishing_status(&status) && mqtt_option()) chosen = *mqtt_option();
    dialog.setSettings(publishing_status(&status) != 0, chosen);
    bool accepted = false;
    dispatch::guarded([&] { accepted = dialog.exec() == QDialog::Accepted; });
    if (!accepted) return;
    remember(dialog.enabled(), dialog.settings());
    apply(dialog.enabled(), dialog.settings());
}

int MqttPublishing::apply(bool enabled, const MqttSettings &settings) {
    m_startProblem = MqttProblem{};
    int result = 0;
    if (!enabled) {
        // the client says goodbye on its own; the window does not wait for it
        stop_publishing(DRAIN_MS, 0, nullptr);
    } else if (start_publishing(&settings, &m_startProblem) != 0) {
        result = -1;
    }
    if (enabled && result == 0)
        m_poll.start();
    else
        m_poll.stop();
    showState();
    return result;
}

void MqttPublishing::showState() {
    MqttStatus status;
    const bool on = publishing_status(&status) != 0;
    m_action->setChecked(on);
    if (!on && m_startProblem.code == MQTT_FINE) {
        m_status->clear();
        m_status->setToolTip(QString());
        m_status->hide();
        return;
    }
    QString text, tip;
    if (!on) {
        text = byLanguage(QStringLiteral("MQTT: aus – %1"), QStringLiteral("MQTT: off – %1"))
                   .arg(words(m_startProblem));
    } else if (status.state == MQTT_CONNECTED) {
        text = byLanguage(QStringLiteral("MQTT: verbunden"), QStringLiteral("MQTT: connected"));
    } else if (status.state == MQTT_WAITING) {
        text = byLanguage(QStringLiteral("MQTT: keine Verbindung"),
                          QStringLiteral("MQTT: not connected"));
        tip = words(status.problem);
    } else {
        text = byLanguage(QStringLiteral("MQTT: verbinde\u2026"),
                          QStringLiteral("MQTT: connecting\u2026"));
    }
    if (on && status.dropped > 0)
        text += byLanguage(QStringLiteral(", %1 verworfen"), QStringLiteral(", %1 dropped"))
                    .arg(status.dropped);
    if (on)
        tip = QStringLiteral("%1 \u2192 %2/\u2026%3")
                  .arg(QString::fromUtf8(status.broker), QString::fromUtf8(status.prefix),
                       tip.isEmpty() ? QString() : QStringLiteral("\n") + tip);
    m_status->setText(text);
    m_status->setToolTip(tip);
    m_status->show();
}
