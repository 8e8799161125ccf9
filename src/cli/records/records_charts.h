#pragma once
// The charts of the records report, drawn as inline SVG: the page is opened on factory PCs
// without a network, so it can load no chart library, and it runs no script at all.

#include <QString>
#include <vector>

namespace quorvel::cli {

// One column of a column chart: its label under it and its stacked parts, one per series.
struct ChartColumn {
    QString label;  // plain text; escaped here
    std::vector<long long> parts;
};

// A column chart of stacked parts; `series` names each part's CSS class and legend text.
struct ChartSeries {
    QString cssClass;
    QString name;
};
QString columnChart(const std::vector<ChartColumn>& columns, const std::vector<ChartSeries>& series,
                    const QString& caption);

// A bar as long as `share` (0 to 1) of its full width, for a table cell, drawn in the CSS
// class `fill` (a yield's "fill"; "bad" for failures).
QString shareBar(double share, const QString& fill = QStringLiteral("fill"));

}  // namespace quorvel::cli
