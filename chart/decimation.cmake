# Long line-to runs at pixel resolution: the run index with its min/max pyramid and the per-column
# reduction (plain C++).
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/line_run_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_decimator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_memory.cpp
)
