#include "pondrel/day_charts.h"

#include <algorithm>

#include "core/dates.h"
#include "core/format.h"
#include "core/html_page.h"
#include "stats/chart_axes.h"
#include "stats/chart_svg.h"

namespace rv::pondrel {

namespace {

// The plot is 100 units high; a day is dayWidth units wide, about as wide
// as ravlog's 96 slots together, and at least 2.
std::uint64_t dayWidth(std::size_t days) {
    const std::uint64_t width = std::max<std::uint64_t>(2, 576 / std::max<std::size_t>(days, 1));
    return width - width % 2;
}

// The value's share of the top in units of 0..scale, rounded up so that
// any value above 0 shows.
std::uint64_t scaled(std::uint64_t value, long double top, std::uint64_t scale) {
    if (top <= 0) return 0;
    // In long double: a year of traffic times 100 stays exact enough.
    const long double share = static_cast<long double>(value) / top;
    auto units = static_cast<std::uint64_t>(share * static_cast<long double>(scale));
    if (static_cast<long double>(units) < share * static_cast<long double>(scale)) ++units;
    return std::min(units, scale);
}

struct Series {
    std::string_view cssClass;  // i or o, as ravlog's incoming and outgoing bars
    std::string_view name;      // in the tooltip
    std::uint64_t TrafficCounters::*value;
};

// Two series stacked per day, the first at the bottom.
void putChart(OutBuffer& out, const std::vector<ReportDay>& days, std::string_view title,
              const Series (&series)[2], bool bytes) {
    const std::uint64_t step = dayWidth(days.size());
    const std::uint64_t width = step * days.size();
    std::uint64_t most = 0;
    for (const ReportDay& d : days)
        most = std::max(most, d.totals.*series[0].value + d.totals.*series[1].value);
    const ValueAxis values = bytes ? trafficAxis(most) : countAxis(most);
    const long double top = values.topValue();
    out.put("<figure><figcaption>");
    out.put(title);
    out.put("<span class=\"m\">");
    for (const Series& s : series) {
        out.put("<span class=\"e\"><span class=\"k ");
        out.put(s.cssClass);
        out.put("\"></span>");
        out.put(s.name);
        out.put("</span>");
    }
    out.put("</span></figcaption>\n");
    std::vector<std::string> valueLabels;
    for (unsigned k = values.steps + 1; k-- > 0;)
        valueLabels.push_back(values.label(k));
    putPlotStart(out, valueLabels, width, "c d", title);
    putValueGrid(out, width, values.steps);
    for (std::size_t k = 0; k < 2; ++k) {
        out.put("\n<g class=\"");
        out.put(series[k].cssClass);
        out.put("\">");
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < days.size(); ++i) {
            const std::uint64_t value = days[i].totals.*series[k].value;
            if (value == 0) continue;
            const std::uint64_t under = k == 0 ? 0 : days[i].totals.*series[0].value;
            const std::uint64_t base = scaled(under, top, 100);
            // A value above 0 shows, if only by a unit above the other.
            const std::uint64_t high = std::max(scaled(under + value, top, 100), base + 1);
            out.put("<path d=\"M");
            out.putUnsigned(i * step + step / 2, 0);
            out.put(' ');
            out.putSigned(100 - static_cast<long long>(base));
            out.put('V');
            out.putSigned(100 - static_cast<long long>(high));
            out.put("\"><title>");
            out.put(dayText(days[i].day));
            out.put(": ");
            out.putUnsigned(value, 0);
            out.put(bytes ? " bytes " : " ");
            out.put(series[k].name);
            out.put("</title></path>");
            if (++drawn % 8 == 0) out.put('\n');
        }
        out.put("</g>");
    }
    std::vector<AxisMark> marks;
    for (const DateLabel& label : dateLabels(days.front().day, days.size()))
        marks.push_back({(static_cast<double>(label.day) + 0.5) / static_cast<double>(days.size()),
                         label.text});
    putPlotEnd(out, marks);
    out.put("</figure>\n");
    out.maybeFlush();
}

}  // namespace

std::string dayChartStyle(std::size_t days) {
    // The bars fill five sixths of a day, as ravlog's of a slot.
    const std::uint64_t tenths = dayWidth(days) * 50 / 6;
    return ".c.d g path{stroke-width:" + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + "}svg.s{width:120px;height:18px}.s path{fill:var(--b)}";
}

void putDayCharts(OutBuffer& out, const std::vector<ReportDay>& days) {
    static constexpr Series sessions[2] = {{"i", "in", &TrafficCounters::sessionsIn},
                                           {"o", "out", &TrafficCounters::sessionsOut}};
    static constexpr Series traffic[2] = {{"i", "received", &TrafficCounters::bytesReceived},
                                          {"o", "sent", &TrafficCounters::bytesSent}};
    // One above the other, each as wide as the page: a year's bars are thin.
    out.put("<h2>Days</h2>\n");
    putChart(out, days, "Sessions per day", sessions, false);
    putChart(out, days, "Traffic per day", traffic, true);
}

void putDayTrafficSvg(OutBuffer& out, std::int64_t firstDay, std::size_t days,
                      const std::vector<DayBytes>* traffic) {
    constexpr std::uint64_t height = 16;
    const DayBytes* busiest = nullptr;
    if (traffic)
        for (const DayBytes& d : *traffic)
            if (!busiest || d.bytes > busiest->bytes) busiest = &d;
    out.put("<svg class=\"s\" viewBox=\"0 0 ");
    out.putUnsigned(days, 0);
    out.put(' ');
    out.putUnsigned(height, 0);
    out.put("\" preserveAspectRatio=\"none\"><title>");
    if (busiest) {
        out.put("Most on ");
        out.put(dayText(busiest->day));
        out.put(": ");
        out.putUnsigned(busiest->bytes, 0);
        out.put(" bytes");
    } else {
        out.put("No traffic");
    }
    // The outline of the days' bars, left to right: a level held over a
    // run of days is one step.
    out.put("</title><path d=\"M0 ");
    out.putUnsigned(height, 0);
    std::uint64_t level = 0;
    std::uint64_t run = 0;
    const auto hold = [&](std::uint64_t to, std::uint64_t length) {
        if (length == 0) return;
        if (to != level) {
            if (run > 0) {
                out.put('h');
                out.putUnsigned(run, 0);
            }
            out.put('V');
            out.putUnsigned(height - to, 0);
            level = to;
            run = 0;
        }
        run += length;
    };
    std::uint64_t x = 0;
    if (traffic)
        for (const DayBytes& d : *traffic) {
            if (d.day < firstDay || d.day >= firstDay + static_cast<std::int64_t>(days)) continue;
            const auto at = static_cast<std::uint64_t>(d.day - firstDay);
            hold(0, at - x);
            hold(scaled(d.bytes, static_cast<long double>(busiest->bytes), height), 1);
            x = at + 1;
        }
    // Back down after the last day with traffic; the outline closes along
    // the bottom.
    if (level != 0) {
        out.put('h');
        out.putUnsigned(run, 0);
        out.put('V');
        out.putUnsigned(height, 0);
    }
    out.put("z\"/></svg>");
}

}  // namespace rv::pondrel
