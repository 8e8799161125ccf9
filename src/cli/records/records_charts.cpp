#include "records_charts.h"

#include <algorithm>
#include <numeric>

namespace quorvel::cli {
namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 220;
constexpr int kLeft = 50;    // room for the scale
constexpr int kBottom = 40;  // room for the labels
constexpr int kTop = 10;
constexpr size_t kMostLabels = 24;
constexpr double kWidestBar = 60;

QString number(double value) {
    return QString::number(value, 'f', 1);
}

}  // namespace

QString columnChart(const std::vector<ChartColumn>& columns, const std::vector<ChartSeries>& series,
                    const QString& caption) {
    long long highest = 1;
    for (const ChartColumn& c : columns) {
        highest = std::max(highest, std::accumulate(c.parts.begin(), c.parts.end(), 0LL));
    }
    const double plotWidth = kWidth - kLeft - 10;
    const double plotHeight = kHeight - kTop - kBottom;
    const double slot = plotWidth / static_cast<double>(std::max<size_t>(columns.size(), 1));
    const size_t labelEvery = (columns.size() + kMostLabels - 1) / kMostLabels;
    QString svg = QStringLiteral("<svg class=\"chart\" viewBox=\"0 0 %1 %2\" role=\"img\">")
                      .arg(QString::number(kWidth), QString::number(kHeight));
    svg += "<title>" + caption.toHtmlEscaped() + "</title>";
    // A line across the plot at `y`.
    const auto across = [](const QString& cssClass, double y) {
        return QStringLiteral("<line class=\"%1\" x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%3\"/>")
            .arg(cssClass, QString::number(kLeft), number(y), QString::number(kWidth - 10));
    };
    // The scale: the axis, the highest count and half of it.
    const double axisY = kTop + plotHeight;
    svg += across("axis", axisY);
    for (const long long mark : {highest, highest / 2}) {
        const double y =
            axisY - plotHeight * static_cast<double>(mark) / static_cast<double>(highest);
        svg += QStringLiteral("<text class=\"scale\" x=\"%1\" y=\"%2\">%3</text>")
                   .arg(QString::number(kLeft - 6), number(y + 4), QString::number(mark));
        svg += across("grid", y);
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        const ChartColumn& c = columns[i];
        const double x = kLeft + slot * static_cast<double>(i);
        const double barWidth = std::clamp(slot * 0.8, 1.0, kWidestBar);
        const double barX = x + (slot - barWidth) / 2;
        double y = axisY;
        QString tip = c.label;
        for (size_t p = 0; p < c.parts.size() && p < series.size(); ++p) {
            tip += ", " + series[p].name + " " + QString::number(c.parts[p]);
            if (c.parts[p] == 0) continue;
            const double h =
                plotHeight * static_cast<double>(c.parts[p]) / static_cast<double>(highest);
            y -= h;
            svg +=
                QStringLiteral("<rect class=\"%1\" x=\"%2\" y=\"%3\" width=\"%4\" height=\"%5\"/>")
                    .arg(series[p].cssClass, number(barX), number(y), number(barWidth), number(h));
        }
        // The column's figures on hovering, without a script.
        svg += QStringLiteral(
                   "<rect class=\"hover\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\">"
                   "<title>%5</title></rect>")
                   .arg(number(x), number(kTop), number(slot), number(plotHeight),
                        tip.toHtmlEscaped());
        if (i % labelEvery == 0) {
            svg += QStringLiteral("<text class=\"label\" x=\"%1\" y=\"%2\">%3</text>")
                       .arg(number(x + slot / 2), number(axisY + 16), c.label.toHtmlEscaped());
        }
    }
    svg += "</svg><p class=\"legend\">";
    for (const ChartSeries& s : series) {
        svg += "<span class=\"key " + s.cssClass + "\"></span>" + s.name.toHtmlEscaped() + " ";
    }
    return svg + "</p>";
}

QString shareBar(double share, const QString& fill) {
    const double width = 100 * std::clamp(share, 0.0, 1.0);
    return QStringLiteral(
               "<svg class=\"bar\" viewBox=\"0 0 100 10\" preserveAspectRatio=\"none\">"
               "<rect class=\"track\" width=\"100\" height=\"10\"/>"
               "<rect class=\"%2\" width=\"%1\" height=\"10\"/></svg>")
        .arg(number(width), fill);
}

}  // namespace quorvel::cli
