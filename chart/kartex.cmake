# The chart control: item store, layer mapping and grid values (plain C++), the widget and its rendering.
list(APPEND CHART_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/item_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layer_transform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grid.cpp
)
list(APPEND CHART_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/data_render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cover_pass.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kartex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kartex_layers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kartex_render.cpp
)
