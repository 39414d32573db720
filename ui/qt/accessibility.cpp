// Names for the panels' controls, and the interfaces of the two controls whose state Qt's own
// interfaces cannot tell: the lamp (on or off) and the display-mode slider (its item by name).
#include "ui/qt/accessibility.h"

#include "ui/qt/controls.h"
#include "ui/qt/language.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace {

// The lamp: an indicator, on or off.
class LampInterface : public QAccessibleWidget {
public:
    explicit LampInterface(Led *lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = lit();
        state.readOnly = true;
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Value) return QAccessibleWidget::text(t);
        return lit() ? byLanguage(QStringLiteral("an"), QStringLiteral("on"))
                     : byLanguage(QStringLiteral("aus"), QStringLiteral("off"));
    }

private:
    bool lit() const {
        int on = 0;
        static_cast<Led *>(widget())->intValue(&on);
        return on != 0;
    }
};

// The display-mode slider: its value is the current item's label, its steps the items.
class SlideInterface : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SlideInterface(QSlider *track, RingSlide *slide)
        : QAccessibleWidget(track, QAccessible::Slider), m_slide(slide) {}
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Value) return QAccessibleWidget::text(t);
        int index = 0;
        QString label;
        m_slide->currentIndex(&index);
        m_slide->itemLabel(index, &label);
        return label;
    }
    void *interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return track()->value(); }
    void setCurrentValue(const QVariant &value) override { track()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return track()->maximum(); }
    QVariant minimumValue() const override { return track()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    QSlider *track() const { return static_cast<QSlider *>(widget()); }
    RingSlide *m_slide;
};

// A ring's list, or a drop-down list the program names: called by its name, where Qt's own
// interface on Unix calls it by its current item and leaves the name to a label beside it (the
// ring's label stands beside the ring, not beside the list inside it). Its value is the item.
class ComboInterface : public QAccessibleWidget {
public:
    explicit ComboInterface(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && combo()->accessibleName().isEmpty()))
            return combo()->currentText();
        const QString text = QAccessibleWidget::text(t);
        // the port ring tells on its tooltip which device the port name opens
        if (t == QAccessible::Description && text.isEmpty())
            return combo()->parentWidget()->toolTip();
        return text;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = combo()->view()->isVisible();
        return state;
    }
    // the list it drops down
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        return child && child->object() == combo()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override {
        if (action != showMenuAction() && action != pressAction()) return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

// Asked for every object before Qt's own factory, with the name of each class of the object's
// from the most derived on; the controls have no meta-object of their own.
QAccessibleInterface *controlInterface(const QString &, QObject *object) {
    if (auto *lamp = dynamic_cast<Led *>(object)) return new LampInterface(lamp);
    // a drop-down list that is named before it is filled, or a ring's, named when loaded
    auto *combo = qobject_cast<QComboBox *>(object);
    if (combo && !combo->isEditable() &&
        (!combo->accessibleName().isEmpty() || dynamic_cast<Ring *>(combo->parentWidget())))
        return new ComboInterface(combo);
    auto *track = qobject_cast<QSlider *>(object);
    if (auto *slide = track ? dynamic_cast<RingSlide *>(track->parent()) : nullptr)
        return new SlideInterface(track, slide);
    return nullptr;
}

// The label's text as a name: without the mark of its mnemonic ("&&" is a "&").
QString withoutMnemonic(QString text) {
    for (qsizetype i = 0; i < text.size(); i++)
        if (text[i] == QLatin1Char('&')) text.remove(i, 1);
    return text;
}

QString pictureName(const QString &picture) {
    if (picture == QLatin1String("help"))
        return byLanguage(QStringLiteral("Hilfe zum Rahmenaufbau"),
                          QStringLiteral("Help on the frame format"));
    return picture;
}

} // namespace

void describeControl(UiControl *control, const QJsonObject &definition, QLabel *label,
                     const QString &panelTitle) {
    static const bool installed = [] {
        QAccessible::installFactory(controlInterface);
        return true;
    }();
    (void)installed;
    QWidget *widget = control->widget();
    if (!widget || definition["kind"] == QLatin1String("decoration")) return;

    QWidget *focusPart = widget->focusProxy() ? widget->focusProxy() : widget;
    QString name;
    if (label) {
        label->setBuddy(focusPart);
        name = withoutMnemonic(label->text());
    } else if (!definition["caption"].toString().isEmpty()) {
        name = definition["caption"].toString();
    } else if (definition.contains(QLatin1String("picture"))) {
        name = pictureName(definition["picture"].toString());
    } else if (definition["kind"] == QLatin1String("text_message")) {
        return; // its text is its name
    } else {
        name = panelTitle;
    }
    widget->setAccessibleName(name);
    focusPart->setAccessibleName(name);
}
