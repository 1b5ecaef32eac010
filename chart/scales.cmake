# Drawing layer, number formatting, ticks, scales and mark symbols.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/format.cpp
)
list(APPEND CHART_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/gfx/canvas.cpp
)
