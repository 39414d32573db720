// The dialog of the MQTT settings.
#include "ui/qt/mqtt_dialog.h"

#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace {

void copy(const QByteArray &text, char *field, size_t size) {
    std::snprintf(field, size, "%s", text.left(int(size) - 1).constData());
}

} // namespace

MqttSettings MqttDialog::toSettings(const QString &url, const QString &prefix,
                                    const QString &credentials, const QString &caFile) {
    // cppcheck-suppress shadowFunction ; a static function, which has no settings() to call
    MqttSettings settings{};
    copy(url.trimmed().toUtf8(), settings.url, sizeof settings.url);
    copy(prefix.trimmed().toUtf8(), settings.prefix, sizeof settings.prefix);
    copy(QFile::encodeName(credentials), settings.credentials, sizeof settings.credentials);
    copy(QFile::encodeName(caFile), settings.caFile, sizeof settings.caFile);
    return settings;
}

MqttDialog::MqttDialog(QWidget *parent)
    : QDialog(parent),
      m_enabled(new QCheckBox(byLanguage(QStringLiteral("Jeden Austausch ver\u00f6ffentlichen"),
                                         QStringLiteral("Publish every exchange")),
                              this)),
      m_url(new QLineEdit(this)), m_prefix(new QLineEdit(this)), m_credentials(new QLineEdit(this)),
      m_ca(new QLineEdit(this)), m_problem(new QLabel(this)) {
    setWindowTitle(byLanguage(QStringLiteral("An MQTT ver\u00f6ffentlichen"),
                              QStringLiteral("Publish to MQTT")));
    m_url->setPlaceholderText(QStringLiteral("mqtt://broker.example:1883"));
    char prefix[MQTT_PREFIX_SIZE];
    mqtt_default_prefix(prefix, sizeof prefix);
    m_prefix->setPlaceholderText(QString::fromUtf8(prefix));
    m_credentials->setPlaceholderText(
        byLanguage(QStringLiteral("keine (anonym)"), QStringLiteral("none (anonymous)")));
    m_ca->setPlaceholderText(byLanguage(QStringLiteral("die des Systems (mit mqtts://)"),
                                        QStringLiteral("the system's (with mqtts://)")));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->hide();

    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("&Broker:"), m_url);
    form->addRow(
        byLanguage(QStringLiteral("&Themenpr\u00e4fix:"), QStringLiteral("Topic &prefix:")),
        m_prefix);
    form->addRow(
        byLanguage(QStringLiteral("&Zugangsdatei:"), QStringLiteral("&Credentials file:")),
        fileField(m_credentials, byLanguage(QStringLiteral("Zugangsdatei (Benutzer:Passwort)"),
                                            QStringLiteral("Credentials file (user:password)"))));
    form->addRow(byLanguage(QStringLiteral("&CA-Datei:"), QStringLiteral("&CA file:")),
                 fileField(m_ca, byLanguage(QStringLiteral("CA-Zertifikate (PEM)"),
                                            QStringLiteral("CA certificates (PEM)"))));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)
        ->setText(byLanguage(QStringLiteral("Abbrechen"), QStringLiteral("Cancel")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    setMinimumWidth(480);
}

QWidget *MqttDialog::fileField(QLineEdit *field, const QString &title) {
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *choose = new QPushButton(QStringLiteral("\u2026"), row);
    layout->addWidget(field, 1);
    layout->addWidget(choose);
    connect(choose, &QPushButton::clicked, this, [this, field, title] {
        QString chosen;
        dispatch::guarded(
            [&] { chosen = QFileDialog::getOpenFileName(this, title, field->text()); });
        if (!chosen.isEmpty()) field->setText(chosen);
    });
    return row;
}

void MqttDialog::setSettings(bool enabled, const MqttSettings &settings) {
    m_enabled->setChecked(enabled);
    m_url->setText(QString::fromUtf8(settings.url));
    m_prefix->setText(QString::fromUtf8(settings.prefix));
    m_credentials->setText(QFile::decodeName(settings.credentials));
    m_ca->setText(QFile::decodeName(settings.caFile));
}

bool MqttDialog::enabled() const {
    return m_enabled->isChecked();
}

MqttSettings MqttDialog::settings() const {
    return toSettings(m_url->text(), m_prefix->text(), m_credentials->text(), m_ca->text());
}

// The same checks as publishing's start, before the dialog closes.
void MqttDialog::accept() {
    if (!enabled()) {
        QDialog::accept();
        return;
    }
    const MqttSettings chosen = settings();
    MqttProblem problem{};
    MqttConnection connection;
    if (mqtt_read_settings(&chosen, &connection, &problem) == 0) {
        QDialog::accept();
        return;
    }
    char text[MQTT_TEXT_SIZE];
    mqtt_problem_text(&problem, !Fremdsprache, text, sizeof text);
    m_problem->setText(QString::fromUtf8(text) + QLatin1Char('.'));
    m_problem->show();
}
