// Copy and save of the histories.
#include "ui/qt/history_actions.h"

#include "ui/ascii.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/panel.h"
#include "ui/qt/settings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

namespace {

const int histories[] = {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN};

QString heading(int control) {
    return control == ZEICHEN_GESENDET
               ? byLanguage(QStringLiteral("Zeichen gesendet (neueste zuerst)"),
                            QStringLiteral("Characters sent (newest first)"))
               : byLanguage(QStringLiteral("Zeichen empfangen (neueste zuerst)"),
                            QStringLiteral("Characters received (newest first)"));
}

// Entries one to a line.
QString asLines(const QStringList &entries) {
    QString text;
    for (const QString &entry : entries) text += entry + QLatin1Char('\n');
    return text;
}

} // namespace

HistoryActions::HistoryActions(Panel *panel)
    : QObject(panel), m_panel(panel),
      m_save(new QAction(byLanguage(QStringLiteral("Verl\u00e4ufe &speichern\u2026"),
                                    QStringLiteral("&Save histories\u2026")),
                         this)) {
    connect(m_save, &QAction::triggered, this, [this] { dispatch::whenIdle([this] { save(); }); });
    for (int control : histories) {
        UiControl *history = m_panel->control(control);
        auto *list = history ? qobject_cast<QListWidget *>(history->widget()) : nullptr;
        if (!list) continue;
        list->installEventFilter(this);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, control, list](const QPoint &at) { showMenu(control, list, at); });
    }
}

QStringList HistoryActions::entries(int control) const {
    QStringList all;
    UiControl *history = m_panel->control(control);
    int count = 0;
    if (!history || history->itemCount(&count) < 0) return all;
    for (int i = 0; i < count; i++) {
        QString label;
        if (history->itemLabel(i, &label) == 0) all << label;
    }
    return all;
}

int HistoryActions::controlOf(const QObject *list) const {
    for (int control : histories)
        if (UiControl *history = m_panel->control(control); history && history->widget() == list)
            return control;
    return 0;
}

bool HistoryActions::eventFilter(QObject *watched, QEvent *event) {
    // the type first: other events come also while the panel is being destroyed
    if (event->type() != QEvent::KeyPress ||
        !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy))
        return false;
    const int control = controlOf(watched);
    if (control == 0) return false;
    int index = -1;
    m_panel->control(control)->currentIndex(&index);
    const QStringList all = entries(control);
    if (index >= 0 && index < all.size()) QApplication::clipboard()->setText(all[index]);
    return true;
}

// The entries are taken now: an exchange may push the history on while the menu is open, which
// never blocks them.
void HistoryActions::showMenu(int control, QListWidget *list, const QPoint &at) {
    const QStringList all = entries(control);
    const int row = list->indexAt(at).row();
    const QString entry = all.value(row); // empty outside the entries

    auto *menu = new QMenu(list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *copyEntry = menu->addAction(
        byLanguage(QStringLiteral("Eintrag &kopieren"), QStringLiteral("&Copy entry")),
        [entry] { QApplication::clipboard()->setText(entry); });
    copyEntry->setEnabled(row >= 0);
    QAction *copyAll = menu->addAction(
        byLanguage(QStringLiteral("&Verlauf kopieren"), QStringLiteral("Copy &history")),
        [all] { QApplication::clipboard()->setText(asLines(all)); });
    copyAll->setEnabled(!all.isEmpty());
    menu->popup(list->viewport()->mapToGlobal(at));
}

void HistoryActions::save() {
    QFileDialog dialog(m_panel, byLanguage(QStringLiteral("Verl\u00e4ufe speichern"),
                                           QStringLiteral("Save histories")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {byLanguage(QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Text files (*.txt)")),
         byLanguage(QStringLiteral("Alle Dateien (*)"), QStringLiteral("All files (*)"))});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(Settings::folder(QStringLiteral("histories"), QDir::homePath()));
    dialog.selectFile(byLanguage(QStringLiteral("verlaeufe.txt"), QStringLiteral("histories.txt")));
    QString path;
    dispatch::guarded([&] {
        if (dialog.exec() == QDialog::Accepted) path = dialog.selectedFiles().value(0);
    });
    if (path.isEmpty()) return;
    Settings::rememberFolder(QStringLiteral("histories"), path);

    QString text;
    for (int control : histories)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + heading(control) +
                QLatin1Char('\n') + asLines(entries(control));
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                       file.write(text.toUtf8()) >= 0 && file.commit();
    if (saved) return;
    const QString message =
        byLanguage(QStringLiteral("Die Verl\u00e4ufe k\u00f6nnen nicht in %1 gespeichert "
                                  "werden: %2."),
                   QStringLiteral("The histories cannot be saved to %1: %2."))
            .arg(QDir::toNativeSeparators(path), file.errorString());
    dispatch::guarded([&] {
        QMessageBox::warning(
            m_panel,
            byLanguage(QStringLiteral("Verl\u00e4ufe speichern"), QStringLiteral("Save histories")),
            message);
    });
}
