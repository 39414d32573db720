// File > Publish to MQTT: the broker's URL, the topic prefix, the credentials and CA files, and
// publishing on or off. OK refuses settings that cannot work and says why in the dialog.
#pragma once

#include "mqtt/mqtt.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

class MqttDialog : public QDialog {
public:
    explicit MqttDialog(QWidget *parent);

    // Settings from the texts of the four fields (file names in the system's encoding).
    static MqttSettings toSettings(const QString &url, const QString &prefix,
                                   const QString &credentials, const QString &caFile);

    void setSettings(bool enabled, const MqttSettings &settings);
    bool enabled() const;
    MqttSettings settings() const;

    QCheckBox *enabledBox() const { return m_enabled; }
    QLineEdit *urlField() const { return m_url; }
    QLineEdit *prefixField() const { return m_prefix; }
    QLineEdit *credentialsField() const { return m_credentials; }
    QLineEdit *caField() const { return m_ca; }
    QLabel *problemLine() const { return m_problem; }

    void accept() override;

private:
    // A file name field with a button that chooses the file.
    QWidget *fileField(QLineEdit *field, const QString &title);

    QCheckBox *m_enabled;
    QLineEdit *m_url;
    QLineEdit *m_prefix;
    QLineEdit *m_credentials;
    QLineEdit *m_ca;
    QLabel *m_problem;
};
