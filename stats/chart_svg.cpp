#include "stats/chart_svg.h"

namespace rv {

namespace {

void putTwoDigits(OutBuffer& out, std::uint64_t value) {
    out.put(static_cast<char>('0' + value / 10));
    out.put(static_cast<char>('0' + value % 10));
}

}  // namespace

void putPlotStart(OutBuffer& out, const std::vector<std::string>& valueLabels, std::uint64_t width,
                  std::string_view plotClass, std::string_view name) {
    out.put("<div class=\"pl\"><div class=\"ya\">");
    for (const std::string& label : valueLabels) {
        out.put("<span>");
        out.put(label);
        out.put("</span>");
    }
    out.put("</div><svg class=\"");
    out.put(plotClass);
    out.put("\" viewBox=\"0 0 ");
    out.putUnsigned(width, 0);
    out.put(" 100\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"");
    out.put(name);
    out.put("\">");
}

void putPlotEnd(OutBuffer& out, const std::vector<AxisMark>& marks) {
    out.put("</svg>\n<div class=\"xa\">");
    for (const AxisMark& mark : marks) {
        // In hundredths of a percent: as exact as a screen's pixel needs.
        const auto at = static_cast<std::uint64_t>(mark.at * 10000 + 0.5);
        out.put("<span style=\"left:");
        out.putUnsigned(at / 100, 0);
        if (at % 100 != 0) {
            out.put('.');
            putTwoDigits(out, at % 100);
        }
        out.put("%\">");
        out.put(mark.text);
        out.put("</span>");
    }
    out.put("</div></div>");
}

void putValueGrid(OutBuffer& out, std::uint64_t width, unsigned steps) {
    out.put("<path class=\"g\" d=\"");
    for (unsigned k = 0; k <= steps; ++k) {
        out.put('M');
        out.put('0');
        out.put(' ');
        out.putUnsigned(100 * k / steps, 0);
        out.put('h');
        out.putUnsigned(width, 0);
    }
    out.put("\"/>");
}

void putHourGrid(OutBuffer& out, const ChartAxis& axis, int top, int height) {
    out.put("<path class=\"g\" d=\"");
    for (const HourLabel& label : hourLabels(axis)) {
        out.put('M');
        out.putUnsigned(static_cast<unsigned>(label.x), 0);
        out.put(' ');
        out.putSigned(top);
        out.put('v');
        out.putUnsigned(static_cast<unsigned>(height), 0);
    }
    out.put("\"/>");
}

std::vector<HourLabel> hourLabels(const ChartAxis& axis) {
    const ChartLayout& layout = *axis.layout;
    std::vector<HourLabel> labels;
    const unsigned count = layout.hours / layout.labelStep;
    for (unsigned k = 0; k <= count; ++k) {
        unsigned hour = (axis.startHour + k * layout.labelStep) % 24;
        if (k == count && hour == 0) hour = 24;
        labels.push_back(
            {hour, static_cast<int>(svgAxisWidth * k * layout.labelStep / layout.hours)});
    }
    return labels;
}

void putSlotTime(OutBuffer& out, const ChartAxis& axis, int slot) {
    const std::uint64_t t =
        (axis.startHour * 3600ULL + slotStart(*axis.layout, static_cast<std::uint64_t>(slot))) %
        86400;
    putTwoDigits(out, t / 3600);
    out.put(':');
    putTwoDigits(out, t / 60 % 60);
    // Seconds wherever a slot boundary can fall within a minute.
    if (chartSeconds(*axis.layout) % (chartSlots * 60) != 0) {
        out.put(':');
        putTwoDigits(out, t % 60);
    }
}

void putSlotSpan(OutBuffer& out, const ChartAxis& axis, int slot) {
    putSlotTime(out, axis, slot);
    out.put("\xE2\x80\x93");  // en dash
    putSlotTime(out, axis, slot + 1);
}

bool marksSlot(std::string_view marks, int slot) {
    const auto cell = static_cast<std::size_t>(slot + 1) / 2;
    if (cell >= marks.size()) return false;
    const char c = marks[cell];
    // A cell's left half is the odd slot, its right half the even one.
    return c == 'C' || c == (slot % 2 == 1 ? 'A' : 'B');
}

void putTimelineSvg(OutBuffer& out, const ChartAxis& axis, std::string_view marks) {
    out.put("<svg class=\"t\" viewBox=\"0 0 ");
    out.putUnsigned(svgAxisWidth, 0);
    out.put(" 12\" preserveAspectRatio=\"none\"><title>");
    std::string_view separator = "Online ";
    // The spans first, for the tooltip; then the same runs as rectangles.
    const auto eachRun = [&](auto&& f) {
        for (int slot = 0; slot < chartSlots;) {
            if (!marksSlot(marks, slot)) {
                ++slot;
                continue;
            }
            int end = slot;
            while (end < chartSlots && marksSlot(marks, end))
                ++end;
            f(slot, end);
            slot = end;
        }
    };
    eachRun([&](int first, int end) {
        out.put(separator);
        separator = ", ";
        putSlotTime(out, axis, first);
        out.put("\xE2\x80\x93");
        putSlotTime(out, axis, end);
    });
    if (separator != ", ") out.put("Not online");
    out.put("</title>");
    putHourGrid(out, axis, 0, 12);
    out.put("<path d=\"");
    eachRun([&](int first, int end) {
        out.put('M');
        out.putUnsigned(static_cast<unsigned>(first * svgSlotWidth), 0);
        out.put(" 2h");
        out.putUnsigned(static_cast<unsigned>((end - first) * svgSlotWidth), 0);
        out.put("v8h-");
        out.putUnsigned(static_cast<unsigned>((end - first) * svgSlotWidth), 0);
        out.put('z');
    });
    out.put("\"/></svg>");
}

}  // namespace rv
