// The Qt widgets behind the control kinds of the panel files, and what userint.h asks of them.
#pragma once

#include "ui/qt/grid_timer.h"
#include "ui/qt/uir_files.h"
#include "ui/userint.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVariant>

#include <functional>
#include <vector>

// Passes an event of a control on to its callback: (event code, event data 1).
using Notify = std::function<void(int event, int eventData1)>;

// A text from the line as the histories show it: each control character as its Unicode picture
// (ESC as U+241B), so that none shows as a box, nothing or a line break.
QString withVisibleControls(QString text);

// What userint.h asks of a control. Each kind overrides what it holds; the rest reports
// UIE_BAD_TYPE. Texts are QStrings here; the layer converts them to Latin-1 at the header.
class UiControl {
public:
    virtual ~UiControl() = default;
    virtual QWidget *widget() = 0; // null for the invisible timer

    virtual int intValue(int *) const { return UIE_BAD_TYPE; }
    virtual int setIntValue(int) { return UIE_BAD_TYPE; }
    virtual int textValue(QString *) const { return UIE_BAD_TYPE; }
    virtual int setTextValue(const QString &) { return UIE_BAD_TYPE; }

    virtual int currentIndex(int *) const { return UIE_BAD_TYPE; }
    virtual int setCurrentIndex(int) { return UIE_BAD_TYPE; }
    virtual int itemCount(int *) const { return UIE_BAD_TYPE; }
    virtual int itemLabel(int, QString *) const { return UIE_BAD_TYPE; }
    virtual int insertItem(int, const QString &, const QVariant &) { return UIE_BAD_TYPE; }
    virtual int deleteItems(int, int) { return UIE_BAD_TYPE; }

    Notify notify = [](int, int) {};    // the operator's events: held back while a callback runs
    CtrlCallbackPtr callback = nullptr; // what notify calls, bound by the panel loader
};

// Integer field with up and down arrows at its left end; keeps its value in [min, max].
class NumericField : public QWidget, public UiControl {
public:
    NumericField(int min, int max, int step, int value, QWidget *parent);
    QWidget *widget() override { return this; }
    int intValue(int *value) const override;
    int setIntValue(int value) override;
    QSpinBox *spinBox() const { return box; }

private:
    QSpinBox *box;
};

// Ring: one item of a fixed list shown at a time, chosen from a drop-down list or, with arrows,
// stepped through. Values are ints or texts.
class Ring : public QWidget, public UiControl {
public:
    Ring(const std::vector<RingItem> &items, int index, bool arrows, QWidget *parent);
    QWidget *widget() override { return this; }
    int intValue(int *value) const override;
    int setIntValue(int value) override;
    int textValue(QString *text) const override;
    int setTextValue(const QString &text) override;
    int currentIndex(int *index) const override;
    int setCurrentIndex(int index) override;
    int itemCount(int *count) const override;
    int itemLabel(int index, QString *label) const override;
    int insertItem(int index, const QString &label, const QVariant &value) override;
    int deleteItems(int index, int count) override;
    QComboBox *comboBox() const { return combo; }

private:
    QComboBox *combo;
};

// Vertical slider with one stop per item: item labels left of the track, the current item's
// label in a box right of it. The first item is at the bottom.
class RingSlide : public QWidget, public UiControl {
public:
    // geometry of the track and of the box, in the parent's coordinates
    RingSlide(const std::vector<RingItem> &items, int index, QRect track, QRect box,
              QWidget *parent);
    QWidget *widget() override { return this; }
    int intValue(int *value) const override;
    int setIntValue(int value) override;
    int textValue(QString *text) const override;
    int currentIndex(int *index) const override;
    int setCurrentIndex(int index) override;
    int itemCount(int *count) const override;
    int itemLabel(int index, QString *label) const override;
    QSlider *slider() const { return track; }

private:
    void showCurrent();
    std::vector<RingItem> items;
    QSlider *track;
    QLabel *current;
};

// Two-position switch: lever up and lit when on.
class ToggleSwitch : public QAbstractButton, public UiControl {
public:
    ToggleSwitch(bool on, QWidget *parent);
    QWidget *widget() override { return this; }
    int intValue(int *value) const override;
    int setIntValue(int value) override;

protected:
    void paintEvent(QPaintEvent *) override;
};

// Push button with a caption or a picture; commits when pressed.
class CommandButton : public QPushButton, public UiControl {
public:
    explicit CommandButton(QWidget *parent);
    QWidget *widget() override { return this; }
};

// One-line text field of Latin-1 characters only. Every key press goes to the callback first
// and then to the field.
class TextField : public QLineEdit, public UiControl {
public:
    TextField(const QString &text, int maxLength, QWidget *parent);
    QWidget *widget() override { return this; }
    int textValue(QString *text) const override;
    int setTextValue(const QString &text) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Round indicator light: dark when 0, lit when nonzero.
class Led : public QWidget, public UiControl {
public:
    Led(int value, QColor litColour, QWidget *parent);
    QWidget *widget() override { return this; }
    int intValue(int *value) const override;
    int setIntValue(int value) override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    int on;
    QColor lit;
};

// Sunken frame drawn behind the controls it groups.
class Decoration : public QFrame, public UiControl {
public:
    explicit Decoration(QWidget *parent);
    QWidget *widget() override { return this; }
};

// List of text items. Commits on Enter (also with nothing selected) and on a double-click on
// an item. Item values are kept but never read back. Control characters in a label are shown as
// symbols; the label reads back as it was given.
class ListBox : public QListWidget, public UiControl {
public:
    explicit ListBox(QWidget *parent);
    QWidget *widget() override { return this; }
    int currentIndex(int *index) const override;
    int setCurrentIndex(int index) override;
    int itemCount(int *count) const override;
    int itemLabel(int index, QString *label) const override;
    int insertItem(int index, const QString &label, const QVariant &value) override;
    int deleteItems(int index, int count) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Multi-line text box the operator reads and selects in; commits on Esc and on a double-click.
// The panel file's text keeps its line breaks. A text the program sets is a history entry shown
// whole: its control characters, line feeds included, are shown as symbols, as in the list, and
// it reads back as it was given.
class TextBox : public QPlainTextEdit, public UiControl {
public:
    TextBox(const QString &text, bool monospace, QWidget *parent);
    QWidget *widget() override { return this; }
    int textValue(QString *text) const override;
    int setTextValue(const QString &text) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QString given;
};

// Static text.
class TextMessage : public QLabel, public UiControl {
public:
    TextMessage(const QString &text, QWidget *parent);
    QWidget *widget() override { return this; }
    int textValue(QString *text) const override;
    int setTextValue(const QString &text) override;
};

// Invisible timer control, ticking on its fixed grid (GridTimer).
class TimerControl : public UiControl {
public:
    TimerControl(double intervalSeconds, bool enabled);
    QWidget *widget() override { return nullptr; }
    void stop() { m_grid.stop(); }

private:
    GridTimer m_grid;
};

// The help button's "?" picture, size pixels square.
QPixmap helpPicture(int size);
