// ravlog's usage text as the tests expect it, written out by hand.
#pragma once

#include <string>

namespace rv::testing {

inline const std::string expectedRavlogUsage =
    "Usage:  ravlog [<options>...]\n"
    "\n"
    "options:\n"
    "\t-c<ctl_file>            Select Ravlog config file (default: ravlog.ctl)\n"
    "\t-o<out_file>            Output file name (override 'Output' in config file)\n"
    "\t-l<lnk_file>            Links statistic filename (override 'Pondrel' in config file)\n"
    "\t-e<ses_file>            Sessions statistic filename (override 'SessionStat' in config "
    "file)\n"
    "\t-j<json_file>           JSON report filename (override 'JsonReport' in config file)\n"
    "\t-w<html_file>           HTML report filename (override 'HtmlReport' in config file)\n"
    "\t-h<history>[,n[,m]]     Add history file to processing (append 'History' to config "
    "file)\n"
    "\t-r<archive>             Day archive (override 'Archive' in config file; -r alone: none)\n"
    "\t-d<d.m.y>               Override 'Date' in config file\n"
    "\t-t<xx:xx:xx-yy:yy:yy>   Override 'Time' in config file\n"
    "\t-b[+|-|<mask>]          -b+       set 'BusyHist Yes'\n"
    "\t                        -b-       set 'BusyHist No'\n"
    "\t                        -b<mask>  set 'BusyHist <mask>'\n"
    "\t-g[+|-]                 -g+       set 'Group Yes'\n"
    "\t                        -g-       set 'Group No'\n"
    "\t                        -g        invert 'Group' in config file\n"
    "\t-k[+|-]                 -k+       set 'KeepAll Yes'\n"
    "\t                        -k-       set 'KeepAll No'\n"
    "\t                        -k        invert 'KeepAll' in config file\n"
    "\t-n[+|-]                 -n+       set 'NoDrawZero Yes'\n"
    "\t                        -n-       set 'NoDrawZero No'\n"
    "\t                        -n        invert 'NoDrawZero' in config file\n"
    "\t-m{+|-|g}               -m+       set 'MiddLine Yes'\n"
    "\t                        -m-       set 'MiddLine No'\n"
    "\t                        -mg       set 'MiddLine Group'\n"
    "\t-s{s|t|c}               -ss       set 'ShowValue Ses'\n"
    "\t                        -st       set 'ShowValue Time'\n"
    "\t                        -sc       set 'ShowValue CPS'\n"
    "\t-u<charset>             Reports in UTF-8, CP866 or CP437 (override 'Charset' in config "
    "file)\n"
    "\t-?, --help              This help\n";

}  // namespace rv::testing
