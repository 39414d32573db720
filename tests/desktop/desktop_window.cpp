// The window on a desktop: the port ring's tooltip as the program sets it, and how the panels
// read under a light and a dark palette at the scale this run is given (QT_SCALE_FACTOR; ctest
// runs this at 1 and at 2): texts in the palette's colours, no text cut off.
#include "tests/support/pty.h"
#include "tests/support/ui_harness.h"

#include "display/format.h"
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

const char missingDevice[] = "/nonexistent/kelvra-tty";

std::string tooltipOfPortRing() {
    return ControlWidget(main_panel, RING_COM)->toolTip().toLatin1().toStdString();
}

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        ui_init();
        ASSERT_TRUE(pty.ok());
        MapComPort(1, pty.path());
        MapComPort(2, missingDevice);
    }
    void TearDown() override { ui_discard_all(); }
    TestPty pty;
};

// At start the tooltip tells what the selected com1 opens; choosing com2, then com3 (not
// mapped) with the keyboard tells what each of those opens.
TEST_F(Desktop, PortRingTooltipFollowsTheSelectionFromTheStart) {
    const struct {
        const char *language;
        std::string com1, com2, com3; // the tooltip's first line, whole or its start
    } cases[] = {
        {"de",
         "com1 \xf6"
         "ffnet " +
             std::string(pty.path()) + " (vorhanden)",
         std::string("com2 \xf6"
                     "ffnet ") +
             missingDevice + ", das nicht vorhanden ist.",
         "com3 \xf6"
         "ffnet /dev/ttyS2"},
        {"en", "com1 opens " + std::string(pty.path()) + " (found)",
         std::string("com2 opens ") + missingDevice + ", which is not there.",
         "com3 opens /dev/ttyS2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.language);
        char name[] = "kelvra-ascii", lang[] = "--lang";
        char *argv[] = {name, lang, const_cast<char *>(c.language), nullptr};
        std::string shown[3];
        QTimer::singleShot(0, [&] {
            QComboBox *ring = ui_widget<Ring>(main_panel, RING_COM)->comboBox();
            ring->setFocus();
            for (std::string &tooltip : shown) {
                tooltip = tooltipOfPortRing();
                QTest::keyClick(ring, Qt::Key_Up); // com1 is the last item; up is com2, com3
            }
            QuitUserInterface(0);
        });
        EXPECT_EQ(ascii_main(3, argv), 0);
        EXPECT_EQ(shown[0], c.com1);
        EXPECT_EQ(shown[1].substr(0, shown[1].find('\n')), c.com2);
        EXPECT_EQ(shown[2].substr(0, c.com3.size()), c.com3);
        EXPECT_EQ(ui_int(main_panel, RING_COM), 4);
        ui_discard_all();
    }
}

double lightness(QRgb pixel) {
    return 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
}

double lightness(const QColor &colour) {
    return lightness(colour.rgb());
}

// The colour most pixels of an area have.
QRgb commonest(const QImage &image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++) counts[image.pixel(x, y)]++;
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto &a, const auto &b) { return a.second < b.second; })
        ->first;
}

QPalette darkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    dark.setColor(QPalette::Light, window.lighter(150));
    dark.setColor(QPalette::Midlight, window.lighter(125));
    dark.setColor(QPalette::Mid, window.darker(120));
    dark.setColor(QPalette::Dark, window.darker(150));
    dark.setColor(QPalette::Shadow, Qt::black);
    return dark;
}

// The panel as pixels at the device pixel ratio, and the scale between widget and image.
struct Shot {
    QImage image;
    double scale;
    QImage area(QWidget *panel, QWidget *widget) const {
        const QRect rect(widget->mapTo(panel, QPoint(0, 0)), widget->size());
        return image.copy(QRect(QPoint(int(rect.x() * scale), int(rect.y() * scale)),
                                QSize(int(rect.width() * scale), int(rect.height() * scale))));
    }
};

Shot shoot(QWidget *panel) {
    const QPixmap pixmap = panel->grab();
    return {pixmap.toImage().convertToFormat(QImage::Format_RGB32), pixmap.devicePixelRatio()};
}

// Text pixels differ from the label's background, and lie toward the palette's text colour.
void expectTextInThePalettesColour(const Shot &shot, QWidget *panel, QLabel *label,
                                   const QPalette &palette) {
    const QImage area = shot.area(panel, label);
    const double background = lightness(commonest(area));
    const bool lightText = lightness(palette.color(QPalette::WindowText)) > background;
    int toward = 0, against = 0;
    for (int y = 0; y < area.height(); y++)
        for (int x = 0; x < area.width(); x++) {
            const double difference = lightness(area.pixel(x, y)) - background;
            if (std::abs(difference) < 60) continue;
            ((difference > 0) == lightText ? toward : against)++;
        }
    EXPECT_GT(toward, 10) << "no readable text in \"" << label->text().toStdString() << "\"";
    EXPECT_LE(against, toward / 10) << "text against the palette: " << label->text().toStdString();
}

// A label shows its whole text within the panel, unless it is the display mode's box, which
// cuts a long item label on purpose and shows it whole as its tooltip.
void expectWholeAndInside(QWidget *panel, QLabel *label) {
    const QString text = label->text();
    const QRect rect(label->mapTo(panel, QPoint(0, 0)), label->size());
    EXPECT_TRUE(panel->rect().contains(rect)) << text.toStdString() << " reaches outside its panel";
    if (!label->toolTip().isEmpty()) {
        EXPECT_TRUE(text == label->toolTip() || text.endsWith(QChar(0x2026))) << text.toStdString();
        return;
    }
    const int needed = label->fontMetrics().horizontalAdvance(text) + 2 * label->indent();
    EXPECT_GE(label->contentsRect().width(), needed) << "cut: " << text.toStdString();
    EXPECT_GE(label->contentsRect().height(), label->fontMetrics().height())
        << "cut: " << text.toStdString();
}

TEST_F(Desktop, PanelsFollowThePaletteAndShowEveryLabelWhole) {
    QApplication::setStyle(QStringLiteral("Fusion")); // the application owns it
    const struct {
        const char *name;
        QPalette palette;
    } palettes[] = {
        {"light", QApplication::style()->standardPalette()},
        {"dark", darkPalette()},
    };
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    for (const auto &p : palettes) {
        QApplication::setPalette(p.palette);
        for (int language : {0, 1}) {
            SCOPED_TRACE(std::string(p.name) + (language ? " en" : " de"));
            ui_load_main(language);
            Help(main_panel, PICTUREBUTTON, EVENT_COMMIT, nullptr, 0, 0);
            for (int panel : {main_panel, hlp_panel}) {
                QWidget *window = PanelWidget(panel);
                ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
                const Shot shot = shoot(window);
                EXPECT_NEAR(shot.scale, scale, 0.01);
                for (QLabel *label : window->findChildren<QLabel *>()) {
                    if (label->text().isEmpty()) continue;
                    expectWholeAndInside(window, label);
                    expectTextInThePalettesColour(shot, window, label, p.palette);
                }
            }
            // text areas take the palette's base colour, not a fixed light one
            const Shot shot = shoot(PanelWidget(main_panel));
            for (int control : {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN, SEND_STRING}) {
                QWidget *widget = ControlWidget(main_panel, control);
                const QImage area = shot.area(PanelWidget(main_panel), widget);
                const QRgb inside = area.pixel(area.width() * 9 / 10, area.height() / 2);
                EXPECT_NEAR(lightness(inside), lightness(p.palette.color(QPalette::Base)), 12)
                    << "control " << control;
            }
            ui_discard_all();
        }
    }
}

// Each panel lies on the screen's free area when it fits there, else with its top left corner
// on it; the offscreen screen is smaller than the panel files' own places assume.
TEST_F(Desktop, PanelsStayOnTheScreen) {
    ui_load_main(0);
    Help(main_panel, PICTUREBUTTON, EVENT_COMMIT, nullptr, 0, 0);
    const int help = hlp_panel;
    hlp_panel = -1;
    FullText(main_panel, ZEICHEN_GESENDET, EVENT_COMMIT, nullptr, 0, 0);
    for (int panel : {main_panel, help, txt_panel}) {
        QWidget *window = PanelWidget(panel);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QRect room = window->screen()->availableGeometry();
        const QRect place = window->frameGeometry();
        SCOPED_TRACE("panel " + std::to_string(panel));
        EXPECT_TRUE(room.contains(place.topLeft()));
        if (place.width() <= room.width()) {
            EXPECT_GE(place.left(), room.left());
            EXPECT_LE(place.right(), room.right());
        }
        if (place.height() <= room.height()) {
            EXPECT_GE(place.top(), room.top());
            EXPECT_LE(place.bottom(), room.bottom());
        }
    }
    DiscardPanel(help);
}

// The main window opens within the screen's free area: whole where there is room, else with its
// area scrolling so that every control can be brought into view (ctest runs this also on a
// 1280 x 900 screen at 200 %).
TEST_F(Desktop, APanelLargerThanTheScreenScrollsWithinIt) {
    ui_load_main(1);
    QWidget *window = PanelWidget(main_panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto *scroll = window->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    const QRect room = window->screen()->availableGeometry();
    const QSize most = window->sizeHint() + window->frameGeometry().size() - window->size();
    EXPECT_TRUE(room.contains(window->frameGeometry()));
    EXPECT_EQ(scroll->viewport()->size() == scroll->widget()->size(),
              most.width() <= room.width() && most.height() <= room.height());
    for (int control = KAMMER; control <= PICTUREBUTTON; control++) {
        if (QWidget *widget = ControlWidget(main_panel, control)) {
            scroll->ensureWidgetVisible(widget, 0, 0);
            const QRect shown(widget->mapTo(scroll->viewport(), QPoint(0, 0)), widget->size());
            EXPECT_TRUE(scroll->viewport()->rect().intersects(shown)) << "control " << control;
        }
    }
}

} // namespace
