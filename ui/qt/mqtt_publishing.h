// Publishing to MQTT from the window: File > Publish to MQTT opens the settings (remembered in
// the platform's settings store), --mqtt or the remembered settings start it with the window,
// and the status line shows the connection while it is on.
#pragma once

#include "mqtt/mqtt.h"

#include <QObject>
#include <QTimer>

class QAction;
class QLabel;
class QWidget;

class MqttPublishing : public QObject {
public:
    // window: the dialog's parent; status: the status line's part that shows the connection.
    MqttPublishing(QWidget *window, QLabel *status);
    ~MqttPublishing() override;
    MqttPublishing(const MqttPublishing &) = delete;
    MqttPublishing &operator=(const MqttPublishing &) = delete;

    QAction *action() const { return m_action; }
    // Opens the dialog; OK applies and remembers what it holds.
    void openDialog();
    // Starts publishing with settings, or stops it. Returns 0, or -1 when the settings cannot
    // work (the status line says why).
    int apply(bool enabled, const MqttSettings &settings);

private:
    void showState();
    void stop();

    QWidget *m_window;
    QLabel *m_status;
    QAction *m_action;
    QTimer m_poll;                // the connection's state, while publishing
    MqttProblem m_startProblem{}; // why the latest start failed
};
