// Starting and stopping the log file from the window.
#include "ui/qt/log_recorder.h"

#include "record/log.h"
#include "record/logging.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/settings.h"
#include "ui/workbench.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>

#include <cerrno>

namespace {

LogRecorder *recorder; // the main window's, once it is open

// The cause in the panel's language: in German with the system's own words (English in most
// installations) in parentheses.
QString cause(int error) {
    const QString system = QString::fromLocal8Bit(logging_cause(error));
    if (error == LOG_NOT_A_FILE)
        return byLanguage(QStringLiteral("keine gew\u00f6hnliche Datei (eine FIFO, ein Socket oder "
                                         "ein Ger\u00e4t k\u00f6nnte die Austausche aufhalten)"),
                          system);
    QString german;
    switch (-error) {
    case ENOSPC: german = QStringLiteral("auf dem Datentr\u00e4ger ist kein Platz mehr"); break;
#ifdef EDQUOT
    case EDQUOT: german = QStringLiteral("das Speicherkontingent ist ersch\u00f6pft"); break;
#endif
    case EFBIG: german = QStringLiteral("die Datei ist zu gro\u00df"); break;
    case EACCES:
    case EPERM: german = QStringLiteral("Zugriff verweigert"); break;
    case EROFS: german = QStringLiteral("das Dateisystem ist schreibgesch\u00fctzt"); break;
    case ENOENT: german = QStringLiteral("der Ordner oder die Datei fehlt"); break;
    case EISDIR: german = QStringLiteral("das ist ein Ordner"); break;
    case EIO: german = QStringLiteral("Ein-/Ausgabefehler des Datentr\u00e4gers"); break;
    default: german = QStringLiteral("Fehler des Dateisystems"); break;
    }
    return byLanguage(QStringLiteral("%1 (%2)").arg(german, system), system);
}

} // namespace

LogRecorder::LogRecorder(QWidget *window, QLabel *status)
    : QObject(window), m_window(window), m_status(status),
      m_action(new QAction(byLanguage(QStringLiteral("Protokoll &aufzeichnen\u2026"),
                                      QStringLiteral("&Record log\u2026")),
                           this)) {
    m_action->setCheckable(true);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(m_action, &QAction::triggered, this, [this] { toggle(); });
    on_logging_failure(writeFailed, this);
    on_logging_reopened(reopened, this);
    recorder = this;
}

LogRecorder::~LogRecorder() {
    if (recorder != this) return;
    recorder = nullptr;
    on_logging_failure(nullptr, nullptr);
    on_logging_reopened(nullptr, nullptr);
}

int LogRecorder::start(const QString &path) {
    const int error = start_logging(QFile::encodeName(path).constData());
    if (error != 0) report(path, error, true);
    showState();
    return error;
}

void LogRecorder::toggle() {
    showState(); // the click has flipped the check mark; the log decides it
    // never while an exchange runs: it may be logging its row
    dispatch::whenIdle([this] {
        if (logging_path()) {
            stop_logging();
            Settings::setValue(QStringLiteral("log/file"), QString());
        } else if (const QString path = choosePath(); !path.isEmpty()) {
            Settings::rememberFolder(QStringLiteral("log"), path);
            // the next start resumes it, as the operator left it
            if (start(path) == 0)
                Settings::setValue(QStringLiteral("log/file"), QFileInfo(path).absoluteFilePath());
        }
        showState();
    });
}

QString LogRecorder::choosePath() {
    QFileDialog dialog(m_window, byLanguage(QStringLiteral("Protokoll aufzeichnen"),
                                            QStringLiteral("Record log")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // rows are appended, nothing replaced
    dialog.setNameFilters(
        {byLanguage(QStringLiteral("CSV-Dateien (*.csv)"), QStringLiteral("CSV files (*.csv)")),
         byLanguage(QStringLiteral("Alle Dateien (*)"), QStringLiteral("All files (*)"))});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setDirectory(Settings::folder(QStringLiteral("log"), QDir::homePath()));
    dialog.selectFile(
        QStringLiteral("kelvra-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)));
    QString chosen;
    dispatch::guarded([&] {
        if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedFiles().value(0);
    });
    return chosen;
}

void LogRecorder::showState() {
    const char *path = logging_path();
    m_action->setChecked(path != nullptr);
    if (!path) {
        m_status->clear();
        m_status->setToolTip(QString());
        m_status->hide();
        return;
    }
    const QString file = QFile::decodeName(path);
    m_status->setText(byLanguage(QStringLiteral("Protokoll: %1"), QStringLiteral("Log: %1"))
                          .arg(QFileInfo(file).fileName()));
    m_status->setToolTip(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
    m_status->show();
}

void LogRecorder::report(const QString &path, int error, bool opening) {
    const QString file = QDir::toNativeSeparators(path);
    const QString text =
        opening
            ? byLanguage(QStringLiteral("Die Protokolldatei %1 kann nicht ge\u00f6ffnet werden: "
                                        "%2."),
                         QStringLiteral("The log file %1 cannot be opened: %2."))
                  .arg(file, cause(error))
            : byLanguage(QStringLiteral("In die Protokolldatei %1 kann nicht geschrieben "
                                        "werden: %2. Die Aufzeichnung ist beendet; die "
                                        "Kammer wird weiter abgefragt."),
                         QStringLiteral("The log file %1 cannot be written: %2. Logging has "
                                        "stopped; the exchanges with the chamber go on."))
                  .arg(file, cause(error));
    auto *box = new QMessageBox(QMessageBox::Warning,
                                byLanguage(QStringLiteral("Protokoll"), QStringLiteral("Log")),
                                text, QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void LogRecorder::writeFailed(const char *path, int error, void *recorder) {
    auto *self = static_cast<LogRecorder *>(recorder);
    self->showState();
    self->report(QFile::decodeName(path), error, false);
}

void LogRecorder::reopened(const char *path, void *recorder) {
    auto *self = static_cast<LogRecorder *>(recorder);
    self->showState();
    self->m_status->setText(byLanguage(QStringLiteral("Protokoll: %1 neu begonnen (die Datei war "
                                                      "verschoben oder gel\u00f6scht)"),
                                       QStringLiteral("Log: %1 begun anew (the file had been moved "
                                                      "or deleted)"))
                                .arg(QFileInfo(QFile::decodeName(path)).fileName()));
}

int record_log(const char *path) {
    if (!recorder) return start_logging(path);
    return recorder->start(QFile::decodeName(path));
}
