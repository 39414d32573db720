// A panel's window and the loader that builds it from its file (format: ui/panels/FORMAT.md).
#include "ui/qt/panel.h"
#include "ui/qt/accessibility.h"
#include "ui/qt/dispatch.h"

#include <QCloseEvent>
#include <QJsonArray>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QRect geometryOf(const QJsonObject &object) {
    return QRect(object["left"].toInt(), object["top"].toInt(), object["width"].toInt(),
                 object["height"].toInt());
}

// Creates the control of one definition; null for an unknown kind.
UiControl *createControl(const QJsonObject &def, Panel *panel) {
    QWidget *owner = panel->area();
    const QString kind = def["kind"].toString();
    const QRect area = geometryOf(def);
    if (kind == "numeric")
        return new NumericField(def["min"].toInt(), def["max"].toInt(), def["step"].toInt(1),
                                def["default"].toInt(), owner);
    if (kind == "ring")
        return new Ring(ringItems(def), def["default"].toInt(), def["arrows"].toBool(), owner);
    if (kind == "ring_slide")
        return new RingSlide(ringItems(def), def["default"].toInt(), area,
                             geometryOf(def["box"].toObject()), owner);
    if (kind == "toggle") return new ToggleSwitch(def["default"].toInt() != 0, owner);
    if (kind == "command_button" || kind == "picture_button") {
        auto *button = new CommandButton(owner);
        button->setText(def["caption"].toString());
        if (def["picture"].toString() == "help") {
            const int side = std::min(area.width(), area.height()) - 8;
            button->setIcon(helpPicture(side));
            button->setIconSize(QSize(side, side));
        }
        return button;
    }
    if (kind == "text_field")
        return new TextField(def["default"].toString(), def["max_length"].toInt(), owner);
    if (kind == "led")
        return new Led(def["default"].toInt(), QColor(def["colour"].toString()), owner);
    if (kind == "decoration") return new Decoration(owner);
    if (kind == "list_box") return new ListBox(owner);
    if (kind == "text_box")
        return new TextBox(panelText(def["default"]), def["font"].toString() == "mono", owner);
    if (kind == "text_message") return new TextMessage(panelText(def["default"]), owner);
    if (kind == "timer") {
        panel->timers.push_back(
            std::make_unique<TimerControl>(def["interval"].toDouble(), def["enabled"].toBool()));
        return panel->timers.back().get();
    }
    return nullptr;
}

// A label with a "width" gets a smaller font where its text would not fit otherwise.
QLabel *placeLabel(const QJsonObject &label, Panel *panel) {
    if (label.isEmpty()) return nullptr;
    auto *text = new QLabel(label["text"].toString(), panel->area());
    if (const int room = label["width"].toInt()) {
        QFont font = text->font();
        while (QFontMetrics(font).horizontalAdvance(text->text()) > room && font.pixelSize() > 8)
            font.setPixelSize(font.pixelSize() - 1);
        text->setFont(font);
    }
    text->adjustSize();
    text->move(label["left"].toInt(), label["top"].toInt());
    return text;
}

// The scroll area around a panel's area: its natural size is the whole area's.
class AreaScroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return widget()->size(); }
};

} // namespace

Panel *buildPanel(const QJsonObject &definition, int handle, Panel *parent, const Binder &bind) {
    auto *panel = new Panel(handle, parent);
    QFont font = panel->font();
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    panel->setFont(font);
    panel->setWindowTitle(definition["title"].toString());
    panel->area()->setFixedSize(definition["width"].toInt(), definition["height"].toInt());
    const QPoint place(definition["left"].toInt(), definition["top"].toInt());
    if (parent)
        panel->offset = place;
    else
        panel->move(place);

    const QJsonArray controls = definition["controls"].toArray();
    std::vector<QWidget *> decorations;
    QWidget *previous = nullptr;
    for (qsizetype i = 0; i < controls.size(); i++) {
        const QJsonObject def = controls[i].toObject();
        const int id = def["id"].toInt();
        UiControl *control = id == int(i) + 2 ? createControl(def, panel) : nullptr;
        if (!control) {
            delete panel;
            return nullptr;
        }
        const CtrlCallbackPtr callback = bind(def["callback"].toString());
        control->callback = callback;
        control->notify = [handle, id, callback](int event, int data1) {
            dispatch::deliver(handle, id, callback, event, data1);
        };
        panel->controls[id] = control;
        QLabel *label = placeLabel(def["label"].toObject(), panel);
        describeControl(control, def, label, panel->windowTitle());

        QWidget *widget = control->widget();
        if (!widget) continue;
        if (def["kind"] != "ring_slide") widget->setGeometry(geometryOf(def));
        if (def["kind"] == "decoration") decorations.push_back(widget);
        if (!def["operable"].toBool(true)) {
            widget->setFocusPolicy(Qt::NoFocus);
            widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        } else if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous) QWidget::setTabOrder(previous, widget);
            previous = widget;
        }
        const QString shortcut = def["shortcut"].toString();
        if (auto *button = dynamic_cast<QAbstractButton *>(widget); button && !shortcut.isEmpty())
            QObject::connect(new QShortcut(QKeySequence(shortcut), panel), &QShortcut::activated,
                             button, &QAbstractButton::click);
    }
    for (QWidget *decoration : decorations) decoration->lower();
    return panel;
}

// The area lies in a scroll area that draws nothing of its own and takes no focus: at full size
// the window looks and acts as the area alone would.
Panel::Panel(int handle, QWidget *parentPanel)
    : QWidget(parentPanel, parentPanel ? Qt::Dialog : Qt::Window), handle(handle),
      m_scroll(new AreaScroll(this)), m_area(new QWidget) {
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidget(m_area);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_area->setAutoFillBackground(false); // which setWidget turns on
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_scroll);
}

// A scroll bar one way takes room the other way, which the window then gets where there is some.
void Panel::fitInto(const QSize &room) {
    layout()->activate();
    const QSize whole = sizeHint();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    QSize most = whole;
    if (whole.width() > room.width()) most.rheight() += bar;
    if (whole.height() > room.height()) most.rwidth() += bar;
    setMaximumSize(most);
    resize(most.boundedTo(room));
}

void Panel::addAbove(QWidget *widget) {
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, widget);
}

void Panel::addBelow(QWidget *widget) {
    layout()->addWidget(widget);
}

UiControl *Panel::control(int id) const {
    const auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

void Panel::closeEvent(QCloseEvent *event) {
    event->ignore();
    if (!popup) {
        if (!parentWidget()) dispatch::whenIdle([] { dispatch::quit(0); });
        return;
    }
    for (const auto &[id, each] : controls) {
        if (dynamic_cast<TextBox *>(each)) {
            each->notify(EVENT_COMMIT, 0);
            return;
        }
    }
}
