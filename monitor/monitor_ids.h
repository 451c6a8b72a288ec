// What a program outside the monitor needs to find its windows: class names,
// control ids and the plot's margin.  The monitor, its probe and its tests
// share it.
#ifndef ORVOGPS_MONITOR_IDS_H
#define ORVOGPS_MONITOR_IDS_H

#define MONITOR_CLASS "ORVOGPSMONITOR"
#define SKY_PLOT_CLASS "ORVOSKYPLOT"
#define SIGNAL_BARS_CLASS "ORVOSIGNALBARS"
#define STEADINESS_CLASS "ORVOSTEADINESS"
#define MONITOR_TITLE "OrvoGPS Monitor"

// Controls of the main window.
#define IDC_PORT_LIST 101
#define IDC_SPEED_LIST 102
#define IDC_START_STOP 103
#define IDC_SKY_PLOT 104
#define IDC_SIGNAL_BARS 105
#define IDC_LINK_LINE 106
#define IDC_PORT_LABEL 107
#define IDC_SPEED_LABEL 108
#define IDC_RECORD 109
#define IDC_TABS 110
#define IDC_SENTENCE_PAUSE 111
#define IDC_SENTENCE_TOTALS 112
#define IDC_SENTENCE_LIST 113
#define IDC_STEADY_PLOT 114
#define IDC_STEADY_FIGURES 115
#define IDC_STEADY_RESET 116
// WM_COMMAND with IDC_VIEW + page (MONITOR_PAGE_...) shows that page, as
// clicking its tab does.
#define IDC_VIEW 120
#define MONITOR_PAGE_SIGNALS 0
#define MONITOR_PAGE_SENTENCES 1
#define MONITOR_PAGE_STEADINESS 2
#define MONITOR_PAGE_COUNT 3
// The value of fix row r (FIX_ROW_...) is control IDC_FIX_VALUE + r, its
// label IDC_FIX_LABEL + r.
#define IDC_FIX_VALUE 200
#define IDC_FIX_LABEL 300

// The sky plot leaves this many pixels between its horizon circle and the
// nearer pair of its window's edges, for N, E, S and W.
#define SKY_PLOT_MARGIN 24
// Radius of a satellite's mark, in pixels.
#define SKY_MARK_RADIUS 7

#endif
