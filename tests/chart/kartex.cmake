# Tests of the chart control: item store, mapping, widget and rendering.
mevrant_add_test(test_item_store SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_item_store.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_layer_transform SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer_transform.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_grid SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_grid.cpp LIBS mevrant_chart_core)
mevrant_add_test(test_data_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_data_render.cpp LIBS mevrant_chart)
mevrant_add_test(test_kartex_layers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_kartex_layers.cpp LIBS mevrant_chart)
mevrant_add_test(test_kartex_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_kartex_render.cpp LIBS mevrant_chart)
