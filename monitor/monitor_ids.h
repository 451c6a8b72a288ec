// What a program outside the monitor needs to find its windows: class names,
// control ids and the plot's margin.  The monitor, its probe and its tests
// share it.
#ifndef ORVOGPS_MONITOR_IDS_H
#define ORVOGPS_MONITOR_IDS_H

#define MONITOR_CLASS "ORVOGPSMONITOR"
#define SKY_PLOT_CLASS "ORVOSKYPLOT"
#define SIGNAL_BARS_CLASS "ORVOSIGNALBARS"
#define MONITOR_TITLE "OrvoGPS Monitor"

// Controls of the main window.
#define IDC_PORT_LIST 101
#define IDC_SPEED_LIST 102
#define IDC_START_STOP 103
#define IDC_SKY_PLOT 104
#define IDC_SIGNAL_BARS 105
#define IDC_LINK_LINE 106
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
