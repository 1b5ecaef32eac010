# Acquisition files, crosshairs and text labels, mouse interaction and bitmap export.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_file.cpp)
