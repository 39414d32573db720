// Asks for a chamber to add to the lab: port, address, name, commands and interval.
#pragma once

#include "exchange/lab.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class ChamberDialog : public QDialog {
public:
    explicit ChamberDialog(QWidget *parent);

    // The chamber as entered; false with the reason shown in the dialog when it is not valid.
    bool chamber(LabChamber *chamber) const;

    QComboBox *port() const { return m_port; }
    QSpinBox *address() const { return m_address; }
    QLineEdit *name() const { return m_name; }
    QLineEdit *commands() const { return m_commands; }

protected:
    void accept() override;

private:
    QComboBox *m_port;
    QSpinBox *m_address;
    QLineEdit *m_name;
    QLineEdit *m_commands;
    QDoubleSpinBox *m_interval;
    QLabel *m_problem;
};
