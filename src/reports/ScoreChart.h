#pragma once

#include "store/ScoreStatistics.h"

#include <QImage>
#include <QVector>
#include <QWidget>

class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QLabel;
class QPrinter;
class QPushButton;
namespace store {
class Connection;
}

namespace reports {

// The distribution of the scores in a window's result, as a bar chart of the five bands with
// each bar's count and share on it, and beside it the number of scores, the pass rate, the mean,
// the median and the highest and lowest score. It can be saved as a PNG picture and printed.
// A window of its own beside the window that opened it, never modal.
class ScoreChart : public QWidget {
    Q_OBJECT
public:
    // `source` is the window the scores come from, `covers` what they are (the student, class or
    // department searched, the summary's dates), both shown with the chart and on paper.
    ScoreChart(const store::ScoreDistribution& distribution, const QString& source, const QString& covers, QWidget* parent);

    // Computes the distribution of the score rows behind `statement` (by the database) and shows
    // it; a chart this window opened before is replaced. Throws DbError.
    static ScoreChart* open(QWidget* parent, store::Connection& connection, const QString& statement, const QString& covers);

    // The value axis: its top and its number of ticks, every tick a whole number of scores, with
    // room above the highest bar (`most` scores) for its text.
    struct Axis {
        qint64 top;
        int ticks;
    };
    static Axis countAxis(qint64 most);
    const QString& covers() const { return m_covers; }

    const store::ScoreDistribution& distribution() const { return m_distribution; }
    // The text on each bar: "count (share%)".
    QString barText(int band) const;
    // The chart and its figures as one picture, as "保存为 PNG…" writes it.
    QImage picture() const;
    // Throws platform::WriteError.
    void savePng(const QString& path) const;

    void cmdPng_Click();
    void cmdPrint_Click();
    // The printed page: a heading, the chart, and its figures beneath it.
    void paintPage(QPrinter* printer) const;

    // The figures beside the chart, by name: count, pass, mean, median, highest, lowest.
    QString figure(const QString& name) const;

private:
    void placeBarTexts();

    store::ScoreDistribution m_distribution;
    QString m_source;
    QString m_covers;
    QWidget* m_content;
    QChart* m_chart;
    QChartView* m_view;
    QVector<QGraphicsSimpleTextItem*> m_barTexts;
    QVector<QLabel*> m_figures;
    QPushButton* cmdPng;
    QPushButton* cmdPrint;
    QPushButton* cmdClose;
};

} // namespace reports
