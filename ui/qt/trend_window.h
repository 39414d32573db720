// The trend window: the actual and set values of every channel that "A" reads answer, over
// clock time. It collects from its creation on, shown or not, and draws only while shown.
#pragma once

#include "record/trend_store.h"

#include <QWidget>

#include <memory>
#include <vector>

class QCategoryAxis;
class QChart;
class QChartView;
class QComboBox;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

class TrendWindow : public QWidget {
public:
    // The spans the view can show, ending at the newest point.
    enum Span { TenMinutes, OneHour, EightHours, All };

    explicit TrendWindow(QWidget *parent = nullptr);
    ~TrendWindow() override;

    // Shows the window, in front.
    void open();
    void setSpan(Span span);
    // Pausing freezes the view; points are still collected and show once it resumes.
    void setPaused(bool paused);
    // Forgets every point.
    void clear();
    // Draws the view now (it is otherwise redrawn shortly after new points come).
    void refresh();

    // The points of the span shown, as CSV; the chart as PNG. false when the file fails.
    bool saveCsv(const QString &path);
    bool savePng(const QString &path);

    const TrendStore *store() const { return m_store.get(); }
    QChart *chart() const { return m_chart; }

protected:
    void showEvent(QShowEvent *event) override;
    // A dark palette gets the chart's dark theme, a light one the light theme.
    void changeEvent(QEvent *event) override;

private:
    static void hear(const ExchangeRecord *record, void *window);
    void pointsCame();
    // The time range the view shows; false when there is nothing to show.
    bool shownRange(long long *fromMs, long long *toMs) const;
    void addSeries(int channel);
    void styleSeries(int series);
    void followPalette();
    // Ticks at round clock times on the time axis, round numbers on the value axis.
    void placeTimeTicks(long long fromMs, long long toMs);
    void placeValueTicks(double low, double high);
    void exportCsv();
    void exportPng();
    QString askFileName(const QString &title, const QString &name, const QString &filter);
    void reportFailure(const QString &path);

    std::unique_ptr<TrendStore> m_store;
    int m_listener;
    bool m_paused = false;
    long long m_frozenEndMs = 0; // the newest time shown while paused
    Span m_span = TenMinutes;    // the newest detail: does the value follow its ramp
    std::vector<TrendPoint> m_points;

    QChart *m_chart;
    QChartView *m_view;
    QCategoryAxis *m_timeAxis; // one category per tick, labelled with its clock time
    QValueAxis *m_valueAxis;
    QLineSeries *m_series[TREND_SERIES] = {};
    QComboBox *m_spanChoice;
    QPushButton *m_pauseButton;
    QTimer *m_redraw;
};
