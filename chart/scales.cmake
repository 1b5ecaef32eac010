# Drawing layer, number formatting, ticks, scales and mark symbols.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ticks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ticks_datetime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scale_props.cpp
)
list(APPEND CHART_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/gfx/canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/marks.cpp
)
