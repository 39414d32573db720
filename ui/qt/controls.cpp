// The control kinds of the panel files as Qt widgets.
#include "ui/qt/controls.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <cmath>

namespace {

// Key code of a key press as callbacks see it: Enter and Esc have their own codes, keys that
// type a Latin-1 character carry it, other keys 0x0100 plus a key-specific low byte.
int keyCode(const QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VAL_ENTER_VKEY;
    case Qt::Key_Escape: return VAL_ESC_VKEY;
    default: break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() <= 0xff &&
        text[0].unicode() != 0x7f)
        return text[0].unicode();
    return 0x0100 | (event->key() & 0xff);
}

bool isEnter(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// A pair of stacked arrow buttons, named for what they do; up steps by -1 item (rings) or +1
// (numbers), see callers.
QWidget *arrowPair(QWidget *parent, int height, const QString &upName, const QString &downName,
                   const std::function<void(int)> &step) {
    auto *pair = new QWidget(parent);
    pair->setFixedSize(11, height);
    for (int i = 0; i < 2; i++) {
        auto *button = new QToolButton(pair);
        button->setArrowType(i == 0 ? Qt::UpArrow : Qt::DownArrow);
        button->setAccessibleName(i == 0 ? upName : downName);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        const int half = height / 2;
        button->setGeometry(0, i * half, 11, i == 0 ? half : height - half);
        // A repeat that falls due while a callback runs is dropped, as a tick is: the release
        // that would end the repeating waits with the operator's other input until it is over.
        QObject::connect(button, &QToolButton::clicked, pair, [step, i] {
            if (!dispatch::busy()) step(i == 0 ? 1 : -1);
        });
    }
    return pair;
}

// Text crosses to the core as Latin-1, where a character beyond it would become '?' and go out
// on the line as such. The field never holds one: a keystroke that types one is refused, and a
// pasted or dropped text keeps only its Latin-1 characters.
class Latin1Only : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &text, int &position) const override {
        QString kept;
        kept.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); i++) {
            if (text[i].unicode() <= 0xff)
                kept += text[i];
            else if (i < position)
                position--;
        }
        text = kept;
        return Acceptable;
    }
};

// Lays the parts of a composite control out side by side, the last one taking the rest.
void fillRow(QWidget *owner, std::initializer_list<QWidget *> parts) {
    auto *row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (QWidget *part : parts) row->addWidget(part);
    row->setStretch(int(parts.size()) - 1, 1);
}

bool validIndex(int index, int count) {
    return index >= 0 && index < count;
}

// Paints a list's items with their control characters visible.
class VisibleControls : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // the label itself: the base class would have turned a line feed into a line separator
    QString displayText(const QVariant &value, const QLocale &) const override {
        return withVisibleControls(value.toString());
    }
};

} // namespace

// What the line carried may hold control characters, which a list or text box would show as
// nothing or as a line break. They are shown as their Unicode pictures instead (ESC as U+241B,
// DEL as U+2421), while the text itself, as the program reads it back, keeps them.
QString withVisibleControls(QString text) {
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    return text;
}

NumericField::NumericField(int min, int max, int step, int value, QWidget *parent)
    : QWidget(parent), box(new QSpinBox(this)) {
    box->setRange(min, max);
    box->setSingleStep(step);
    box->setValue(value);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusProxy(box);
    QObject::connect(box, &QSpinBox::editingFinished, this, [this] { notify(EVENT_COMMIT, 0); });
    auto *arrows =
        arrowPair(this, 19, byLanguage(QStringLiteral("Erh\u00f6hen"), QStringLiteral("Increase")),
                  byLanguage(QStringLiteral("Verringern"), QStringLiteral("Decrease")),
                  [this](int direction) {
                      box->stepBy(direction);
                      notify(EVENT_COMMIT, 0);
                  });
    fillRow(this, {arrows, box});
}

int NumericField::intValue(int *value) const {
    *value = box->value();
    return 0;
}

int NumericField::setIntValue(int value) {
    box->setValue(value); // QSpinBox clamps into its range
    return 0;
}

Ring::Ring(const std::vector<RingItem> &items, int index, bool arrows, QWidget *parent)
    : QWidget(parent), combo(new QComboBox(this)) {
    for (const RingItem &item : items) combo->addItem(item.label, item.value);
    combo->setCurrentIndex(index);
    combo->setMaxVisibleItems(25);
    setFocusProxy(combo);
    QObject::connect(combo, &QComboBox::activated, this, [this] { notify(EVENT_COMMIT, 0); });
    if (arrows) {
        // the first item is the "highest": up moves towards it
        QWidget *pair = arrowPair(
            this, 19,
            byLanguage(QStringLiteral("Vorheriger Eintrag"), QStringLiteral("Previous item")),
            byLanguage(QStringLiteral("N\u00e4chster Eintrag"), QStringLiteral("Next item")),
            [this](int direction) {
                const int next = combo->currentIndex() - direction;
                if (!validIndex(next, combo->count())) return;
                combo->setCurrentIndex(next);
                notify(EVENT_COMMIT, 0);
            });
        fillRow(this, {pair, combo});
    } else {
        fillRow(this, {combo});
    }
}

int Ring::intValue(int *value) const {
    const QVariant data = combo->currentData();
    if (data.typeId() != QMetaType::Int) return UIE_BAD_TYPE;
    *value = data.toInt();
    return 0;
}

int Ring::setIntValue(int value) {
    const int index = combo->findData(value);
    if (index < 0) return UIE_BAD_INDEX;
    combo->setCurrentIndex(index);
    return 0;
}

int Ring::textValue(QString *text) const {
    const QVariant data = combo->currentData();
    if (data.typeId() != QMetaType::QString) return UIE_BAD_TYPE;
    *text = data.toString();
    return 0;
}

int Ring::setTextValue(const QString &text) {
    const int index = combo->findData(text);
    if (index < 0) return UIE_BAD_INDEX;
    combo->setCurrentIndex(index);
    return 0;
}

int Ring::currentIndex(int *index) const {
    *index = combo->currentIndex();
    return 0;
}

int Ring::setCurrentIndex(int index) {
    if (!validIndex(index, combo->count())) return UIE_BAD_INDEX;
    combo->setCurrentIndex(index);
    return 0;
}

int Ring::itemCount(int *count) const {
    *count = combo->count();
    return 0;
}

int Ring::itemLabel(int index, QString *label) const {
    if (!validIndex(index, combo->count())) return UIE_BAD_INDEX;
    *label = combo->itemText(index);
    return 0;
}

int Ring::insertItem(int index, const QString &label, const QVariant &value) {
    if (index == -1) index = combo->count();
    if (index < 0 || index > combo->count()) return UIE_BAD_INDEX;
    combo->insertItem(index, label, value);
    return 0;
}

int Ring::deleteItems(int index, int count) {
    if (!validIndex(index, combo->count())) return UIE_BAD_INDEX;
    const int end = count < 0 ? combo->count() : std::min(combo->count(), index + count);
    for (int i = end - 1; i >= index; i--) combo->removeItem(i);
    return 0;
}

RingSlide::RingSlide(const std::vector<RingItem> &items, int index, QRect trackRect, QRect boxRect,
                     QWidget *parent)
    : QWidget(parent), items(items), track(new QSlider(Qt::Vertical, this)),
      current(new QLabel(this)) {
    const QFontMetrics metrics(parent->font());
    int labelWidth = 0;
    for (const RingItem &item : items)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(item.label) + 2);
    const int gap = 4;
    const QRect area =
        QRect(trackRect.left() - gap - labelWidth, trackRect.top() - 6,
              boxRect.right() - trackRect.left() + gap + labelWidth + 1, trackRect.height() + 12)
            .united(boxRect);
    setGeometry(area);
    const QPoint origin = area.topLeft();

    const int last = int(items.size()) - 1;
    track->setGeometry(trackRect.translated(-origin));
    track->setRange(0, std::max(0, last));
    track->setPageStep(1);
    track->setTickPosition(QSlider::NoTicks);
    track->setValue(index);
    setFocusProxy(track);

    // item labels beside the stops, the first item at the bottom
    for (int i = 0; i <= last; i++) {
        auto *label = new QLabel(items[i].label, this);
        const int y = last == 0
                          ? trackRect.center().y()
                          : trackRect.top() + 5 + (last - i) * (trackRect.height() - 10) / last;
        label->setGeometry(trackRect.left() - gap - labelWidth - origin.x(),
                           y - metrics.height() / 2 - origin.y(), labelWidth, metrics.height());
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    current->setGeometry(boxRect.translated(-origin));
    current->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    current->setAutoFillBackground(true);
    current->setBackgroundRole(QPalette::Base);
    current->setIndent(2);
    showCurrent();
    QObject::connect(track, &QSlider::valueChanged, this, [this] {
        showCurrent();
        notify(EVENT_COMMIT, 0);
    });
}

void RingSlide::showCurrent() {
    const int index = track->value();
    if (!validIndex(index, int(items.size()))) return;
    // shrink a long label a little, then cut it; the tooltip shows it whole
    const QString &label = items[index].label;
    const int room = current->contentsRect().width() - 2 * current->indent();
    QFont small = font();
    while (QFontMetrics(small).horizontalAdvance(label) > room && small.pixelSize() > 9)
        small.setPixelSize(small.pixelSize() - 1);
    current->setFont(small);
    current->setText(QFontMetrics(small).elidedText(label, Qt::ElideRight, room));
    current->setToolTip(label);
}

int RingSlide::intValue(int *value) const {
    const QVariant &data = items[track->value()].value;
    if (data.typeId() != QMetaType::Int) return UIE_BAD_TYPE;
    *value = data.toInt();
    return 0;
}

int RingSlide::setIntValue(int value) {
    for (int i = 0; i < int(items.size()); i++) {
        if (items[i].value.typeId() == QMetaType::Int && items[i].value.toInt() == value) {
            const QSignalBlocker quiet(track);
            track->setValue(i);
            showCurrent();
            return 0;
        }
    }
    return UIE_BAD_INDEX;
}

int RingSlide::textValue(QString *text) const {
    const QVariant &data = items[track->value()].value;
    if (data.typeId() != QMetaType::QString) return UIE_BAD_TYPE;
    *text = data.toString();
    return 0;
}

int RingSlide::currentIndex(int *index) const {
    *index = track->value();
    return 0;
}

int RingSlide::setCurrentIndex(int index) {
    if (!validIndex(index, int(items.size()))) return UIE_BAD_INDEX;
    const QSignalBlocker quiet(track);
    track->setValue(index);
    showCurrent();
    return 0;
}

int RingSlide::itemCount(int *count) const {
    *count = int(items.size());
    return 0;
}

int RingSlide::itemLabel(int index, QString *label) const {
    if (!validIndex(index, int(items.size()))) return UIE_BAD_INDEX;
    *label = items[index].label;
    return 0;
}

ToggleSwitch::ToggleSwitch(bool on, QWidget *parent) : QAbstractButton(parent) {
    setCheckable(true);
    setChecked(on);
    setCursor(Qt::PointingHandCursor);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { notify(EVENT_COMMIT, 0); });
}

int ToggleSwitch::intValue(int *value) const {
    *value = isChecked() ? 1 : 0;
    return 0;
}

int ToggleSwitch::setIntValue(int value) {
    setChecked(value != 0);
    return 0;
}

void ToggleSwitch::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(palette().color(QPalette::Shadow), 1));
    painter.setBrush(palette().color(QPalette::Mid));
    painter.drawRoundedRect(body, 3, 3);
    // the lever fills the upper half when on, the lower half when off
    const qreal half = body.height() / 2;
    QRectF lever(body.left() + 2, body.top() + 2, body.width() - 4, half - 2);
    if (!isChecked()) lever.moveTop(body.top() + half);
    painter.setBrush(isChecked() ? QColor(60, 200, 60) : palette().color(QPalette::Button));
    painter.drawRoundedRect(lever, 2, 2);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
}

CommandButton::CommandButton(QWidget *parent) : QPushButton(parent) {
    QObject::connect(this, &QPushButton::clicked, this, [this] { notify(EVENT_COMMIT, 0); });
}

TextField::TextField(const QString &text, int maxLength, QWidget *parent) : QLineEdit(parent) {
    if (maxLength > 0) setMaxLength(maxLength);
    setValidator(new Latin1Only(this));
    setText(text);
}

int TextField::textValue(QString *value) const {
    *value = text();
    return 0;
}

int TextField::setTextValue(const QString &value) {
    setText(value); // QLineEdit cuts it to maxLength
    return 0;
}

void TextField::keyPressEvent(QKeyEvent *event) {
    notify(EVENT_KEYPRESS, keyCode(event));
    QLineEdit::keyPressEvent(event);
}

Led::Led(int value, QColor litColour, QWidget *parent)
    : QWidget(parent), on(value != 0), lit(litColour) {}

int Led::intValue(int *value) const {
    *value = on ? 1 : 0;
    return 0;
}

int Led::setIntValue(int value) {
    if (on == (value != 0)) return 0;
    on = value != 0;
    update();
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
    return 0;
}

void Led::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = std::min(width(), height()) - 2;
    const QRectF disc((width() - size) / 2, (height() - size) / 2, size, size);
    const QColor base = on ? lit : lit.darker(400);
    QRadialGradient shine(disc.center() - QPointF(size / 6, size / 6), size / 1.6);
    shine.setColorAt(0, on ? base.lighter(170) : base.lighter(130));
    shine.setColorAt(1, base);
    painter.setPen(QPen(palette().color(QPalette::Shadow), 1.5));
    painter.setBrush(shine);
    painter.drawEllipse(disc);
}

Decoration::Decoration(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ListBox::ListBox(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new VisibleControls(this));
    setUniformItemSizes(true);
    QObject::connect(this, &QListWidget::itemDoubleClicked, this,
                     [this] { notify(EVENT_COMMIT, 0); });
}

int ListBox::currentIndex(int *index) const {
    *index = currentItem() && currentItem()->isSelected() ? currentRow() : -1;
    return 0;
}

int ListBox::setCurrentIndex(int index) {
    if (!validIndex(index, count())) return UIE_BAD_INDEX;
    setCurrentRow(index);
    return 0;
}

int ListBox::itemCount(int *value) const {
    *value = count();
    return 0;
}

int ListBox::itemLabel(int index, QString *label) const {
    if (!validIndex(index, count())) return UIE_BAD_INDEX;
    *label = item(index)->text();
    return 0;
}

int ListBox::insertItem(int index, const QString &label, const QVariant &value) {
    if (index == -1) index = count();
    if (index < 0 || index > count()) return UIE_BAD_INDEX;
    auto *entry = new QListWidgetItem(label);
    entry->setData(Qt::UserRole, value);
    QListWidget::insertItem(index, entry);
    return 0;
}

int ListBox::deleteItems(int index, int number) {
    if (!validIndex(index, count())) return UIE_BAD_INDEX;
    const int end = number < 0 ? count() : std::min(count(), index + number);
    for (int i = end - 1; i >= index; i--) delete takeItem(i);
    return 0;
}

void ListBox::keyPressEvent(QKeyEvent *event) {
    if (isEnter(event)) {
        notify(EVENT_COMMIT, 0);
        return;
    }
    QListWidget::keyPressEvent(event);
}

TextBox::TextBox(const QString &text, bool monospace, QWidget *parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    if (monospace) {
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(12);
        setFont(mono);
    }
    setPlainText(text);
    given = text;
}

int TextBox::textValue(QString *text) const {
    *text = given;
    return 0;
}

int TextBox::setTextValue(const QString &text) {
    given = text;
    setPlainText(withVisibleControls(text));
    return 0;
}

void TextBox::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        notify(EVENT_COMMIT, 0);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextBox::mouseDoubleClickEvent(QMouseEvent *) {
    notify(EVENT_COMMIT, 0);
}

TextMessage::TextMessage(const QString &text, QWidget *parent) : QLabel(text, parent) {}

int TextMessage::textValue(QString *value) const {
    *value = text();
    return 0;
}

int TextMessage::setTextValue(const QString &value) {
    setText(value);
    return 0;
}

TimerControl::TimerControl(double intervalSeconds, bool enabled)
    : m_grid(intervalSeconds, enabled, [this] { notify(EVENT_TIMER_TICK, 0); }) {}

QPixmap helpPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 60, 140), 1));
    painter.setBrush(QColor(40, 110, 210));
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("?"));
    return picture;
}
