#include "core/html_page.h"

#include <algorithm>

#include "core/format.h"
#include "core/program_text.h"
#include "core/utf8_text.h"

namespace rv {

namespace {

// One style sheet for every page: light and dark colours, a print form,
// and, on a narrow screen, the rows of the figure tables (a box of class
// "w r") as cards of named figures, so that the page never scrolls
// sideways and no column hides: the row's name (.n) first, its text cells
// (.a) and timeline across the card, its figures two by two, in the same
// places on every card (.tb: the totals box's label and figure pairs). Chart classes: .pl a chart's
// frame, its value labels (.ya) left of the plot and its axis labels (.xa) under it as text of the
// page, so that they keep their size at any width; .c the plot, its bars in a group of class b, i,
// o, p or u (the chart's kind; outgoing and unprotected bars striped, so that no reader needs the
// colour), .t a timeline, .g grid lines. A legend entry (.e) keeps its key beside its name.
constexpr std::string_view styleSheet =
    ":root{color-scheme:light dark;--f:#1c1e21;--k:#fff;--m:#5f6670;--l:#d5d9de;--z:#f4f6f8;"
    "--b:#2f6db5;--i:#1f8a5b;--o:#c4552b;--p:#7048b0;--u:#9a7d12}"
    "@media(prefers-color-scheme:dark){:root{--f:#e4e6e9;--k:#15171a;--m:#9aa2ab;--l:#3a4048;"
    "--z:#1e2226;--b:#6fa8ea;--i:#50c48f;--o:#f08c62;--p:#b392ee;--u:#d9bd4c}}"
    "*{box-sizing:border-box}"
    "body{margin:0 auto;max-width:1100px;padding:0 12px 24px;font:15px/1.45 system-ui,sans-serif;"
    "color:var(--f);background:var(--k);overflow-wrap:anywhere}"
    "h1{font-size:1.45em;margin:.8em 0 .2em}h2{font-size:1.2em;margin:1.8em 0 .4em;"
    "border-bottom:1px solid var(--l)}h3{font-size:1em;margin:1.1em 0 .2em}"
    "p{margin:.3em 0}.m{color:var(--m)}.w{overflow-x:auto;margin:.4em 0}"
    "table{border-collapse:collapse;font-variant-numeric:tabular-nums}"
    "th,td{padding:2px 7px;border-bottom:1px solid var(--l);white-space:nowrap;text-align:right}"
    "th{background:var(--z);font-weight:600}.a{text-align:left}td.x{white-space:normal}"
    "figure{margin:.6em 0 1em}figcaption{font-weight:600}figcaption .m{font-weight:400}"
    ".cs{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,460px),1fr));"
    "gap:0 28px}"
    "svg{display:block;width:100%;height:auto}.t{min-width:240px;height:12px}"
    "td.v{width:100%;min-width:260px;padding:0 7px}"
    ".pl{display:grid;grid-template-columns:auto 1fr;margin:6px 14px 0 0;font-size:12px;"
    "line-height:1;color:var(--m);font-variant-numeric:tabular-nums}"
    ".ya{display:flex;flex-direction:column;justify-content:space-between;text-align:right;"
    "margin:-.5em 5px -.5em 0}svg.c{height:100px;overflow:visible}"
    ".xa{grid-column:2;position:relative;height:1.6em}"
    ".xa span{position:absolute;top:.4em;transform:translateX(-50%);white-space:nowrap}"
    ".g{stroke:var(--l);stroke-width:1;fill:none;vector-effect:non-scaling-stroke}"
    ".t path+path{fill:var(--b)}"
    ".c g path{stroke:var(--b);stroke-width:5}.c .i path{stroke:var(--i)}"
    ".c .o path{stroke:var(--o);stroke-dasharray:2 1.5}.c .p path{stroke:var(--p)}"
    ".c .u path{stroke:var(--u);stroke-dasharray:2 1.5}.e{white-space:nowrap}"
    ".k{display:inline-block;width:1.6em;height:.9em;margin:0 .3em 0 .8em;vertical-align:-1px;"
    "background:var(--b)}.k.i{background:var(--i)}.k.p{background:var(--p)}"
    ".k.o{background:repeating-linear-gradient(0deg,var(--o) 0 3px,transparent 3px 5px)}"
    ".k.u{background:repeating-linear-gradient(0deg,var(--u) 0 3px,transparent 3px 5px)}"
    ".hx{display:flex;justify-content:space-between;font-weight:400}"
    "@media(max-width:600px){body{font-size:14px;padding:0 6px 16px}th,td{padding:2px 4px}"
    ".r table,.r tbody,.r td,.r th{display:block}.r thead{display:none}"
    ".r tr{display:grid;grid-template-columns:1fr 1fr;gap:0 16px;padding:4px 0;"
    "border-bottom:1px solid var(--l)}"
    ".r td,.r th{display:flex;justify-content:space-between;gap:8px;border:0;padding:1px 0}"
    ".r td[data-h]::before{content:attr(data-h);color:var(--m);text-align:left}"
    ".r td.a,.r td.v,.r th{grid-column:1/-1}.r td:empty{display:none}"
    ".r td.n{order:-1;font-weight:600}td.v{min-width:0}"
    ".tb tr{grid-template-columns:1fr auto}.tb td.a{grid-column:auto}}"
    "@media print{:root{color-scheme:light;--f:#000;--k:#fff;--m:#444;--l:#bbb;--z:#eee}"
    "body{max-width:none;font-size:11px}.w{overflow:visible}h2{break-after:avoid}"
    "figure,tr{break-inside:avoid}}";

// Control characters other than a tab or a line end are no text of a page.
bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
}

}  // namespace

void putHtmlText(OutBuffer& out, std::string_view text) {
    const std::string valid = validUtf8(text);
    const std::string_view v = valid;
    std::size_t done = 0;  // v[0, done) is written
    for (std::size_t i = 0; i < v.size(); ++i) {
        const auto c = static_cast<unsigned char>(v[i]);
        // U+0080..U+009F, the other control characters, take two bytes.
        const bool c1 =
            c == 0xC2 && i + 1 < v.size() && static_cast<unsigned char>(v[i + 1]) < 0xA0;
        std::string_view replacement;
        switch (c) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                replacement = "&quot;";
                break;
            case '\'':
                replacement = "&#39;";
                break;
            default:
                if (!isControl(c) && !c1) continue;
                replacement = replacementCharacter;
        }
        out.put(v.substr(done, i - done));
        out.put(replacement);
        if (c1) ++i;
        done = i + 1;
    }
    out.put(v.substr(done));
}

void putHtmlStart(OutBuffer& out, std::string_view title, std::string_view extraStyle) {
    out.put(
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n<title>");
    putHtmlText(out, title);
    out.put("</title>\n<style>");
    out.put(styleSheet);
    out.put(extraStyle);
    out.put("</style></head>\n<body>\n");
}

void putHtmlEnd(OutBuffer& out, std::string_view createdAt) {
    out.put("<p class=\"m\">Created at ");
    putHtmlText(out, createdAt);
    out.put("<br>");
    out.put(creditLine);
    out.put("</p>\n</body></html>\n");
}

std::string_view bareCell(std::string_view cell) {
    cell = trimmedCell(cell);
    cell.remove_prefix(std::min(cell.find_first_not_of(' '), cell.size()));
    return cell;
}

void putHtmlDateTime(OutBuffer& out, const std::tm& tm) {
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    out.put(std::string_view(text, n));
}

namespace {

void openCell(OutBuffer& out, std::string_view heading) {
    out.put("<td");
    if (!heading.empty()) {
        out.put(" data-h=\"");
        out.put(heading);
        out.put('"');
    }
}

}  // namespace

void putCountCell(OutBuffer& out, std::uint64_t value, std::string_view heading) {
    openCell(out, heading);
    out.put('>');
    out.putUnsigned(value, 0);
    out.put("</td>");
}

void putTrafficCell(OutBuffer& out, std::uint64_t value, std::string_view unit,
                    const TrafficForm& form, std::string_view heading) {
    openCell(out, heading);
    if (form.unit != '\0') {
        out.put(" title=\"");
        out.putUnsigned(value, 0);
        out.put(' ');
        out.put(unit);
        out.put('"');
    }
    out.put('>');
    out.put(formatTrafficAs(value, form, false).view());
    out.put("</td>");
}

void putDurationCell(OutBuffer& out, std::uint64_t seconds, std::string_view heading) {
    const Duration d = splitDuration(seconds);
    openCell(out, heading);
    out.put('>');
    out.putUnsigned(d.hours, 0);
    for (const std::uint64_t part : {d.minutes, d.seconds}) {
        out.put(':');
        out.put(static_cast<char>('0' + part / 10));
        out.put(static_cast<char>('0' + part % 10));
    }
    out.put("</td>");
}

}  // namespace rv
