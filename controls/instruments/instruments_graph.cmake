# The simple graph view and the profile chart.
list(APPEND ZYR_SOURCES
  instruments/IGraphViewData.h
  instruments/ChartBrushes.h instruments/ChartBrushes.cpp
  instruments/zyrSimpleGraphView.h instruments/zyrSimpleGraphView.cpp
)
