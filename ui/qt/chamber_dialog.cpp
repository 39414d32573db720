// The dialog for a new chamber.
#include "ui/qt/chamber_dialog.h"

#include "ui/qt/chamber_model.h"
#include "ui/qt/language.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>

ChamberDialog::ChamberDialog(QWidget *parent)
    : QDialog(parent), m_port(new QComboBox(this)), m_address(new QSpinBox(this)),
      m_name(new QLineEdit(this)), m_commands(new QLineEdit(QStringLiteral("A0"), this)),
      m_interval(new QDoubleSpinBox(this)), m_problem(new QLabel(this)) {
    setWindowTitle(
        byLanguage(QStringLiteral("Kammer hinzuf\u00fcgen"), QStringLiteral("Add chamber")));
    // cppcheck-suppress shadowFunction ; the number of a port; port() is not needed here
    for (int port = 1; port <= 20; port++) m_port->addItem(QStringLiteral("com%1").arg(port), port);
    m_address->setRange(1, 32);
    m_name->setMaxLength(LAB_NAME_SIZE - 1);
    m_interval->setRange(double(LAB_MIN_INTERVAL_MS) / 1000, double(LAB_MAX_INTERVAL_MS) / 1000);
    m_interval->setDecimals(1);
    m_interval->setValue(double(LAB_DEFAULT_INTERVAL_MS) / 1000);
    m_interval->setSuffix(QStringLiteral(" s"));
    m_problem->setStyleSheet(QStringLiteral("color: #c02020"));
    m_problem->hide();

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Port"), m_port);
    form->addRow(byLanguage(QStringLiteral("Adresse"), QStringLiteral("Address")), m_address);
    form->addRow(QStringLiteral("Name"), m_name);
    form->addRow(byLanguage(QStringLiteral("Befehle"), QStringLiteral("Commands")), m_commands);
    form->addRow(byLanguage(QStringLiteral("Abstand"), QStringLiteral("Interval")), m_interval);
    form->addRow(m_problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

// The commands field is read as --chamber reads "PORT:ADDRESS:COMMANDS", so both take the same.
bool ChamberDialog::chamber(LabChamber *chamber) const {
    const QByteArray text = QStringLiteral("com%1:%2:%3")
                                .arg(m_port->currentData().toInt())
                                .arg(m_address->value())
                                .arg(m_commands->text().remove(QLatin1Char(' ')))
                                .toLatin1();
    char error[256];
    if (lab_parse_chamber(text.constData(), chamber, error, sizeof error) != 0) {
        m_problem->setText(byLanguage(QStringLiteral("Befehle: 1 bis 8, durch Kommas getrennt, "
                                                     "je 1 bis 63 druckbare ASCII-Zeichen"),
                                      QStringLiteral("Commands: 1 to 8, separated by commas, "
                                                     "each 1 to 63 printable ASCII characters")));
        m_problem->show();
        return false;
    }
    ChamberModel::setName(chamber, m_name->text());
    chamber->intervalMs = int(std::lround(m_interval->value() * 1000));
    return true;
}

void ChamberDialog::accept() {
    LabChamber checked;
    if (chamber(&checked)) QDialog::accept();
}
