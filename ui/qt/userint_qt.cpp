// userint.h over Qt Widgets: the panel registry and the operations. When callbacks run is
// dispatch.cpp's affair.
#include "ui/qt/userint_qt.h"
#include "display/visible.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/display.h"
#include "ui/qt/panel.h"
#include "ui/qt/uir_files.h"
#include "ui/userint.h"

#include <QApplication>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QApplication *application;
std::map<int, QPointer<Panel>> panels;
int nextHandle = 1;
const CallbackBinding *callbackTable;
int callbackCount;

Panel *findPanel(int handle) {
    const auto found = panels.find(handle);
    return found == panels.end() ? nullptr : found->second.data();
}

// Looks up a control; on failure *error holds the code to return.
UiControl *findControl(int panel, int control, int *error) {
    Panel *owner = findPanel(panel);
    UiControl *found = owner ? owner->control(control) : nullptr;
    *error = !owner ? UIE_BAD_PANEL : !found ? UIE_BAD_CONTROL : 0;
    return found;
}

// Copies text out as Latin-1, cut to size - 1 bytes and terminated.
int copyOut(const QString &text, char *destination, int size) {
    if (size <= 0) return UIE_BAD_TYPE;
    const QByteArray bytes = text.toLatin1();
    const int length = std::min<int>(int(bytes.size()), size - 1);
    std::memcpy(destination, bytes.constData(), size_t(length));
    destination[length] = '\0';
    return 0;
}

QString fromLatin1(const char *text) {
    return QString::fromLatin1(text ? text : "");
}

CtrlCallbackPtr bindName(const QString &name) {
    if (name.isEmpty()) return nullptr;
    for (int i = 0; i < callbackCount; i++)
        if (name == QLatin1String(callbackTable[i].name)) return callbackTable[i].function;
    return nullptr;
}

// Whether a widget is the ancestor or lies within it, also across windows: a child panel is a
// window of its own, which QWidget::isAncestorOf does not look into.
bool within(const QWidget *widget, const QWidget *ancestor) {
    for (; widget; widget = widget->parentWidget())
        if (widget == ancestor) return true;
    return false;
}

// Brings a panel's window to the front; the offscreen platform used by tests has no stacking.
void bringToFront(Panel *panel) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) panel->raise();
}

// Places a child panel at its offset within its parent's area.
void placeChild(Panel *panel) {
    if (auto *parent = dynamic_cast<Panel *>(panel->parentWidget()))
        panel->move(parent->area()->mapToGlobal(panel->offset));
}

// A panel stands where its file or its parent puts it, moved only as far as it must to lie on
// the screen's free area: at 200 % a screen has half the room, and a panel placed for a large
// screen would be cut off. A panel larger than the room is made as large as the room, frame
// included (its area then scrolls), and keeps its top left corner on it.
void keepOnScreen(Panel *panel) {
    QScreen *screen = QGuiApplication::screenAt(panel->pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    panel->fitInto(room.size() - (panel->frameGeometry().size() - panel->size()));
    const QSize size = panel->frameGeometry().size();
    panel->move(std::max(room.left(), std::min(panel->x(), room.right() + 1 - size.width())),
                std::max(room.top(), std::min(panel->y(), room.bottom() + 1 - size.height())));
}

// Qt ends the program with abort() when no platform plugin starts: a display that cannot be
// reached, an unknown QT_QPA_PLATFORM. While the application object is made, Qt's messages are
// held back; such an end becomes one clear line and the status of a window that cannot be set up,
// and after a good start the held messages go on as usual.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler passOn;

// The first reason Qt gave, and for a platform chosen by name the ones there are.
QString startFailure(const QString &fatal, bool platformChosen) {
    QStringList reasons;
    reasons << (heldMessages.empty() ? fatal : heldMessages.front().text).simplified();
    const qsizetype available = fatal.indexOf(QLatin1String("Available platform plugins"));
    if (platformChosen && available >= 0) reasons << fatal.mid(available).simplified();
    return reasons.join(QStringLiteral("; "));
}

void holdStartMessages(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, context.category, text});
        return;
    }
    const QString display = qEnvironmentVariable(
        qEnvironmentVariableIsEmpty("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY");
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString line =
        QStringLiteral("cannot open %1%2 (%3); use --send for a run without a window")
            .arg(display.isEmpty() ? QStringLiteral("a display") : "the display " + display,
                 platform.isEmpty() ? QString() : " with the platform " + platform,
                 startFailure(text, !platform.isEmpty()));
    std::fputs("kelvra-ascii: ", stderr);
    put_bytes_visible(line.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    (void)std::fflush(stderr); // nothing is left to report a failure to
    std::_Exit(EXIT_NO_WINDOW);
}

QApplication *startApplication(int &argc, char **argv) {
    heldMessages.clear();
    passOn = qInstallMessageHandler(holdStartMessages);
    auto *started = new QApplication(argc, argv);
    qInstallMessageHandler(passOn);
    for (const HeldMessage &held : heldMessages)
        passOn(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category.constData()),
               held.text);
    heldMessages.clear();
    return started;
}

} // namespace

int InitCVIRTE(void *, char *argv[], void *) {
    if (application) return 1;
    if (auto *existing = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        application = existing;
    } else {
        if (!displayAvailable()) return 0;
        static int argc = 0;
        static char fallbackName[] = "kelvra-ascii";
        static char *fallback[] = {fallbackName, nullptr};
        if (!argv || !argv[0]) argv = fallback;
        while (argv[argc]) argc++;
        application = startApplication(argc, argv);
    }
    // the desktop entry of the same name gives the window its name and icon in the desktop
    QGuiApplication::setDesktopFileName(QStringLiteral(KELVRA_APP_ID));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVRA_VERSION));
    // QApplication sets the whole C locale from the system's; the formatters' printf and atof
    // need the decimal point whatever the operator's language ("030.0", not "030,0").
    (void)std::setlocale(LC_NUMERIC, "C"); // "C" always exists
    return 1;
}

int SetCallbackTable(const CallbackBinding *table, int count) {
    callbackTable = table;
    callbackCount = table ? count : 0;
    return 0;
}

int LoadPanel(int parentPanel, const char *fileName, int panelResourceId) {
    if (!application) return UIE_NOT_INITIALISED;
    Panel *parent = nullptr;
    if (parentPanel != 0 && !(parent = findPanel(parentPanel))) return UIE_BAD_PANEL;
    const QJsonDocument *file = parsedPanelFile(fileName);
    if (!file) return UIE_NO_FILE;
    const QJsonObject definition = panelDefinition(*file, panelResourceId);
    if (definition.isEmpty()) return UIE_NO_FILE;
    const int handle = nextHandle;
    Panel *panel = buildPanel(definition, handle, parent, bindName);
    if (!panel) return UIE_NO_FILE;
    nextHandle++;
    panels[handle] = panel;
    return handle;
}

int DisplayPanel(int panel) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    placeChild(found);
    keepOnScreen(found);
    found->show();
    keepOnScreen(found); // again with the window frame, now that the platform knows it
    bringToFront(found);
    return 0;
}

int InstallPopup(int panel) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    if (found->isVisible() && found->windowModality() != Qt::ApplicationModal) found->hide();
    found->popup = true;
    found->setWindowModality(Qt::ApplicationModal);
    placeChild(found);
    keepOnScreen(found);
    found->show();
    keepOnScreen(found);
    bringToFront(found);
    found->activateWindow();
    return 0;
}

int DiscardPanel(int panel) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    // child panels go with their parent; no timer of theirs may tick before they are deleted
    for (auto it = panels.begin(); it != panels.end();) {
        if (!it->second || within(it->second, found)) {
            if (it->second)
                for (auto &timer : it->second->timers) timer->stop();
            it = panels.erase(it);
        } else {
            ++it;
        }
    }
    found->hide();
    found->deleteLater(); // the panel may be discarded from inside one of its own events
    return 0;
}

int RunUserInterface(void) {
    if (!application) return UIE_NOT_INITIALISED;
    return dispatch::run();
}

int GetCtrlVal(int panel, int control, int *value) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->intValue(value) : error;
}

int GetCtrlValText(int panel, int control, char *text, int textSize) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    if (!found) return error;
    QString value;
    if (const int result = found->textValue(&value); result < 0) return result;
    return copyOut(value, text, textSize);
}

int SetCtrlVal(int panel, int control, int value) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->setIntValue(value) : error;
}

int SetCtrlVal(int panel, int control, const char *text) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->setTextValue(fromLatin1(text)) : error;
}

int SetActiveCtrl(int panel, int control) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    if (!found) return error;
    if (!found->widget()) return UIE_BAD_TYPE;
    found->widget()->setFocus(Qt::OtherFocusReason);
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    if (!found) return error;
    if (attribute != ATTR_TOOLTIP_TEXT || !found->widget()) return UIE_BAD_TYPE;
    found->widget()->setToolTip(fromLatin1(value));
    return 0;
}

int GetCtrlIndex(int panel, int control, int *index) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->currentIndex(index) : error;
}

int SetCtrlIndex(int panel, int control, int index) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->setCurrentIndex(index) : error;
}

int GetLabelFromIndexText(int panel, int control, int index, char *label, int labelSize) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    if (!found) return error;
    QString text;
    if (const int result = found->itemLabel(index, &text); result < 0) return result;
    return copyOut(text, label, labelSize);
}

int GetNumListItems(int panel, int control, int *count) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->itemCount(count) : error;
}

int DeleteListItem(int panel, int control, int index, int count) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->deleteItems(index, count) : error;
}

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->insertItem(index, fromLatin1(label), value) : error;
}

int ResetTextBox(int panel, int control, const char *text) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    if (!found) return error;
    if (!dynamic_cast<TextBox *>(found)) return UIE_BAD_TYPE;
    return found->setTextValue(fromLatin1(text));
}

int GetPanelAttributeText(int panel, int attribute, char *value, int valueSize) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    return copyOut(found->windowTitle(), value, valueSize);
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    found->setWindowTitle(fromLatin1(value));
    return 0;
}

int MessagePopup(const char *title, const char *message) {
    if (!application) return UIE_NOT_INITIALISED;
    QMessageBox box(QMessageBox::NoIcon, fromLatin1(title), fromLatin1(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    // the box's own event loop starts no callback, also when it is shown outside one
    dispatch::guarded([&box] { box.exec(); });
    return 0;
}

QWidget *PanelWidget(int panel) {
    return findPanel(panel);
}

QWidget *ControlWidget(int panel, int control) {
    int error;
    UiControl *found = findControl(panel, control, &error);
    return found ? found->widget() : nullptr;
}
