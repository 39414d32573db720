// The trend window: the actual and set values of every channel that "A" reads answer, over
// clock time, kept per chamber (port and address). It shows the chamber its chooser names, and
// beside it those ticked under "Compare", in one chart whose legend names them. It collects from
// its creation on, shown or not, and draws only while shown.
#pragma once

#include "record/chamber_trends.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCategoryAxis;
class QChart;
class QChartView;
class QComboBox;
class QLineSeries;
class QMenu;
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

    // The points of the span shown, as CSV; the chart as PNG. false when the file fails, with
    // the text that tells why in *failure.
    bool saveCsv(const QString &path, QString *failure = nullptr);
    bool savePng(const QString &path, QString *failure = nullptr);

    // Shows the chamber at port and address (alone, or with those ticked), in front.
    void showChamber(int port, int address);
    // Ticks or unticks a chamber to be shown beside the chosen one.
    void setCompared(int port, int address, bool shown);
    // How the chooser and the legend name a chamber; "com1:3" unless set.
    std::function<QString(int port, int address)> chamberLabel;

    // The store of the chamber chosen (an empty one before any point came).
    const TrendStore *store() const;
    const ChamberTrends *trends() const { return m_trends.get(); }
    QComboBox *chamberChoice() const { return m_chamberChoice; }
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
    // The chambers shown, by index in the trends: the chosen one and those ticked.
    std::vector<int> shownChambers() const;
    void chamberCame(int chamber);
    QString labelOf(int chamber) const;
    // Makes the chart's series those of the chambers shown, as they are now.
    void matchSeries();
    void styleSeries(size_t drawn);
    void followPalette();
    // Ticks at round clock times on the time axis, round numbers on the value axis.
    void placeTimeTicks(long long fromMs, long long toMs);
    void placeValueTicks(double low, double high);
    void exportCsv();
    void exportPng();
    QString askFileName(const QString &title, const QString &name, const QString &filter);
    void reportFailure(const QString &failure);

    // A chart series: a series of a chamber's store, in a colour of its own.
    struct Drawn {
        int chamber, series, colour;
        QLineSeries *line;
    };

    std::unique_ptr<ChamberTrends> m_trends;
    std::unique_ptr<TrendStore> m_empty; // store() before any chamber
    int m_listener;
    bool m_paused = false;
    long long m_frozenEndMs = 0; // the newest time shown while paused
    Span m_span = TenMinutes;    // the newest detail: does the value follow its ramp
    std::vector<TrendPoint> m_points;

    QChart *m_chart;
    QChartView *m_view;
    QCategoryAxis *m_timeAxis; // one category per tick, labelled with its clock time
    QValueAxis *m_valueAxis;
    std::vector<Drawn> m_drawn;
    QComboBox *m_chamberChoice;
    QMenu *m_compareMenu;
    std::vector<bool> m_compared; // per chamber: ticked under "Compare"
    QComboBox *m_spanChoice;
    QPushButton *m_pauseButton;
    QTimer *m_redraw;
};
