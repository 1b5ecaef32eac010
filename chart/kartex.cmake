# The chart control: item store, layer mapping (plain C++) and the widget with its rendering.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layer_transform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grid.cpp
)
