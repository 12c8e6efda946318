# The profile chart.
list(APPEND ZYR_SOURCES
  instruments/zyrChartPlot.h instruments/zyrChartPlot.cpp
  instruments/PenTrace.h instruments/PenTrace.cpp
)
