// The trend window: a Qt Charts line chart over the trend store.
#include "ui/qt/trend_window.h"

#include "record/trend_ticks.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/language.h"
#include "ui/qt/settings.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr long long MINUTE_MS = 60000, HOUR_MS = 60 * MINUTE_MS;
constexpr long long SPAN_MS[] = {10 * MINUTE_MS, HOUR_MS, 8 * HOUR_MS, 0};
constexpr int REDRAW_DELAY_MS = 100; // answers that come together are drawn together
constexpr int MIN_COLUMNS = 200;
constexpr long long MIN_RANGE_MS = MINUTE_MS; // a single point stands in a minute's view
constexpr int TICK_GAP_PX = 30;               // between two time labels at the least
constexpr int VALUE_TICK_SPACING_PX = 40;     // between two value ticks at the least

// One colour per channel, in the order the channels first answer.
const QColor CHANNEL_COLOURS[TREND_CHANNELS] = {QColor(0xd6, 0x27, 0x28), QColor(0x1f, 0x77, 0xb4),
                                                QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                                QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                                QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

// The channel as the sentences show it, a control character by its code.
QString channelName(char channel) {
    const unsigned char c = (unsigned char)channel;
    if (c > ' ' && c < 0x7F) return QString(QLatin1Char(channel));
    return QStringLiteral("0x%1").arg(c, 2, 16, QLatin1Char('0'));
}

// The time axis's labels: seconds only where the ticks are seconds apart, the date where the
// range reaches over a day, so that no two ticks read alike.
QString timeFormat(long long stepMs, long long rangeMs) {
    const QString date = byLanguage(QStringLiteral("dd.MM."), QStringLiteral("MMM d"));
    if (stepMs >= 24 * HOUR_MS) return date;
    const QString time = stepMs < MINUTE_MS ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    if (rangeMs < 24 * HOUR_MS) return time;
    return date + byLanguage(QStringLiteral(" "), QStringLiteral(", ")) + time;
}

void appendLine(const char *line, void *text) {
    auto *csv = static_cast<QByteArray *>(text);
    csv->append(line);
    csv->append('\n');
}

// Why a file could not be saved: the step that failed in the panel's language, the system's own
// words after it. Qt gives a full disk on writing, and too many open files on opening, as a
// resource error.
QString saveFailure(const QString &path, const QSaveFile &file, bool opened) {
    QString why;
    if (file.error() == QFileDevice::ResourceError)
        why = opened ? byLanguage(QStringLiteral("der Datentr\u00e4ger ist voll"),
                                  QStringLiteral("the disk is full"))
                     : byLanguage(QStringLiteral("zu viele offene Dateien"),
                                  QStringLiteral("too many open files"));
    else if (!opened)
        why = byLanguage(QStringLiteral("die Datei l\u00e4sst sich dort nicht anlegen"),
                         QStringLiteral("the file cannot be created there"));
    else if (file.error() == QFileDevice::RenameError)
        why = byLanguage(QStringLiteral("die fertige Datei l\u00e4sst sich nicht an ihren Platz "
                                        "bringen"),
                         QStringLiteral("the finished file cannot take its place"));
    else
        why = byLanguage(QStringLiteral("das Schreiben ist misslungen"),
                         QStringLiteral("writing failed"));
    return byLanguage(QStringLiteral("%1 konnte nicht geschrieben werden: %2 (%3)."),
                      QStringLiteral("%1 could not be written: %2 (%3)."))
        .arg(QDir::toNativeSeparators(path), why, file.errorString());
}

// Writes a file whole or not at all: fill writes it, false when it could not make its content.
bool saveFile(const QString &path, const std::function<bool(QIODevice &)> &fill, QString *failure) {
    QSaveFile file(path);
    const bool opened = file.open(QIODevice::WriteOnly);
    if (opened && !fill(file) && file.error() == QFileDevice::NoError) file.cancelWriting();
    if (opened && file.commit()) return true;
    if (failure) *failure = saveFailure(path, file, opened);
    return false;
}

} // namespace

TrendWindow::TrendWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_trends(new ChamberTrends), m_empty(new TrendStore),
      m_listener(-1), m_chart(new QChart), m_view(new QChartView(m_chart, this)),
      m_timeAxis(new QCategoryAxis), m_valueAxis(new QValueAxis),
      m_chamberChoice(new QComboBox(this)), m_compareMenu(new QMenu(this)),
      m_spanChoice(new QComboBox(this)), m_pauseButton(new QPushButton(this)),
      m_redraw(new QTimer(this)) {
    chamber_trends_init(m_trends.get());
    trend_clear(m_empty.get());
    m_chamberChoice->setAccessibleName(
        byLanguage(QStringLiteral("Kammer"), QStringLiteral("Chamber")));
    m_chamberChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_chamberChoice, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    auto *compare = new QToolButton(this);
    compare->setText(byLanguage(QStringLiteral("Vergleichen"), QStringLiteral("Compare")));
    compare->setMenu(m_compareMenu);
    compare->setPopupMode(QToolButton::InstantPopup);
    setWindowTitle(byLanguage(QStringLiteral("Verlauf"), QStringLiteral("Trend")));
    resize(900, 520);

    // named before it is filled: a screen reader then calls it by its name, not by its item
    m_spanChoice->setAccessibleName(
        byLanguage(QStringLiteral("Zeitspanne"), QStringLiteral("Span")));
    m_spanChoice->addItems({QStringLiteral("10 min"), QStringLiteral("1 h"), QStringLiteral("8 h"),
                            byLanguage(QStringLiteral("alles"), QStringLiteral("all"))});
    m_spanChoice->setCurrentIndex(m_span);
    m_spanChoice->setAccessibleName(
        byLanguage(QStringLiteral("Zeitspanne"), QStringLiteral("Span")));
    for (QWidget *part : {static_cast<QWidget *>(m_view), m_view->viewport()})
        part->setAccessibleName(byLanguage(QStringLiteral("Verlauf"), QStringLiteral("Trend")));
    connect(m_spanChoice, &QComboBox::currentIndexChanged, this,
            [this](int index) { setSpan(Span(index)); });
    m_pauseButton->setCheckable(true);
    m_pauseButton->setText(byLanguage(QStringLiteral("Anhalten"), QStringLiteral("Pause")));
    connect(m_pauseButton, &QPushButton::toggled, this, [this](bool on) { setPaused(on); });
    auto *clearButton =
        new QPushButton(byLanguage(QStringLiteral("L\u00f6schen"), QStringLiteral("Clear")), this);
    connect(clearButton, &QPushButton::clicked, this, [this] { clear(); });
    auto *csvButton = new QPushButton(QStringLiteral("CSV\u2026"), this);
    connect(csvButton, &QPushButton::clicked, this, [this] { exportCsv(); });
    auto *pngButton = new QPushButton(QStringLiteral("PNG\u2026"), this);
    connect(pngButton, &QPushButton::clicked, this, [this] { exportPng(); });

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_chamberChoice);
    controls->addWidget(compare);
    controls->addWidget(m_spanChoice);
    controls->addWidget(m_pauseButton);
    controls->addWidget(clearButton);
    controls->addStretch(1);
    controls->addWidget(csvButton);
    controls->addWidget(pngButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_view, 1);

    m_timeAxis->setTitleText(byLanguage(QStringLiteral("Uhrzeit"), QStringLiteral("Time")));
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_valueAxis->setTitleText(byLanguage(QStringLiteral("Wert"), QStringLiteral("Value")));
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries); // solid or dashed
    m_view->setRenderHint(QPainter::Antialiasing);
    followPalette();

    m_redraw->setSingleShot(true);
    m_redraw->setInterval(REDRAW_DELAY_MS);
    connect(m_redraw, &QTimer::timeout, this, [this] { refresh(); });
    m_listener = add_exchange_listener(&TrendWindow::hear, this);
}

TrendWindow::~TrendWindow() {
    remove_exchange_listener(m_listener);
    chamber_trends_clear(m_trends.get());
}

const TrendStore *TrendWindow::store() const {
    const int chosen = m_chamberChoice->currentIndex();
    return chosen >= 0 ? m_trends->chamber[chosen].store : m_empty.get();
}

QString TrendWindow::labelOf(int chamber) const {
    const ChamberTrend &c = m_trends->chamber[chamber];
    if (chamberLabel) return chamberLabel(c.port, c.address);
    return QStringLiteral("com%1:%2").arg(c.port).arg(c.address);
}

// The chooser and the compare menu list chambers in the order their first point came, as the
// trends keep them, so an item's index is the chamber's.
void TrendWindow::chamberCame(int chamber) {
    const QString label = labelOf(chamber);
    m_compared.push_back(false);
    QAction *tick = m_compareMenu->addAction(label);
    tick->setCheckable(true);
    connect(tick, &QAction::toggled, this, [this, chamber](bool on) {
        m_compared[(size_t)chamber] = on;
        refresh();
    });
    m_chamberChoice->addItem(label);
}

void TrendWindow::showChamber(int port, int address) {
    const int chamber = chamber_trends_find(m_trends.get(), port, address);
    if (chamber >= 0) m_chamberChoice->setCurrentIndex(chamber);
    open();
}

void TrendWindow::setCompared(int port, int address, bool shown) {
    const int chamber = chamber_trends_find(m_trends.get(), port, address);
    if (chamber >= 0) m_compareMenu->actions().value(chamber)->setChecked(shown);
}

std::vector<int> TrendWindow::shownChambers() const {
    std::vector<int> shown;
    const int chosen = m_chamberChoice->currentIndex();
    for (int c = 0; c < m_trends->count; c++)
        if (c == chosen || m_compared[(size_t)c]) shown.push_back(c);
    return shown;
}

void TrendWindow::open() {
    show();
    raise();
    activateWindow();
}

void TrendWindow::setSpan(Span span) {
    m_span = span;
    if (m_spanChoice->currentIndex() != span) m_spanChoice->setCurrentIndex(span);
    refresh();
}

void TrendWindow::setPaused(bool paused) {
    long long first = 0;
    if (paused && !m_paused && !chamber_trends_extent(m_trends.get(), &first, &m_frozenEndMs))
        m_frozenEndMs = QDateTime::currentMSecsSinceEpoch();
    m_paused = paused;
    if (m_pauseButton->isChecked() != paused) m_pauseButton->setChecked(paused);
    m_pauseButton->setText(paused
                               ? byLanguage(QStringLiteral("Weiter"), QStringLiteral("Resume"))
                               : byLanguage(QStringLiteral("Anhalten"), QStringLiteral("Pause")));
    refresh();
}

void TrendWindow::clear() {
    chamber_trends_clear(m_trends.get());
    for (const Drawn &drawn : m_drawn) { // the channels may come in another order now
        m_chart->removeSeries(drawn.line);
        delete drawn.line;
    }
    m_drawn.clear();
    m_compareMenu->clear();
    m_chamberChoice->clear();
    m_compared.clear();
    refresh();
}

// Inside the exchange: keep the point, draw later.
void TrendWindow::hear(const ExchangeRecord *record, void *window) {
    auto *self = static_cast<TrendWindow *>(window);
    const int before = self->m_trends->count;
    const int chamber = chamber_trends_add_record(self->m_trends.get(), record);
    if (chamber < 0) return;
    if (self->m_trends->count > before) self->chamberCame(chamber);
    self->pointsCame();
}

void TrendWindow::pointsCame() {
    if (isVisible() && !m_paused && !m_redraw->isActive()) m_redraw->start();
}

void TrendWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
}

bool TrendWindow::shownRange(long long *fromMs, long long *toMs) const {
    long long first = 0, last = 0;
    bool found = false;
    for (int c : shownChambers()) {
        long long from = 0, to = 0;
        if (!trend_extent(m_trends->chamber[c].store, &from, &to)) continue;
        first = found ? std::min(first, from) : from;
        last = found ? std::max(last, to) : to;
        found = true;
    }
    if (!found) return false;
    if (m_paused) last = m_frozenEndMs;
    *toMs = last;
    *fromMs = m_span == All ? first : last - SPAN_MS[m_span];
    return *fromMs <= *toMs;
}

// One colour per channel of one chamber; with several chambers shown, one per channel of each,
// and the legend names the chamber.
void TrendWindow::matchSeries() {
    std::vector<std::pair<int, int>> wanted; // chamber, series
    const std::vector<int> chambers = shownChambers();
    for (int c : chambers)
        for (int i = 0; i < 2 * m_trends->chamber[c].store->channels; i++)
            wanted.emplace_back(c, i);
    bool same = wanted.size() == m_drawn.size();
    for (size_t i = 0; same && i < wanted.size(); i++)
        same = m_drawn[i].chamber == wanted[i].first && m_drawn[i].series == wanted[i].second;
    if (same) return;
    for (const Drawn &drawn : m_drawn) {
        m_chart->removeSeries(drawn.line);
        delete drawn.line;
    }
    m_drawn.clear();
    int colour = 0;
    for (const auto &[chamber, index] : wanted) {
        const QString name = channelName(m_trends->chamber[chamber].store->channel[index / 2]);
        auto *series = new QLineSeries;
        QString text = index % 2 == TREND_ACTUAL ? byLanguage(QStringLiteral("Kanal %1 Istwert"),
                                                              QStringLiteral("Channel %1 actual"))
                                                       .arg(name)
                                                 : byLanguage(QStringLiteral("Kanal %1 Sollwert"),
                                                              QStringLiteral("Channel %1 set"))
                                                       .arg(name);
        if (chambers.size() > 1) text = labelOf(chamber) + QStringLiteral(" \u00b7 ") + text;
        series->setName(text);
        m_chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(m_valueAxis);
        m_drawn.push_back({chamber, index, colour % TREND_CHANNELS, series});
        styleSeries(m_drawn.size() - 1);
        if (index % 2 == TREND_SET) colour++;
    }
}

// The channel's colour, lighter on a dark chart; the set value dashed.
void TrendWindow::styleSeries(size_t drawn) {
    const Drawn &d = m_drawn[drawn];
    QColor colour = CHANNEL_COLOURS[d.colour];
    if (m_chart->theme() == QChart::ChartThemeDark) colour = colour.lighter(140);
    d.line->setPen(QPen(colour, 2, d.series % 2 == TREND_ACTUAL ? Qt::SolidLine : Qt::DashLine));
}

void TrendWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) followPalette();
}

void TrendWindow::followPalette() {
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    const QChart::ChartTheme theme = dark ? QChart::ChartThemeDark : QChart::ChartThemeLight;
    if (m_chart->theme() == theme) return;
    m_chart->setTheme(theme); // which sets every series' pen anew
    for (size_t drawn = 0; drawn < m_drawn.size(); drawn++) styleSeries(drawn);
}

void TrendWindow::refresh() {
    m_redraw->stop();
    if (!isVisible()) return;
    matchSeries();

    long long fromMs = 0, toMs = 0;
    if (!shownRange(&fromMs, &toMs)) {
        toMs = m_paused ? m_frozenEndMs : QDateTime::currentMSecsSinceEpoch();
        fromMs = toMs - (m_span == All ? MIN_RANGE_MS : SPAN_MS[m_span]);
    }
    const int columns = std::max(MIN_COLUMNS, (int)m_chart->plotArea().width());
    m_points.resize(4 * (size_t)columns);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const Drawn &drawn : m_drawn) {
        // cppcheck-suppress shadowFunction ; each drawn chamber's store, not the chosen one's
        const TrendStore *store = m_trends->chamber[drawn.chamber].store;
        const int count = trend_points(store, drawn.series, fromMs, toMs, columns, m_points.data());
        QList<QPointF> shown;
        shown.reserve(count);
        for (int k = 0; k < count; k++) {
            const TrendPoint &p = m_points[k];
            shown.append(QPointF((double)p.ms, p.value));
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
        drawn.line->replace(shown);
    }

    if (toMs - fromMs < MIN_RANGE_MS) { // a single answer, or a few seconds of them
        const long long middle = fromMs + (toMs - fromMs) / 2;
        fromMs = middle - MIN_RANGE_MS / 2;
        toMs = middle + MIN_RANGE_MS / 2;
    }
    placeTimeTicks(fromMs, toMs);
    if (low > high) {
        low = 0;
        high = 1;
    }
    // each end's share apart: a difference of two large values would overflow
    const double margin =
        high > low ? high * 0.05 - low * 0.05 : std::max(1.0, std::fabs(high) * 0.05);
    placeValueTicks(low - margin, high + margin);
}

void TrendWindow::placeTimeTicks(long long fromMs, long long toMs) {
    const QFontMetrics metrics(m_timeAxis->labelsFont());
    const QString widest =
        toMs - fromMs < 24 * HOUR_MS
            ? QStringLiteral("00:00:00")
            : QDateTime::fromMSecsSinceEpoch(toMs).toString(timeFormat(HOUR_MS, 24 * HOUR_MS));
    const int room = std::max((int)m_chart->plotArea().width(), MIN_COLUMNS);
    const int maxTicks = room / (metrics.horizontalAdvance(widest) + TICK_GAP_PX);
    // the clock's offset at the range's start; across a change of summer time the ticks keep
    // their spacing
    const int offsetS = QDateTime::fromMSecsSinceEpoch(fromMs).offsetFromUtc();
    const TimeTicks ticks = trend_time_ticks(fromMs, toMs, offsetS, maxTicks);
    const QString format = timeFormat(ticks.stepMs, toMs - fromMs);

    for (const QString &label : m_timeAxis->categoriesLabels()) m_timeAxis->remove(label);
    m_timeAxis->setStartValue((double)fromMs);
    for (long long tick = ticks.firstMs; tick <= toMs; tick += ticks.stepMs)
        m_timeAxis->append(QDateTime::fromMSecsSinceEpoch(tick).toString(format), (double)tick);
    m_timeAxis->setRange((double)fromMs, (double)toMs);
}

void TrendWindow::placeValueTicks(double low, double high) {
    const int room = std::max((int)m_chart->plotArea().height(), 2 * VALUE_TICK_SPACING_PX);
    const ValueTicks ticks = trend_value_ticks(low, high, room / VALUE_TICK_SPACING_PX + 1);
    m_valueAxis->setRange(ticks.low, ticks.high);
    m_valueAxis->setTickAnchor(ticks.low);
    m_valueAxis->setTickInterval(ticks.step);
    m_valueAxis->setLabelFormat(QStringLiteral("%.%1f").arg(ticks.decimals));
}

bool TrendWindow::saveCsv(const QString &path, QString *failure) {
    long long fromMs = 0, toMs = -1;
    shownRange(&fromMs, &toMs); // nothing to show: just the header
    QByteArray csv;
    trend_csv(store(), fromMs, toMs, appendLine, &csv); // the chamber chosen
    return saveFile(
        path, [&](QIODevice &file) { return file.write(csv) == csv.size(); }, failure);
}

bool TrendWindow::savePng(const QString &path, QString *failure) {
    const QPixmap picture = m_view->grab();
    return saveFile(
        path, [&](QIODevice &file) { return picture.save(&file, "PNG"); }, failure);
}

// A modal file dialog runs its own event loop: as a callback, so no tick starts meanwhile.
QString TrendWindow::askFileName(const QString &title, const QString &name, const QString &filter) {
    const QString folder = Settings::folder(QStringLiteral("trend"));
    const QString suggested = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    QString path;
    dispatch::guarded([&] { path = QFileDialog::getSaveFileName(this, title, suggested, filter); });
    if (!path.isEmpty()) Settings::rememberFolder(QStringLiteral("trend"), path);
    return path;
}

void TrendWindow::reportFailure(const QString &failure) {
    dispatch::guarded([&] { QMessageBox::warning(this, windowTitle(), failure); });
}

void TrendWindow::exportCsv() {
    const QString path = askFileName(byLanguage(QStringLiteral("Verlauf als CSV speichern"),
                                                QStringLiteral("Save trend as CSV")),
                                     QStringLiteral("trend.csv"), QStringLiteral("CSV (*.csv)"));
    QString failure;
    if (!path.isEmpty() && !saveCsv(path, &failure)) reportFailure(failure);
}

void TrendWindow::exportPng() {
    const QString path = askFileName(byLanguage(QStringLiteral("Verlauf als PNG speichern"),
                                                QStringLiteral("Save trend as PNG")),
                                     QStringLiteral("trend.png"), QStringLiteral("PNG (*.png)"));
    QString failure;
    if (!path.isEmpty() && !savePng(path, &failure)) reportFailure(failure);
}
