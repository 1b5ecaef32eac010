# Acquisition files, crosshairs and text labels, mouse interaction and bitmap export.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_file.cpp)
list(APPEND CHART_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/crosshair.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_label.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mouse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kartex_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export.cpp)
