// Copying and saving the two histories of the main panel: Ctrl+C in a history copies its
// selected entry, its context menu copies the entry under the pointer or the whole history, and
// File > Save histories writes both as UTF-8 text. An entry is copied whole, as the exchange put
// it in (the label the core reads), whatever the list shows of it.
#pragma once

#include <QObject>
#include <QStringList>

class Panel;
class QAction;
class QListWidget;
class QPoint;

class HistoryActions : public QObject {
public:
    explicit HistoryActions(Panel *panel);

    // The menu item that saves both histories.
    QAction *saveAction() const { return m_save; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The history's entries, newest first, each whole.
    QStringList entries(int control) const;
    int controlOf(const QObject *list) const; // 0 for neither history
    void showMenu(int control, QListWidget *list, const QPoint &at);
    void save();

    Panel *m_panel;
    QAction *m_save;
};
